// What is heard: the voice rendered by the real engine, the sound player on SDL's silent dummy
// output, and the alarm sounds the build synthesises.

#include <SDL_mixer.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <thread>

#include "platform/espeak_voice.h"
#include "platform/sdl_sound_player.h"
#include "wav.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;

// Renders a typical reply with the real engine, skipped only where the engine cannot start at
// all (e.g. its voice data is not installed). The length pins the voice and the rate: the reply
// lasts 1.8 s here, 2.5 s at the engine's normal 175 words a minute and 2.1 s in German. The peak
// pins the volume.
TEST(EspeakVoiceTest, AReplyIsBriskEnglishSpeechClearOfClipping) {
    std::vector<short> samples;
    int sampleRate = 0;
    std::string error;
    if (!EspeakVoice::renderToMemory("", samples, sampleRate, error)) {
        GTEST_SKIP() << "eSpeak NG cannot start on this machine: " << error;
    }
    ASSERT_TRUE(EspeakVoice::renderToMemory("Alarm number 1 set for  2  hours  10  minutes ",
                                            samples, sampleRate, error))
        << error;
    ASSERT_GT(sampleRate, 0);
    const double seconds = static_cast<double>(samples.size()) / sampleRate;
    int peak = 0;
    for (short s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(seconds, 1.65);
    EXPECT_LT(seconds, 1.95);
    EXPECT_GT(peak, 32767 * 8 / 10) << "well below full volume";
    EXPECT_LT(peak, 32767) << "at or into clipping";

    // The engine, once taken for rendering, is refused to speech with a one-line reason.
    EXPECT_EQ(EspeakVoice::create(error), nullptr);
    EXPECT_EQ(error.rfind("tallowick: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

// A wave file of `frames` frames of a tone, 16-bit mono at 44.1 kHz.
std::string tone(int frames) {
    std::vector<std::int16_t> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) samples[i] = static_cast<std::int16_t>(8000 * std::sin(i));
    const std::vector<std::uint8_t> bytes = wav::encodeMono16(samples, 44100);
    return {bytes.begin(), bytes.end()};
}

// An AIFF file, which the mixer decodes too: its FORM, COMM (mono, 4410 frames of 16 bits at
// 44.1 kHz) and SSND chunks.
const std::string aiff = std::string(
                             "FORM\0\0\x22\xA2"
                             "AIFFCOMM\0\0\0\x12\0\x01\0\0\x11\x3A\0\x10"
                             "\x40\x0E\xAC\x44\0\0\0\0\0\0"
                             "SSND\0\0\x22\x7C\0\0\0\0\0\0\0\0",
                             54) +
                         std::string(8820, '\x10');

struct SdlSoundPlayerTest : ::testing::Test {
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);  // opens and paces like a device, silently
        char base[] = "/tmp/tallowick-sound-XXXXXX";
        ASSERT_NE(mkdtemp(base), nullptr);
        dir = base;
        write("alert.wav", tone(alertFrames));
        std::string error;
        // The real player keeps its device three seconds after a sound; this one a twentieth.
        player =
            SdlSoundPlayer::create(dir.string(), "alert.wav", error, std::chrono::milliseconds(50));
        ASSERT_NE(player, nullptr) << error;
    }
    void TearDown() override {
        player.reset();
        fs::remove_all(dir);
    }
    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // The length of `frames` mono frames decoded into the mixer's output format.
    static std::uint32_t decoded(int frames) {
        int frequency = 0, channels = 0;
        Uint16 format = 0;
        Mix_QuerySpec(&frequency, &format, &channels);
        return static_cast<std::uint32_t>(frames * channels * (SDL_AUDIO_BITSIZE(format) / 8));
    }
    // Plays `name` and checks what started: `frames` of the file `path`.
    void expectPlays(const std::string& name, const fs::path& path, int frames) {
        EXPECT_TRUE(player->play(name)) << name;
        EXPECT_EQ(player->lastStarted().path, path.string()) << name;
        EXPECT_EQ(player->lastStarted().bytes, decoded(frames)) << name;
        EXPECT_TRUE(player->playing()) << name;
    }
    // Waits, at most two seconds, for the idle player to close its device.
    bool closesWhenIdle() {
        for (int i = 0; i < 200 && player->deviceOpen(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return !player->deviceOpen();
    }

    static constexpr int alertFrames = 11025;
    fs::path dir;
    std::unique_ptr<SdlSoundPlayer> player;
};

TEST_F(SdlSoundPlayerTest, AnythingButAWholeWaveFilePlaysTheDefaultAlert) {
    const std::string whole = tone(22050);
    const std::pair<const char*, std::string> files[] = {
        {"empty.wav", ""},
        {"cut.wav", whole.substr(0, whole.size() / 2)},
        {"header.wav", whole.substr(0, 30)},
        {"text.wav", "This is not a sound.\n"},
        {"riff.wav", std::string("RIFF\x14\0\0\0WAVEjunkjunkjunkjunk", 28)},  // nothing sound
        {"silent.wav", tone(0)},
        // The mixer decodes more than wave files; only wave files are taken.
        {"sound.aiff.wav", aiff},
    };
    for (const auto& [name, bytes] : files) {
        write(name, bytes);
        expectPlays(name, dir / "alert.wav", alertFrames);
    }
    expectPlays("nothing.wav", dir / "alert.wav", alertFrames);
    fs::create_directories(dir / "folder.wav");
    expectPlays("folder.wav", dir / "alert.wav", alertFrames);
    // Opening a pipe with no writer would block; it must be turned away at once.
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    expectPlays("pipe.wav", dir / "alert.wav", alertFrames);

    write("alert.wav", "damaged");
    EXPECT_TRUE(player->play("nothing.wav"));  // the output works; there is nothing to play
    EXPECT_EQ(player->lastStarted().path, "");
    EXPECT_FALSE(player->playing());
}

TEST_F(SdlSoundPlayerTest, AFileChangedOnDiskIsPlayedAsItIsNow) {
    write("tone.wav", tone(4410));
    expectPlays("tone.wav", dir / "tone.wav", 4410);
    expectPlays("tone.wav", dir / "tone.wav", 4410);
    write("tone.wav", tone(8820));
    expectPlays("tone.wav", dir / "tone.wav", 8820);
    write("tone.wav", "broken");  // no stale sound: the default alert
    expectPlays("tone.wav", dir / "alert.wav", alertFrames);
}

TEST_F(SdlSoundPlayerTest, StopCutsASoundOffAndTheIdleDeviceClosesUntilTheNextSoundOrAheadOfIt) {
    write("long.wav", tone(441000));
    player->stop();  // nothing playing: nothing happens
    ASSERT_TRUE(player->play("long.wav"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // four times the idle time
    EXPECT_TRUE(player->playing()) << "the device closed under a sound";
    player->stop();
    EXPECT_FALSE(player->playing());
    ASSERT_TRUE(closesWhenIdle());
    player->stop();  // the device closed: nothing happens either
    expectPlays("long.wav", dir / "long.wav", 441000);
    EXPECT_TRUE(player->deviceOpen());
    player->stop();
    ASSERT_TRUE(closesWhenIdle());
    player->prepare();
    EXPECT_TRUE(player->deviceOpen());
    EXPECT_TRUE(closesWhenIdle());  // and closes again if no sound comes
}

TEST_F(SdlSoundPlayerTest, ADeviceThatWillNotOpenIsReportedByEveryPlayUntilItOpens) {
    player->useDevice("no such device");
    ASSERT_TRUE(closesWhenIdle());
    for (int i = 0; i < 2; ++i) {
        player->prepare();
        EXPECT_FALSE(player->play("alert.wav"));
        EXPECT_FALSE(player->deviceOpen());
        EXPECT_EQ(player->lastStarted().path, "");
    }
    player->stop();
    player->useDevice("");
    expectPlays("alert.wav", dir / "alert.wav", alertFrames);

    // An output that will not open at start (a sound server not up yet at login) is told in
    // one line, and tried again at every sound; only no audio at all leaves no player.
    player.reset();
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    setenv("AUDIODEV", "no such device", 1);
    std::string error;
    player = SdlSoundPlayer::create(dir.string(), "alert.wav", error);
    ASSERT_NE(player, nullptr) << error;
    EXPECT_NE(error.find("tries it again"), std::string::npos) << error;
    EXPECT_FALSE(player->play("alert.wav"));
    player.reset();
    unsetenv("AUDIODEV");
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(SdlSoundPlayer::create(dir.string(), "alert.wav", error), nullptr);
    EXPECT_EQ(error.rfind("tallowick: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

constexpr double fullScale = 32768.0;

double dbfs(double amplitude) {
    return 20.0 * std::log10(amplitude / fullScale);
}

double rms(std::span<const std::int16_t> s) {
    double sum = 0.0;
    for (std::int16_t v : s) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(s.size()));
}

// Each alarm sound the build synthesises into the program directory: a canonical 16-bit mono
// 44.1 kHz wave file of its intended length and pitch, peaking 3 dB below full scale, clearly
// audible, free of DC and of clicks at either end. Alarms restart a one-shot sound every second,
// so chime and windup must fit in about a second; the deep bell may ring out.
TEST(SoundFilesTest, EachIsAClearClickFreeWaveOfItsLengthAndPitch) {
    constexpr size_t twoMs = 88;
    const struct {
        const char* file;
        double minSeconds, maxSeconds, minCrossings, maxCrossings;  // zero crossings a second
    } sounds[] = {
        {"chime.wav", 0.8, 1.2, 2500, 3400},
        {"windup.wav", 0.8, 1.2, 5000, 6500},
        {"deepbell.wav", 2.5, 3.5, 250, 500},
        {"alert.wav", 0.5, 0.8, 1800, 2500},
    };
    for (const auto& sound : sounds) {
        SCOPED_TRACE(sound.file);
        std::ifstream in(std::string(TALLOWICK_SOUNDS_DIR "/") + sound.file, std::ios::binary);
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        ASSERT_GT(bytes.size(), 44 + 20 * twoMs);
        std::vector<std::int16_t> s((bytes.size() - 44) / 2);
        for (size_t i = 0; i < s.size(); ++i) s[i] = bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8;
        EXPECT_EQ(wav::encodeMono16(s, 44100), bytes) << "not the canonical header at 44.1 kHz";

        const double seconds = static_cast<double>(s.size()) / 44100;
        int peak = 0, crossings = 0;
        double sum = 0.0;
        for (size_t i = 0; i < s.size(); ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(s[i])));
            sum += s[i];
            crossings += i > 0 && (s[i - 1] < 0) != (s[i] < 0);
        }
        EXPECT_TRUE(seconds >= sound.minSeconds && seconds <= sound.maxSeconds) << seconds;
        EXPECT_TRUE(crossings / seconds >= sound.minCrossings &&
                    crossings / seconds <= sound.maxCrossings)
            << crossings / seconds;
        EXPECT_TRUE(dbfs(peak) >= -4.0 && dbfs(peak) <= -2.5) << dbfs(peak);
        // A click followed by near-silence can still peak at -3 dB; the overall level tells.
        EXPECT_GT(dbfs(rms(s)), -26.0);
        EXPECT_LT(std::abs(sum / static_cast<double>(s.size())), 0.001 * fullScale) << "DC offset";
        // From silence, ramping in over a few milliseconds, and back to silence at the end.
        const std::span<const std::int16_t> all = s;
        EXPECT_LT(std::abs(s.front()), 0.01 * fullScale);
        EXPECT_LT(rms(all.first(twoMs)),
                  std::min(0.15 * fullScale, 0.5 * rms(all.subspan(twoMs, 4 * twoMs))));
        EXPECT_LT(std::abs(s.back()), 0.01 * fullScale);
        EXPECT_LT(rms(all.last(twoMs)), 0.01 * fullScale);
    }
}

}  // namespace
}  // namespace tallowick
