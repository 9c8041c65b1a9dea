#include "audio/espeak_voice.h"
#include "audio/audio_support.h"

#include <alsa/asoundlib.h>
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <utility>

namespace tallowick {

namespace {

// Whether the engine was started in this process, for speech or for the tests' rendering.
// eSpeak NG 1.51 cannot be restarted reliably: a second espeak_ng_Initialize without
// espeak_ng_Terminate renders broken audio, and a second espeak_ng_Terminate after a restart
// hangs. So the engine is started at most once, and never handed from one use to another.
std::mutex engineMutex;
bool engineTaken = false;

std::string engineMessage(espeak_ng_STATUS status) {
    char buffer[256] = {};
    espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
    return oneLine(buffer);
}

// The engine plays through libpcaudio, which tries PulseAudio, then ALSA's default device, then
// OSS, and on failure prints its own error on every utterance. Probing the same outputs in the
// same order first lets the program say once that there is no sound, instead of starting an
// engine that complains each time it speaks.
bool audioOutputAvailable() {
    const pa_sample_spec format{PA_SAMPLE_S16LE, 22050, 1};
    int pulseError = 0;
    if (pa_simple* stream = pa_simple_new(nullptr, "tallowick", PA_STREAM_PLAYBACK, nullptr,
                                          "probe", &format, nullptr, nullptr, &pulseError)) {
        pa_simple_free(stream);
        return true;
    }
    // Non-blocking, so that a card held by another program fails at once instead of waiting.
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) == 0) {
        snd_pcm_close(pcm);
        return true;
    }
    const int dsp = ::open("/dev/dsp", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (dsp >= 0) {
        ::close(dsp);
        return true;
    }
    return false;
}

// Starts the engine; the caller holds engineMutex. On failure the engine is left unusable for
// the rest of the process: a half-started engine cannot be shut down safely.
bool startEngine(espeak_ng_OUTPUT_MODE mode, std::string& reason) {
    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    espeak_ng_ClearErrorContext(&context);
    if (status != ENS_OK) {
        // Mostly missing or unreadable voice data: name where the engine looked.
        const char* dataPath = nullptr;
        espeak_Info(&dataPath);
        reason = engineMessage(status);
        if (dataPath != nullptr && *dataPath != '\0') {
            reason += std::string(" in ") + dataPath;
        }
        return false;
    }
    status = espeak_ng_InitializeOutput(mode, 0, nullptr);
    if (status == ENS_OK) {
        status = espeak_ng_SetVoiceByName("en");
    }
    if (status != ENS_OK) {
        reason = engineMessage(status);
        return false;
    }
    espeak_ng_SetParameter(espeakRATE, EspeakVoice::kRate, 0);
    espeak_ng_SetParameter(espeakVOLUME, EspeakVoice::kVolume, 0);
    return true;
}

void speakText(const std::string& text) {
    // In playback mode this only queues the text for the engine's own thread. A full queue
    // (hundreds of texts waiting) drops the text: a voice that cannot speak stays silent.
    espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                 nullptr);
}

}  // namespace

std::unique_ptr<EspeakVoice> EspeakVoice::create(std::string& error) {
    std::lock_guard engineLock(engineMutex);
    if (engineTaken) {
        error = "the speech engine is already taken in this process; speech is off";
        return nullptr;
    }
    silenceAlsaMessages();
    if (!audioOutputAvailable()) {
        error = "no audio output found; speech is off";
        return nullptr;
    }
    // The voice and its thread come first: failing them leaves the engine untouched.
    std::unique_ptr<EspeakVoice> voice;
    try {
        voice.reset(new EspeakVoice());
        voice->worker_.start([v = voice.get()](const SpeechWorker::Request& r) { v->speak(r); });
    } catch (...) {
        error = "no memory or thread left for speech; speech is off";
        return nullptr;
    }
    std::string reason;
    engineTaken = true;
    if (!startEngine(ENOUTPUT_MODE_SPEAK_AUDIO, reason)) {
        error = "the speech engine failed to start (" + reason + "); speech is off";
        return nullptr;
    }
    voice->ownsEngine_ = true;
    return voice;
}

EspeakVoice::~EspeakVoice() {
    worker_.stop();
    if (ownsEngine_) {
        std::lock_guard engineLock(engineMutex);
        espeak_Cancel();
        espeak_ng_Terminate();
    }
}

void EspeakVoice::say(const std::string& text) {
    worker_.say(text);
}

void EspeakVoice::queue(const std::string& text) {
    worker_.queue(text);
}

// espeak_Cancel blocks until the engine's thread has stopped writing to the audio output:
// measured on PulseAudio from 20 ms up to 1.5 s in the middle of a long clause. That wait
// happens here, on the voice's own thread, and never in say().
void EspeakVoice::speak(const SpeechWorker::Request& request) {
    if (request.interrupt) {
        espeak_Cancel();
        // A cancel drops parameter changes still queued in the engine, and puts back the
        // parameters the last text started with; set ours again either way.
        espeak_SetParameter(espeakRATE, kRate, 0);
        espeak_SetParameter(espeakVOLUME, kVolume, 0);
    }
    if (!request.text.empty()) {
        speakText(request.text);
    }
}

bool EspeakVoice::renderForTesting(const std::string& text, std::vector<short>& samples,
                                   int& sampleRate, std::string& error) {
    std::lock_guard engineLock(engineMutex);
    if (std::exchange(engineTaken, true)) {
        error = "the speech engine is already taken in this process";
        return false;
    }
    std::string reason;
    if (!startEngine(ENOUTPUT_MODE_SYNCHRONOUS, reason)) {
        error = "the speech engine failed to start (" + reason + ")";
        return false;
    }
    // Nothing may unwind through the engine's C frames: running out of memory ends the test.
    espeak_SetSynthCallback([](short* wave, int count, espeak_EVENT* events) noexcept {
        if (wave != nullptr && events != nullptr && events->user_data != nullptr) {
            auto& out = *static_cast<std::vector<short>*>(events->user_data);
            out.insert(out.end(), wave, wave + count);
        }
        return 0;
    });
    samples.clear();
    sampleRate = espeak_ng_GetSampleRate();
    const espeak_ng_STATUS status = espeak_ng_Synthesize(
        text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, &samples);
    if (status == ENS_OK) return true;
    error = "the speech engine failed to render (" + engineMessage(status) + ")";
    return false;
}

}  // namespace tallowick
