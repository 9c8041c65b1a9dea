// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "audio/speech_worker.h"
#include "ports/voice.h"

namespace tallowick {

// Speaks through speech-dispatcher, the speech service that screen readers use, with the voice,
// rate and volume the user chose there (none are set here). A reply is sent as a message, so
// that it waits for the screen reader's own speech instead of talking over it, one sentence at
// a time: the next goes when the daemon tells the last one ended, so the screen reader's speech
// waits behind one sentence at most. say() (a key typed in the window gives an empty one) stops
// what is being said.
//
// say() and queue() return at once: a thread of the voice's own talks to the daemon, which
// answers every request before the next can go. A connection that broke is opened again for
// the next text.
class SpeechdVoice final : public Voice {
  public:
    // Connects to the user's speech-dispatcher (started on demand as usual). Returns nullptr,
    // with `error` set to one line for standard error, when it cannot be reached.
    static std::unique_ptr<SpeechdVoice> create(std::string& error);
    ~SpeechdVoice() override;

    void say(const std::string& text) override;
    void queue(const std::string& text) override;

  private:
    SpeechdVoice() = default;
    void speak(const SpeechWorker::Request& request);
    bool send(const SpeechWorker::Request& request);

    SpeechWorker worker_;
    // The SPDConnection (an unnamed type in its header); used by the worker only, once started.
    void* connection_ = nullptr;
};

}  // namespace tallowick
