// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/speech_worker.h"
#include "ports/voice.h"

struct audio_object;

namespace tallowick {

// Speaks through the eSpeak NG engine built into the program (no speech daemon), in English, on
// the default audio output, at about 1.4 times the engine's normal rate and at full volume.
//
// The engine renders on the voice's own thread, and the voice writes what it renders to the
// output itself (through libpcaudio, as the engine would): the engine's own output never opens
// again once it failed, so after a sound server restarted it stayed silent for the rest of the
// run. The voice's output is opened again when a write fails, and at the next text when that
// does not work yet.
//
// eSpeak NG is one engine per process, and it can be started only once in a process: the first
// of create() and renderForTesting() to start it owns it for good, and the other then refuses with
// a reason. An EspeakVoice, once destroyed, cannot be followed by another in the same process.
//
// say() and queue() return at once: they hand the text to the voice's thread, which cuts off the
// text it is speaking within one buffer of sound (60 ms). Call them from one thread.
class EspeakVoice final : public Voice {
  public:
    // Words a minute: about 1.4 times the engine's normal 175.
    static constexpr int kRate = 243;
    // The engine's own full volume. Measured on English replies at this rate: peaks reach about
    // 90% of full scale; from 110 up the peaks run into the engine's limiter and distort.
    static constexpr int kVolume = 100;

    // Starts the engine for playback. Returns nullptr, with `error` set to one line for standard
    // error, when there is no audio output to speak on, when the engine
    // cannot start (e.g. its voice data is missing), or when the engine is already taken in this
    // process. Writes nothing to standard error itself.
    //
    // Side effects for the whole process, kept for its lifetime: ALSA's own error messages are
    // swallowed from here on (so that a missing or busy sound card does not flood standard
    // error), and the engine sets the LC_CTYPE locale to a UTF-8 one, which it needs.
    static std::unique_ptr<EspeakVoice> create(std::string& error);

    // Stops any speech and shuts the engine down.
    ~EspeakVoice() override;

    // Texts are UTF-8.
    void say(const std::string& text) override;
    void queue(const std::string& text) override;

    // Test hook: renders `text` (UTF-8) with the voice, rate and volume of speech into `samples`
    // (16-bit mono) at `sampleRate`, without an audio device. Returns false with `error` (one
    // line) when the engine cannot start or is taken for speech in this process. The first call
    // starts the engine for rendering and keeps it for the rest of the process.
    static bool renderForTesting(const std::string& text, std::vector<short>& samples,
                                 int& sampleRate, std::string& error);

  private:
    EspeakVoice() = default;
    void speak(const SpeechWorker::Request& request);
    // Plays `count` samples the engine rendered; false to cut the text short.
    bool play(const short* wave, int count);
    friend struct SpeechOutput;  // the engine's callback, which calls play()

    SpeechWorker worker_;
    bool ownsEngine_ = false;  // set once the engine has started for this voice
    // The output, used on the voice's thread only.
    audio_object* output_ = nullptr;
    bool outputOpen_ = false;
    unsigned says_ = 0;  // worker_.says() when the text in hand began
};

}  // namespace tallowick
