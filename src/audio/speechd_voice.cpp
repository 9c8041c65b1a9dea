// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/speechd_voice.h"

#include <speech-dispatcher/libspeechd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "audio/audio_support.h"

namespace tallowick {

namespace {

// The daemon's word that a message ended or was cancelled, from libspeechd's own thread; its
// callbacks carry no pointer of ours, and there is one such voice in a program.
std::mutex endMutex;
std::condition_variable endTold;
size_t lastEnded = 0;

void messageEnded(size_t message, size_t, SPDNotificationType) {
    {
        std::lock_guard lock(endMutex);
        lastEnded = std::max(lastEnded, message);
    }
    endTold.notify_all();
}

// `text` cut after each sentence's full stop, question or exclamation mark.
std::vector<std::string> sentences(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if ((text[i] == '.' || text[i] == '?' || text[i] == '!') && text[i + 1] == ' ') {
            parts.push_back(text.substr(start, i + 1 - start));
            start = i + 2;
        }
    }
    if (start < text.size()) parts.push_back(text.substr(start));
    return parts;
}

SPDConnection* connect(std::string& reason) {
    char* error = nullptr;
    SPDConnection* connection =
        spd_open2("tallowick", "main", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
    if (connection == nullptr) {
        // libspeechd tells what it tried at length: its first sentence says what failed.
        reason = oneLine(error != nullptr ? error : "no reason given");
        const std::size_t end = reason.find(". ");
        if (end != std::string::npos) reason.resize(end);
        if (reason.rfind("Error: ", 0) == 0) reason.erase(0, 7);
    }
    std::free(error);
    if (connection != nullptr) {
        {
            std::lock_guard lock(endMutex);
            lastEnded = 0;  // a restarted daemon counts its messages from the start again
        }
        connection->callback_end = connection->callback_cancel = messageEnded;
        spd_set_notification_on(connection, SPD_END);
        spd_set_notification_on(connection, SPD_CANCEL);
    }
    return connection;
}

SPDConnection* spd(void* connection) {
    return static_cast<SPDConnection*>(connection);
}

}  // namespace

std::unique_ptr<SpeechdVoice> SpeechdVoice::create(std::string& error) {
    std::string reason;
    SPDConnection* connection = connect(reason);
    if (connection == nullptr) {
        error = "speech-dispatcher cannot be reached (" + reason + ")";
        return nullptr;
    }
    std::unique_ptr<SpeechdVoice> voice;
    try {
        voice.reset(new SpeechdVoice());
        voice->connection_ = connection;
        voice->worker_.start([v = voice.get()](const SpeechWorker::Request& r) { v->speak(r); });
    } catch (...) {
        if (voice == nullptr) spd_close(connection);
        error = "no memory or thread left for speech";
        return nullptr;
    }
    return voice;
}

SpeechdVoice::~SpeechdVoice() {
    worker_.stop();
    if (connection_ != nullptr) {
        spd_cancel(spd(connection_));
        spd_close(spd(connection_));
    }
}

void SpeechdVoice::say(const std::string& text) {
    worker_.say(text);
    // Wakes a sentence's wait to see the cut; the lock orders this after its look at the worker.
    { std::lock_guard lock(endMutex); }
    endTold.notify_all();
}

void SpeechdVoice::queue(const std::string& text) {
    worker_.queue(text);
}

void SpeechdVoice::speak(const SpeechWorker::Request& request) {
    // A daemon that went away (it ends when idle, or was restarted) is reached again once.
    if (send(request)) return;
    if (connection_ != nullptr) spd_close(spd(connection_));
    std::string reason;
    connection_ = connect(reason);
    if (connection_ != nullptr) send(request);
}

bool SpeechdVoice::send(const SpeechWorker::Request& request) {
    if (connection_ == nullptr) return false;
    if (request.interrupt && spd_cancel(spd(connection_)) != 0) return false;
    for (const std::string& sentence : sentences(request.text)) {
        if (worker_.cutWaiting()) return true;
        const int message = spd_say(spd(connection_), SPD_MESSAGE, sentence.c_str());
        if (message < 0) return false;
        // Should the daemon's word be lost, the next sentence goes after a slow reading's time.
        const auto longest = std::chrono::milliseconds(1000 + 150 * sentence.size());
        std::unique_lock lock(endMutex);
        endTold.wait_for(lock, longest, [&] {
            return lastEnded >= static_cast<size_t>(message) || worker_.cutWaiting();
        });
    }
    return true;
}

}  // namespace tallowick
