// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/speech_worker.h"

#include <utility>

namespace tallowick {

void SpeechWorker::start(std::function<void(const Request&)> speak) {
    speak_ = std::move(speak);
    thread_ = std::thread([this] { run(); });
}

void SpeechWorker::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_.clear();
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void SpeechWorker::say(const std::string& text) {
    try {
        std::lock_guard lock(mutex_);
        ++says_;  // before the request shows: the text in hand is cut, never this one
        pending_.clear();
        pending_.push_back(Request{true, text});
    } catch (...) {
        return;
    }
    wake_.notify_one();
}

void SpeechWorker::queue(const std::string& text) {
    if (text.empty()) return;
    try {
        std::lock_guard lock(mutex_);
        pending_.push_back(Request{false, text});
    } catch (...) {
        return;
    }
    wake_.notify_one();
}

bool SpeechWorker::cutWaiting() {
    std::lock_guard lock(mutex_);
    return stopping_ || (!pending_.empty() && pending_.front().interrupt);
}

void SpeechWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (stopping_) return;
        const Request request = std::move(pending_.front());
        pending_.pop_front();
        lock.unlock();
        speak_(request);
        lock.lock();
    }
}

}  // namespace tallowick
