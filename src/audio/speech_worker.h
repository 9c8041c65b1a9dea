// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tallowick {

// The thread that talks to a speech engine on a voice's behalf, so that say() and queue()
// return at once however long the engine takes to stop one text or start the next. Owned by
// one voice; call say() and queue() from one thread.
class SpeechWorker {
  public:
    struct Request {
        bool interrupt = false;  // drop what is being said first
        std::string text;        // empty: only silence
    };

    SpeechWorker() = default;
    SpeechWorker(const SpeechWorker&) = delete;
    SpeechWorker& operator=(const SpeechWorker&) = delete;
    ~SpeechWorker() { stop(); }

    // Starts the thread, which hands each request in turn to `speak`. Throws std::system_error
    // when no thread can be had.
    void start(std::function<void(const Request&)> speak);
    // Drops what waits and ends the thread once the request in hand is done. The owner calls it
    // before it shuts down what `speak` uses.
    void stop();

    // Drops what waits (this request would cut it off anyway), then asks for `text` with an
    // interruption. Out of memory, nothing is asked: the voice stays silent.
    void say(const std::string& text);
    // Asks for `text` after what waits; an empty text asks for nothing.
    void queue(const std::string& text);
    // Whether a say() waits, which is to cut the request in hand short: `speak` may ask between
    // the parts of a long text.
    bool cutWaiting();

    // How many times say() has been called: `speak` may poll it to cut a long text short as
    // soon as a new one is said.
    unsigned says() const { return says_.load(std::memory_order_relaxed); }

  private:
    void run();

    std::function<void(const Request&)> speak_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> pending_;
    std::atomic<unsigned> says_{0};
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tallowick
