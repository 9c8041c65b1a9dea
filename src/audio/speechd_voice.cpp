#include "audio/speechd_voice.h"

#include <speech-dispatcher/libspeechd.h>

#include <cstdlib>
#include <utility>

#include "audio/audio_support.h"

namespace tallowick {

namespace {

SPDConnection* connect(std::string& reason) {
    char* error = nullptr;
    SPDConnection* connection =
        spd_open2("tallowick", "main", nullptr, SPD_MODE_SINGLE, nullptr, 1, &error);
    if (connection == nullptr) {
        // libspeechd tells what it tried at length: its first sentence says what failed.
        reason = oneLine(error != nullptr ? error : "no reason given");
        const std::size_t end = reason.find(". ");
        if (end != std::string::npos) reason.resize(end);
        if (reason.rfind("Error: ", 0) == 0) reason.erase(0, 7);
    }
    std::free(error);
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
    if (request.text.empty()) return true;
    return spd_say(spd(connection_), SPD_MESSAGE, request.text.c_str()) >= 0;
}

}  // namespace tallowick
