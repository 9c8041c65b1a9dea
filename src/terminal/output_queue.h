// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>

namespace tallowick {

// Text on its way to a terminal or pipe that may stop taking it at any moment (Ctrl-S, a pipe
// nobody reads): push() never waits. Texts wait in a bounded queue and are written as the
// descriptor takes them; when the queue is full, the oldest waiting texts are dropped, and once
// output flows again one line tells how many. Every writer to the descriptor (replies, prompts,
// notices) is to write through the same queue, so that they keep their order.
class OutputQueue {
  public:
    static constexpr std::size_t kCapacityBytes = 64 * 1024;

    // Writes to `fd`, which it does not own; drain(), or the end of the queue, puts it back as
    // it was.
    explicit OutputQueue(int fd) : fd_(fd) {}
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;
    ~OutputQueue() { close(); }

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

}  // namespace tallowick
