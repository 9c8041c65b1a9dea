// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/espeak_voice.h"
#include "audio/audio_support.h"

#include <alsa/asoundlib.h>
#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <pcaudiolib/audio.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <utility>

namespace tallowick {

namespace {

// Where the engine stands in this process. eSpeak NG 1.51 cannot be restarted reliably: a second
// espeak_ng_Initialize without espeak_ng_Terminate renders broken audio, and a second
// espeak_ng_Terminate after a restart hangs. So the engine is started at most once, for speech
// or for rendering, and never handed from one to the other.
enum class EngineUse { none, speaking, rendering, spent };

std::mutex engineMutex;
EngineUse engineUse = EngineUse::none;

std::string engineMessage(espeak_ng_STATUS status) {
    char buffer[256] = {};
    espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
    return oneLine(buffer);
}

// The voice plays through libpcaudio, which tries PulseAudio, then ALSA's default device, then
// OSS, and takes ALSA without trying whether it opens. Probing the same outputs in the same
// order first lets the program say once that there is no sound, instead of starting a voice that
// fails each time it speaks.
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

struct Render {
    std::vector<short>* samples = nullptr;
    bool outOfMemory = false;
};

int collectSamples(short* wave, int count, espeak_EVENT* events) {
    if (events == nullptr || events->user_data == nullptr) {
        return 0;
    }
    Render& render = *static_cast<Render*>(events->user_data);
    if (wave != nullptr && count > 0) {
        // No exception may unwind through the engine's C frames.
        try {
            render.samples->insert(render.samples->end(), wave, wave + count);
        } catch (...) {
            render.outOfMemory = true;
            return 1;  // the engine's way to abort the synthesis in progress
        }
    }
    return 0;
}

}  // namespace

// The engine's callback while it speaks: hands each rendered piece to the voice whose text it
// is. Returning 1 cuts the text short.
struct SpeechOutput {
    static int callback(short* wave, int count, espeak_EVENT* events) {
        if (events == nullptr || events->user_data == nullptr) return 0;
        auto& voice = *static_cast<EspeakVoice*>(events->user_data);
        return wave == nullptr || count <= 0 || voice.play(wave, count) ? 0 : 1;
    }
};

std::unique_ptr<EspeakVoice> EspeakVoice::create(std::string& error) {
    std::lock_guard engineLock(engineMutex);
    if (engineUse != EngineUse::none) {
        error = "the speech engine is already taken in this process; speech is off";
        return nullptr;
    }
    silenceAlsaMessages();
    if (!audioOutputAvailable()) {
        error = "no audio output found; speech is off";
        return nullptr;
    }
    // The voice, its output and its thread come first: failing them leaves the engine untouched.
    std::unique_ptr<EspeakVoice> voice;
    try {
        voice.reset(new EspeakVoice());
        // The engine's own names for its output, as the sound server lists it.
        voice->output_ = create_audio_device_object(nullptr, "eSpeak", "Text-to-Speech");
        if (voice->output_ == nullptr) {
            error = "no audio output found; speech is off";
            return nullptr;
        }
        voice->worker_.start([v = voice.get()](const SpeechWorker::Request& r) { v->speak(r); });
    } catch (...) {
        error = "no memory or thread left for speech; speech is off";
        return nullptr;
    }
    std::string reason;
    if (!startEngine(ENOUTPUT_MODE_SYNCHRONOUS, reason)) {
        engineUse = EngineUse::spent;
        error = "the speech engine failed to start (" + reason + "); speech is off";
        return nullptr;
    }
    espeak_SetSynthCallback(&SpeechOutput::callback);
    voice->ownsEngine_ = true;
    engineUse = EngineUse::speaking;
    return voice;
}

EspeakVoice::~EspeakVoice() {
    worker_.stop();
    if (ownsEngine_) {
        std::lock_guard engineLock(engineMutex);
        espeak_ng_Terminate();
        engineUse = EngineUse::spent;
    }
    if (output_ != nullptr) {
        audio_object_close(output_);
        audio_object_destroy(output_);
    }
}

void EspeakVoice::say(const std::string& text) {
    worker_.say(text);
}

void EspeakVoice::queue(const std::string& text) {
    worker_.queue(text);
}

// On the voice's thread. A new say() cuts the text in hand short at its next piece of sound
// (see play()), and what the output still holds of it is dropped here.
void EspeakVoice::speak(const SpeechWorker::Request& request) {
    if (request.interrupt && outputOpen_) audio_object_flush(output_);
    if (request.text.empty()) return;
    says_ = worker_.says();
    // A full text at once; the engine hands its sound to play() piece by piece as it renders,
    // and play() keeps pace with the output.
    espeak_ng_Synthesize(request.text.c_str(), request.text.size() + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8, nullptr, this);
}

bool EspeakVoice::play(const short* wave, int count) {
    if (worker_.says() != says_) return false;  // a new text was said: this one stops here
    const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(short);
    // A write fails once the sound server is gone: the output is opened afresh at once (a
    // server that came back takes it), and when that fails, at the next text.
    for (int tries = 0; tries < 2; ++tries) {
        if (!outputOpen_) {
            outputOpen_ =
                audio_object_open(output_, AUDIO_OBJECT_FORMAT_S16LE,
                                  static_cast<std::uint32_t>(espeak_ng_GetSampleRate()), 1) == 0;
            if (!outputOpen_) {
                audio_object_close(output_);
                return false;
            }
        }
        if (audio_object_write(output_, wave, bytes) == 0) return true;
        audio_object_close(output_);
        outputOpen_ = false;
    }
    return false;
}

bool EspeakVoice::renderForTesting(const std::string& text, std::vector<short>& samples,
                                   int& sampleRate, std::string& error) {
    std::lock_guard engineLock(engineMutex);
    if (engineUse == EngineUse::none) {
        std::string reason;
        if (!startEngine(ENOUTPUT_MODE_SYNCHRONOUS, reason)) {
            engineUse = EngineUse::spent;
            error = "the speech engine failed to start (" + reason + ")";
            return false;
        }
        espeak_SetSynthCallback(&collectSamples);
        engineUse = EngineUse::rendering;
    }
    if (engineUse != EngineUse::rendering) {
        error = "the speech engine is taken for speech in this process";
        return false;
    }
    samples.clear();
    sampleRate = espeak_ng_GetSampleRate();
    if (text.empty()) {
        return true;
    }
    Render render{&samples};
    const espeak_ng_STATUS status = espeak_ng_Synthesize(
        text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, &render);
    if (render.outOfMemory) {
        error = "out of memory while rendering speech";
        return false;
    }
    if (status != ENS_OK) {
        error = "the speech engine failed to render (" + engineMessage(status) + ")";
        return false;
    }
    return true;
}

}  // namespace tallowick
