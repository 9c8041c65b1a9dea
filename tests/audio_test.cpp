// SPDX-License-Identifier: GPL-3.0-or-later
// What is heard: the voice, the sound player on a real device, and the stock sound files.

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <span>
#include <thread>

#include "audio/espeak_voice.h"
#include "audio/sdl_sound_player.h"
#include "audio/sound_names.h"
#include "fakes.h"
#include "wav.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The user's own sounds come first, then the stock ones, and never the current directory.
TEST(SoundNamesTest, AreLookedUpInTheDataDirectoryThenAmongTheStockSounds) {
    using Paths = std::vector<std::string>;
    const std::pair<std::string, Paths> rows[] = {
        {"bell.wav", {"/d/bell.wav", "/s/bell.wav"}},
        {" bell.wav", {"/d/ bell.wav", "/s/ bell.wav", "/d/bell.wav", "/s/bell.wav"}},
        {" /home/ann/bell.wav",
         {"/d/ /home/ann/bell.wav", "/s/ /home/ann/bell.wav", "/home/ann/bell.wav"}},
        {"   ", {}},
        {"", {}},
    };
    for (auto [name, expected] : rows) {
        expected.insert(expected.end(), {"/d/alert.wav", "/s/alert.wav"});
        EXPECT_EQ(soundCandidates({"/d", "/s"}, name, "alert.wav"), expected) << name;
    }
    EXPECT_EQ(soundCandidates({"/p", "/p"}, "bell.wav", "alert.wav"),
              (Paths{"/p/bell.wav", "/p/alert.wav"}))
        << "one directory is looked in once";
}

// 1.8 s pins voice and rate (2.5 s at the normal 175 words a minute, 2.1 s in German).
TEST(EspeakVoiceTest, AReplyIsBriskEnglishSpeechClearOfClipping) {
    std::vector<short> samples;
    int sampleRate = 0;
    std::string error;
    if (!EspeakVoice::renderForTesting("Alarm number 1 set for  2  hours  10  minutes ", samples,
                                       sampleRate, error)) {
        ASSERT_TRUE(error.starts_with("the speech engine failed to start")) << error;
        GTEST_SKIP() << "eSpeak NG cannot start on this machine: " << error;
    }
    const double seconds = static_cast<double>(samples.size()) / sampleRate;
    int peak = 0;
    for (short s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_TRUE(seconds > 1.65 && seconds < 1.95) << seconds;
    EXPECT_TRUE(peak > 32767 * 8 / 10 && peak < 32767) << "below full volume or clipping: " << peak;

    // The engine, once taken, is refused to speech with a one-line reason.
    EXPECT_EQ(EspeakVoice::create(error), nullptr);
    EXPECT_TRUE(!error.empty() && !error.starts_with("tallowick: ") &&
                error.find('\n') == std::string::npos)
        << error;
}

// A wave file of `frames` frames of a tone, 16-bit mono at 44.1 kHz.
std::string tone(int frames, double amplitude = 8000) {
    std::vector<std::int16_t> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[i] = static_cast<std::int16_t>(amplitude * std::sin(i));
    const std::vector<std::uint8_t> bytes = wav::encodeMono16(samples, 44100);
    return {bytes.begin(), bytes.end()};
}

// An AIFF file, which the mixer decodes too: 4410 mono 16-bit frames at 44.1 kHz.
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
        dir = freshDirectory("tallowick-sound");
        write("alert.wav", tone(alertFrames));
        std::string error;
        // The real player keeps its device three seconds after a sound; this one a twentieth.
        player = SdlSoundPlayer::create({dir, dir}, "alert.wav", error, 50ms);
        ASSERT_NE(player, nullptr) << error;
    }
    void TearDown() override {
        player.reset();
        fs::remove_all(dir);
    }
    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // Plays `name` and checks what started: `frames` of the file `path`, decoded for the mixer.
    void expectPlays(const std::string& name, const fs::path& path, int frames) {
        EXPECT_TRUE(player->play(1, name) && player->playing(1)) << name;
        int frequency = 0, channels = 0;
        Uint16 format = 0;
        Mix_QuerySpec(&frequency, &format, &channels);
        EXPECT_EQ(player->lastStarted().path, path.string()) << name;
        EXPECT_EQ(player->lastStarted().bytes, frames * channels * (SDL_AUDIO_BITSIZE(format) / 8))
            << name;
    }
    bool closesWhenIdle() {
        for (int i = 0; i < 200 && player->deviceOpen(); ++i) std::this_thread::sleep_for(10ms);
        return !player->deviceOpen();
    }

    static constexpr int alertFrames = 11025;
    fs::path dir;
    std::unique_ptr<SdlSoundPlayer> player;
};

TEST_F(SdlSoundPlayerTest, AnythingButAWholeWaveFileAsItIsNowPlaysTheDefaultAlert) {
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
    fs::create_directories(dir / "folder.wav");
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);  // opening it would block
    for (const char* name : {"nothing.wav", "folder.wav", "pipe.wav"}) {
        expectPlays(name, dir / "alert.wav", alertFrames);
    }
    // A file changed on disk is played as it is now, never as it was.
    write("tone.wav", tone(4410));
    expectPlays("tone.wav", dir / "tone.wav", 4410);
    expectPlays("tone.wav", dir / "tone.wav", 4410);
    write("tone.wav", tone(8820));
    expectPlays("tone.wav", dir / "tone.wav", 8820);
    write("tone.wav", "broken");  // no stale sound: the default alert
    expectPlays("tone.wav", dir / "alert.wav", alertFrames);
    write("alert.wav", "damaged");
    // The output works; there is nothing to play.
    EXPECT_TRUE(player->play(1, "nothing.wav") && player->lastStarted().path.empty());
    EXPECT_FALSE(player->playing());
}

// Each order's sound plays under its own key: a repeat restarts only its own.
TEST_F(SdlSoundPlayerTest, SoundsOfDifferentKeysPlayTogetherAndTheIdleDeviceClosesUntilTheNext) {
    write("long.wav", tone(441000));
    player->stop(1);  // nothing playing: nothing happens
    ASSERT_TRUE(player->play(1, "long.wav") && player->play(2, "alert.wav"));
    ASSERT_TRUE(player->play(2, "alert.wav") && player->play(3, "alert.wav"));
    std::this_thread::sleep_for(200ms);  // four times the idle time
    EXPECT_TRUE(player->playing(1)) << "the device closed under a sound, or a repeat cut it";
    player->stop(1);
    EXPECT_FALSE(player->playing(1));
    EXPECT_TRUE(player->playing(2) && player->playing(3));
    player->stopAll();
    ASSERT_TRUE(closesWhenIdle());
    player->stopAll();  // the device closed: nothing happens either
    expectPlays("long.wav", dir / "long.wav", 441000);
    player->stopAll();
    ASSERT_TRUE(closesWhenIdle());
    player->prepare();
    EXPECT_TRUE(player->deviceOpen());
    EXPECT_TRUE(closesWhenIdle());  // and closes again if no sound comes
}

TEST_F(SdlSoundPlayerTest, AnOutputThatGoesAwayIsReportedByEveryPlayUntilItOpensAgain) {
    write("long.wav", tone(441000));
    ASSERT_TRUE(player->play(1, "long.wav"));
    setenv("SDL_AUDIODRIVER", "alsa", 1);  // from here on no output opens
    setenv("AUDIODEV", "no such device", 1);
    SDL_Event removed{};
    removed.adevice.type = SDL_AUDIODEVICEREMOVED;  // as SDL says when the sound server goes
    SDL_PushEvent(&removed);
    ASSERT_TRUE(closesWhenIdle()) << "a lost output stays open while its sound 'plays'";
    for (int i = 0; i < 2; ++i) {
        player->prepare();
        EXPECT_FALSE(player->play(1, "alert.wav") || player->deviceOpen());
        EXPECT_EQ(player->lastStarted().path, "");
    }
    player->stop(1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("AUDIODEV");
    expectPlays("alert.wav", dir / "alert.wav", alertFrames);

    // No output at start (no sound server yet at login) is told, then tried at every sound.
    player.reset();
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    setenv("AUDIODEV", "no such device", 1);
    std::string error;
    player = SdlSoundPlayer::create({dir, dir}, "alert.wav", error);
    ASSERT_NE(player, nullptr) << error;
    EXPECT_NE(error.find("tries it again"), std::string::npos) << error;
    EXPECT_FALSE(player->play(1, "alert.wav"));
    player.reset();
    unsetenv("AUDIODEV");
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(SdlSoundPlayer::create({dir, dir}, "alert.wav", error), nullptr);
    EXPECT_TRUE(!error.empty() && !error.starts_with("tallowick: ") &&
                error.find('\n') == std::string::npos)
        << error;
}

// SDL's disk driver writes what would be heard to a file, in the mixer's float samples.
TEST_F(SdlSoundPlayerTest, OneSoundPlaysAtItsOwnLevelAndSoundsTogetherStayBelowFullScale) {
    write("loud.wav", tone(4410, 0.73 * 32767));  // as loud as the stock sounds
    for (const auto& [sounds, low, high] : {std::tuple{1, 0.72f, 0.74f}, {3, 0.85f, 0.9f}}) {
        player.reset();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir / "out.raw").c_str(), 1);
        std::string error;
        player = SdlSoundPlayer::create({dir, dir}, "alert.wav", error);
        for (int key = 1; key <= sounds; ++key) ASSERT_TRUE(player->play(key, "loud.wav"));
        while (player->playing()) std::this_thread::sleep_for(10ms);
        player.reset();  // the file is complete
        std::ifstream in(dir / "out.raw", std::ios::binary);
        float peak = 0, sample = 0;
        while (in.read(reinterpret_cast<char*>(&sample), sizeof sample)) {
            peak = std::max(peak, std::fabs(sample));
        }
        EXPECT_TRUE(peak >= low && peak <= high) << sounds << " at once peak at " << peak;
    }
}

constexpr double fullScale = 32768.0;

double rms(std::span<const std::int16_t> s) {
    double sum = 0.0;
    for (std::int16_t v : s) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(s.size()));
}

// A one-shot alarm restarts its sound every second, so chime and windup must fit in one.
TEST(SoundFilesTest, EachIsAClearClickFreeWaveOfItsLengthAndPitch) {
    constexpr size_t twoMs = 88;
    const auto dbfs = [](double amplitude) { return 20.0 * std::log10(amplitude / fullScale); };
    // The file, its length in seconds and its zero crossings a second, each from and to.
    const std::tuple<const char*, double, double, double, double> sounds[] = {
        {"chime.wav", 0.8, 1.2, 2500, 3400},
        {"windup.wav", 0.8, 1.2, 5000, 6500},
        {"deepbell.wav", 2.5, 3.5, 250, 500},
        {"alert.wav", 0.5, 0.8, 1800, 2500},
    };
    for (const auto& [file, minSeconds, maxSeconds, minCrossings, maxCrossings] : sounds) {
        SCOPED_TRACE(file);
        std::ifstream in(std::string(TALLOWICK_SOUNDS_DIR "/") + file, std::ios::binary);
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
        EXPECT_TRUE(seconds >= minSeconds && seconds <= maxSeconds) << seconds;
        EXPECT_TRUE(crossings / seconds >= minCrossings && crossings / seconds <= maxCrossings)
            << crossings / seconds;
        EXPECT_TRUE(dbfs(peak) >= -4.0 && dbfs(peak) <= -2.5) << dbfs(peak);
        // A click followed by near-silence can still peak at -3 dB; the overall level tells.
        EXPECT_GT(dbfs(rms(s)), -26.0);
        EXPECT_LT(std::abs(sum / static_cast<double>(s.size())), 0.001 * fullScale) << "DC offset";
        // From silence, ramping in over a few milliseconds, and back to silence at the end.
        const std::span<const std::int16_t> all = s;
        EXPECT_LT(std::max(std::abs(s.front()), std::abs(s.back())), 0.01 * fullScale);
        EXPECT_LT(rms(all.first(twoMs)),
                  std::min(0.15 * fullScale, 0.5 * rms(all.subspan(twoMs, 4 * twoMs))));
        EXPECT_LT(rms(all.last(twoMs)), 0.01 * fullScale);
    }
}

}  // namespace
}  // namespace tallowick
