#include "platform/sdl_sound_player.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "wav.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;

// A wave file of `frames` frames of a tone, 16-bit mono at 44.1 kHz.
std::string tone(int frames) {
    std::vector<std::int16_t> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) samples[i] = static_cast<std::int16_t>(8000 * std::sin(i));
    const std::vector<std::uint8_t> bytes = wav::encodeMono16(samples, 44100);
    return {bytes.begin(), bytes.end()};
}

// The same in an AIFF file, which the mixer decodes too.
std::string aiff(int frames) {
    std::string b;
    auto put = [&b](std::uint64_t v, int size) {
        while (size-- > 0) b.push_back(static_cast<char>(v >> 8 * size));
    };
    b += "FORM";
    put(46 + 2 * frames, 4);
    b += "AIFFCOMM";
    put(18, 4);
    put(1, 2);
    put(frames, 4);
    put(16, 2);
    put(0x400EAC44, 4);  // 44100 as an 80-bit float
    put(0, 6);
    b += "SSND";
    put(8 + 2 * frames, 4);
    put(0, 8);
    for (int i = 0; i < frames; ++i) put(i / 50 % 2 * 8000, 2);
    return b;
}

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
        {"riff.wav", "RIFF\x10\x00\x00\x00WAVEjunkjunkjunkjunk"},  // a header, nothing sound
        {"silent.wav", tone(0)},
        // The mixer decodes more than wave files; only wave files are taken.
        {"sound.aiff.wav", aiff(4410)},
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

}  // namespace
}  // namespace tallowick
