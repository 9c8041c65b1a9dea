#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "commands/core.h"
#include "ports/voice.h"
#include "posix/second_ticker.h"
#include "posix/watched_source.h"

namespace tallowick {

// Text on its way to a terminal or pipe that may stop taking it at any moment (Ctrl-S, a pipe
// nobody reads): push() never waits. Texts wait in a bounded queue and are written as the
// descriptor takes them; when the queue is full, the oldest waiting texts are dropped, and once
// output flows again one line tells how many. There is one queue per descriptor for the whole
// program, so that every writer to it (replies, prompts, notices) keeps its order.
class OutputQueue {
  public:
    static constexpr std::size_t kCapacityBytes = 64 * 1024;

    // The queue of descriptor `fd`, made on first use.
    static OutputQueue& of(int fd);

    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    // What the event loop watches for writing while text waits.
    int fd() const { return writeFd_ >= 0 ? writeFd_ : fd_; }
    // Adds `text` behind what waits and writes what the descriptor takes now.
    void push(std::string text);
    // Writes what the descriptor takes now, without waiting: call when it is writable.
    void flush();
    // True while text waits: the event loop then watches fd() for writing.
    bool waiting() const { return !texts_.empty() || dropped_ > 0; }
    // Writes everything that waits, for the end of the program; what the reader has not taken
    // within kDrainLimit is let go.
    void drain();
    static constexpr std::chrono::seconds kDrainLimit{3};

  private:
    explicit OutputQueue(int fd) : fd_(fd) {}
    void open();
    void close();

    int fd_;
    int writeFd_ = -1;  // fd_ opened anew without blocking, or fd_ itself
    std::deque<std::string> texts_;
    std::size_t written_ = 0;  // bytes of texts_.front() already written
    std::size_t bytes_ = 0;    // bytes in texts_
    std::size_t dropped_ = 0;  // texts dropped and not yet told
    int savedFlags_ = -1;      // fd_'s own flags, when it had to be made non-blocking
    bool broken_ = false;      // the reader is gone: nothing more is written
};

// Writes every text handed to the voice to a terminal or pipe as one line, exactly as spoken,
// through the descriptor's OutputQueue; then hands it on to the real voice.
class EchoingVoice final : public Voice {
  public:
    EchoingVoice(Voice& inner, int outFd) : inner_(inner), output_(OutputQueue::of(outFd)) {}
    void say(const std::string& text) override;
    void queue(const std::string& text) override;

  private:
    Voice& inner_;
    OutputQueue& output_;
};

// The program without a window: reads typed lines from `inFd`, one per line (a CR before the
// LF is dropped), and handles each as Enter in the entry box does; ticks on every second. In
// an interactive terminal it shows a prompt after each answer and nothing else, so that a
// screen reader is not disturbed, and when an order starts ringing a BEL and "Order N is
// ringing." (not spoken). `extras` (the session bus, logind) are watched beside the input.
// Returns when the input ends or "exit" is typed (at the keyboard or through one of `extras`);
// nothing is saved or spoken then.
//
// A tick never waits: output goes through OutputQueue::of(outFd), and lines are handled one at
// a time with a due tick run between them. A line longer than Core::kMaxLineBytes is answered
// as an incorrect entry, and its bytes are dropped as they arrive.
struct TerminalOptions {
    int inFd = 0;
    int outFd = 1;
    bool interactive = false;  // show a prompt
    std::vector<WatchedSource*> extras;
};
void runTerminal(Core& core, SecondTicker& ticker, const TerminalOptions& options);

}  // namespace tallowick
