#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/speech_worker.h"
#include "ports/voice.h"

namespace tallowick {

// Speaks through the eSpeak NG engine built into the program (no speech daemon), in English, on
// the default audio output, at about 1.4 times the engine's normal rate and at full volume.
//
// eSpeak NG is one engine per process, and it can be started only once in a process: the first
// create() (or the tests' rendering) to start it owns it for good, and any later one refuses with
// a reason. An EspeakVoice, once destroyed, cannot be followed by another in the same process.
//
// say() and queue() return at once, even while the engine is busy stopping a sound: they hand the
// text to a thread of the voice's own, which talks to the engine. Call them from one thread.
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
    // (16-bit mono) at `sampleRate`, without an audio device. It takes the engine as create()
    // does, so it works once in a process; false with `error` when the engine is taken already,
    // fails to start ("the speech engine failed to start ...") or fails to render.
    static bool renderForTesting(const std::string& text, std::vector<short>& samples,
                                 int& sampleRate, std::string& error);

  private:
    EspeakVoice() = default;
    void speak(const SpeechWorker::Request& request);

    SpeechWorker worker_;
    bool ownsEngine_ = false;  // set once the engine has started for this voice
};

}  // namespace tallowick
