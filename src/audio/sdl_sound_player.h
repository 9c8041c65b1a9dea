// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/sound_names.h"
#include "ports/sound_player.h"

struct Mix_Chunk;

namespace tallowick {

// Plays wave files through SDL2_mixer on the default audio output, the sounds of different keys
// at once, mixed and held below full scale.
//
// SDL's audio is one per process: at most one SdlSoundPlayer exists at a time. Call its
// functions from one thread.
//
// An open audio device costs CPU all the time (SDL's audio thread keeps feeding silence to the
// sound server), so the device is closed once nothing has played for `idleClose`, by a thread of
// the player's own, and opened again by prepare() a second before the next alarm, or else by the
// next play(), which then starts the sound a few milliseconds later. When it will not open
// again, play() says so and the next call tries again.
//
// The same thread watches the open output: when it goes away (the sound server stopped or
// restarted, a headset's profile changed: SDL reports the device removed) or stalls (the mixer
// is not called for far longer than a buffer lasts), the device is closed, play() says so until
// then, and the next sound opens the output afresh.
class SdlSoundPlayer final : public SoundPlayer {
  public:
    // Wave files larger than this are not played (the default alert plays instead): a sound this
    // long is no alert, and decoding it would hold up the caller.
    static constexpr std::size_t maxFileBytes = 32 * 1024 * 1024;
    // Sounds that play at once: one for each order the table can hold.
    static constexpr int kChannels = 50;

    // Opens the default audio output. Names are looked up in `dirs` (see soundCandidates), and
    // `defaultSound` names the file there that plays when a requested file cannot be. Returns
    // nullptr, with `error` set to one line for standard error, when SDL
    // has no audio at all or another player exists. An output that will not open yet (no
    // device, no sound server) still gives a player, whose play() tries it again each time;
    // `error` then says so in one line. Writes nothing to standard error itself.
    //
    // Side effects for the whole process, kept for its lifetime: ALSA's own error messages are
    // swallowed from here on, so that a missing sound card does not flood standard error; SDL
    // opens no session-bus connection. Call before anything in the process uses libdbus (as
    // Qt's D-Bus and accessibility do), since libdbus is reset here.
    static std::unique_ptr<SdlSoundPlayer> create(
        const SoundDirs& dirs, const std::string& defaultSound, std::string& error,
        std::chrono::milliseconds idleClose = std::chrono::seconds(3));

    // Stops the sounds and closes SDL's audio.
    ~SdlSoundPlayer() override;

    // Returns at once. The file is read from disk at each call, so a file changed on disk plays
    // as it is now; decoded sounds are kept while the file stays the same.
    bool play(int key, const std::string& name) override;
    void stop(int key) override;
    void stopAll() override;
    void prepare() override;

    // What the last play() handed to the mixer: the file it came from (the requested one or the
    // default alert) and its decoded length in bytes; an empty path when nothing could be
    // played.
    struct Started {
        std::string path;
        std::uint32_t bytes = 0;
    };
    const Started& lastStarted() const { return lastStarted_; }

    // Whether the sound of `key` is playing now; with 0, whether any is.
    bool playing(int key = 0) const;

    // Whether the audio device is open now.
    bool deviceOpen() const;

  private:
    // A decoded file, valid while the file keeps its identity, size and times.
    struct Cached {
        std::string path;  // empty once the file changed: freed when it no longer plays
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::int64_t changedNs = 0;
        Mix_Chunk* chunk = nullptr;
    };

    SdlSoundPlayer(SoundDirs dirs, std::string defaultSound, std::chrono::milliseconds idleClose);
    Mix_Chunk* load(const std::string& path);
    bool chunkPlaying(const Mix_Chunk* chunk) const;
    void dropCached(std::size_t index);
    int channelFor(int key);
    void freeAll();
    bool openDevice();    // with mutex_ held
    void letGoOfAudio();  // with mutex_ held, or before the closing thread starts
    void closeDevice();   // with mutex_ held
    bool outputLost();    // with mutex_ held and the device open
    void closeLostDevice(std::unique_lock<std::mutex>& lock);
    bool usable() const { return open_ && !lost_; }
    void watch();
    static void afterMix(void* player, std::uint8_t* stream, int bytes);

    SoundDirs dirs_;
    std::string defaultSound_;
    std::vector<Cached> cache_;  // most recently used last
    Started lastStarted_;
    std::array<int, kChannels> keyOn_{};  // the key of each channel's last sound; 0 for none

    // Guards the device, the cache and the mixer against the watching thread.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::chrono::milliseconds idleClose_;
    bool open_ = false;
    bool lost_ = false;    // the output went away: only the watching thread, closing it, uses it
    bool audioUp_ = true;  // SDL's audio system is started (it is let go while nothing opens)
    bool stopping_ = false;
    std::chrono::steady_clock::time_point lastActive_;
    std::chrono::steady_clock::time_point openedAt_;
    std::thread watcher_;

    // Written by SDL's audio thread after each buffer it mixes.
    std::atomic<std::int64_t> lastMixNs_{0};  // steady clock; 0: none since the device opened
    std::atomic<pid_t> mixingThread_{0};      // SDL's audio thread; 0: none since it opened
    pid_t raisedThread_ = 0;                  // the audio thread whose priority was seen to
    float gain_ = 1.0f;                       // the limiter's, on SDL's audio thread only
    float release_ = 0.0f;                    // how far the gain returns to 1 each sample
};

}  // namespace tallowick
