#include "platform/sdl_sound_player.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace tallowick {
namespace {

namespace fs = std::filesystem;

constexpr int rate = 44100;

// A 16-bit PCM mono wave file of `frames` frames of a 440 Hz tone.
std::string waveBytes(int frames) {
    std::string bytes;
    auto put = [&bytes](std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames) * 2;
    bytes += "RIFF";
    put(36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(rate, 4);
    put(rate * 2, 4);
    put(2, 2);
    put(16, 2);
    bytes += "data";
    put(dataBytes, 4);
    for (int i = 0; i < frames; ++i) {
        const double phase = 2 * std::numbers::pi * 440.0 * i / rate;
        put(static_cast<std::uint16_t>(static_cast<std::int16_t>(8000 * std::sin(phase))), 2);
    }
    return bytes;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class SdlSoundPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // SDL's dummy driver opens and paces like a device but makes no sound.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        char base[] = "/tmp/tallowick-sound-XXXXXX";
        ASSERT_NE(mkdtemp(base), nullptr);
        root = base;
        programDir = root / "program";
        fs::create_directories(programDir);
        alert = (programDir / "alert.wav").string();
        writeFile(alert, waveBytes(alertFrames));

        std::string error;
        // The real player keeps its device three seconds after a sound; this one a twentieth.
        player = SdlSoundPlayer::create(programDir.string(), "alert.wav", error,
                                        std::chrono::milliseconds(50));
        ASSERT_NE(player, nullptr) << error;
    }

    void TearDown() override {
        player.reset();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // The length of `frames` mono frames once decoded into the mixer's output format.
    static std::uint32_t decodedBytes(int frames) {
        int frequency = 0;
        Uint16 format = 0;
        int channels = 0;
        Mix_QuerySpec(&frequency, &format, &channels);
        EXPECT_EQ(frequency, rate);
        return static_cast<std::uint32_t>(frames) * channels * (SDL_AUDIO_BITSIZE(format) / 8);
    }

    void expectDefaultAlert(const std::string& name) {
        player->play(name);
        EXPECT_EQ(player->lastStarted().path, alert) << "for " << name;
        EXPECT_EQ(player->lastStarted().bytes, decodedBytes(alertFrames)) << "for " << name;
        EXPECT_TRUE(player->playing()) << "for " << name;
    }

    // Waits, at most two seconds, for the idle player to close its device.
    bool closesWhenIdle() {
        for (int i = 0; i < 200 && player->deviceOpen(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return !player->deviceOpen();
    }

    static constexpr int alertFrames = 11025;
    fs::path root;
    fs::path programDir;
    std::string alert;
    std::unique_ptr<SdlSoundPlayer> player;
};

TEST_F(SdlSoundPlayerTest, AnythingButAWholeWaveFilePlaysTheDefaultAlert) {
    const std::string whole = waveBytes(22050);
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 251));
    const std::pair<const char*, std::string> files[] = {
        {"empty.wav", ""},
        {"cut.wav", whole.substr(0, whole.size() / 2)},
        {"header.wav", whole.substr(0, 30)},
        {"garbage.wav", garbage},
        {"text.wav", "This is not a sound.\n"},
        {"riff.wav", "RIFF\x10\x00\x00\x00WAVEjunkjunkjunkjunk"},  // a header, nothing sound
        {"silent.wav", waveBytes(0)},
        // The mixer decodes more than wave files; only wave files are taken.
        {"sound.ogg.wav", "OggS\x00\x02" + std::string(64, '\0')},
    };
    for (const auto& [name, bytes] : files) {
        writeFile(programDir / name, bytes);
        expectDefaultAlert(name);
    }
    expectDefaultAlert("nothing.wav");
    fs::create_directories(programDir / "folder.wav");
    expectDefaultAlert("folder.wav");
    // Opening a pipe with no writer would block; it must be turned away at once.
    ASSERT_EQ(mkfifo((programDir / "pipe.wav").c_str(), 0600), 0);
    expectDefaultAlert("pipe.wav");

    writeFile(alert, "damaged");
    EXPECT_TRUE(player->play("nothing.wav"));  // the output works; there is nothing to play
    EXPECT_EQ(player->lastStarted().path, "");
    EXPECT_FALSE(player->playing());
}

TEST_F(SdlSoundPlayerTest, FileChangedOnDiskIsPlayedAsItIsNow) {
    const fs::path path = programDir / "tone.wav";
    writeFile(path, waveBytes(4410));
    player->play("tone.wav");
    EXPECT_EQ(player->lastStarted().path, path.string());
    EXPECT_EQ(player->lastStarted().bytes, decodedBytes(4410));
    player->play("tone.wav");
    EXPECT_EQ(player->lastStarted().bytes, decodedBytes(4410));

    writeFile(path, waveBytes(8820));
    player->play("tone.wav");
    EXPECT_EQ(player->lastStarted().bytes, decodedBytes(8820));

    // Replaced by a damaged file: no stale sound, the default alert.
    writeFile(path, "broken");
    expectDefaultAlert("tone.wav");
}

TEST_F(SdlSoundPlayerTest, StopCutsALongSoundOff) {
    writeFile(programDir / "long.wav", waveBytes(10 * rate));
    player->stop();  // nothing playing: nothing happens
    ASSERT_TRUE(player->play("long.wav"));
    ASSERT_TRUE(player->playing());
    player->stop();
    EXPECT_FALSE(player->playing());
    ASSERT_TRUE(closesWhenIdle());
    player->stop();  // the device closed: nothing happens either
    EXPECT_TRUE(player->play("long.wav"));
    EXPECT_TRUE(player->playing());
}

TEST_F(SdlSoundPlayerTest, TheDeviceClosesWhenIdleAndOpensForTheNextSoundOrAheadOfIt) {
    writeFile(programDir / "chime.wav", waveBytes(4410));
    ASSERT_TRUE(closesWhenIdle());
    EXPECT_TRUE(player->play("chime.wav"));
    EXPECT_TRUE(player->deviceOpen());
    EXPECT_TRUE(player->playing());
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
    EXPECT_TRUE(player->play("alert.wav"));
    EXPECT_TRUE(player->playing());

    // An output that will not open at start (a sound server not up yet at login) is told in
    // one line, and the player tries it again at every sound; only no audio at all leaves no
    // player.
    player.reset();
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    setenv("AUDIODEV", "no such device", 1);
    std::string error;
    player = SdlSoundPlayer::create(programDir.string(), "alert.wav", error);
    ASSERT_NE(player, nullptr) << error;
    EXPECT_NE(error.find("tries it again"), std::string::npos) << error;
    EXPECT_FALSE(player->play("alert.wav"));
    player.reset();
    unsetenv("AUDIODEV");
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    error.clear();
    EXPECT_EQ(SdlSoundPlayer::create(programDir.string(), "alert.wav", error), nullptr);
    EXPECT_EQ(error.rfind("tallowick: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

}  // namespace
}  // namespace tallowick
