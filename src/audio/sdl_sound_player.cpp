// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/sdl_sound_player.h"
#include "audio/audio_support.h"
#include "audio/thread_priority.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dbus/dbus.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace tallowick {

namespace {

// Decoded sounds kept at most, when no more of them play. Alarms use a handful of sounds; this
// only bounds memory when a user goes through many.
constexpr std::size_t maxCached = 8;

std::atomic<bool> playerExists{false};

// The mixer's buffer: 512 frames at 44.1 kHz is 11.6 ms. A new sound waits behind what is
// queued already, so this is most of the time from play() to sound once the output is open
// (1024 frames made it about 20 ms). 256 frames stuttered on a busy machine. The smaller buffer
// wakes SDL's audio thread more often, but only while the output is open, which is while a
// sound plays and a few seconds after. (SDL's "force real-time" hint is not used: without
// RealtimeKit it leaves the audio thread at normal priority instead of SDL's raised one.)
constexpr int bufferFrames = 512;

// The mix is made in floating point, where sounds add up without clipping, and a limiter then
// keeps it below this level (-1 dBFS) before it is turned into the output's format. The stock
// sounds peak at -4 to -2.5 dBFS, so one sound alone passes untouched; two or three at once are
// turned down the moment they would pass it, and come back up over about 100 ms.
constexpr float ceiling = 0.891f;
constexpr double releaseSeconds = 0.1;

// How long the mixer may go uncalled before the output counts as stalled. A buffer lasts 11.6 ms,
// and a busy machine delays a few; but a null sink, or a sink that has just started, may take up
// to 2 s to ask a new stream for more, which is no fault.
constexpr auto stallLimit = std::chrono::seconds(3);
// How often the open output is looked at.
constexpr auto watchEvery = std::chrono::milliseconds(250);

std::int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Opens the mixer on the default output, mixing in floating point.
bool openOutput() {
    if (Mix_OpenAudioDevice(
            MIX_DEFAULT_FREQUENCY, AUDIO_F32SYS, MIX_DEFAULT_CHANNELS, bufferFrames, nullptr,
            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE) != 0) {
        return false;
    }
    Mix_AllocateChannels(SdlSoundPlayer::kChannels);
    return true;
}

std::int64_t nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

bool playableSize(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_size > 0 &&
           static_cast<std::uint64_t>(info.st_size) <= SdlSoundPlayer::maxFileBytes;
}

// Reads the whole of a regular file. O_NONBLOCK keeps a FIFO given as a path from blocking the
// open; the size check then turns it (and devices, directories, huge files) away.
bool readFile(const std::string& path, std::vector<unsigned char>& bytes, struct stat& info) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = ::fstat(fd, &info) == 0 && playableSize(info);
    if (ok) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got > 0) {
                done += static_cast<std::size_t>(got);
            } else if (got == 0 || errno != EINTR) {
                ok = false;  // shrank while being read, or a read error
            }
        }
    }
    ::close(fd);
    return ok;
}

bool isWave(const std::vector<unsigned char>& bytes) {
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
           std::memcmp(bytes.data() + 8, "WAVE", 4) == 0;
}

// The mixer would also decode Ogg, MP3, FLAC and others; only wave files are taken, as promised.
Mix_Chunk* decodeWave(const std::vector<unsigned char>& bytes) {
    if (!isWave(bytes)) {
        return nullptr;
    }
    SDL_RWops* source = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (source == nullptr) {
        return nullptr;
    }
    Mix_Chunk* chunk = Mix_LoadWAV_RW(source, 1);
    if (chunk != nullptr && chunk->alen == 0) {
        Mix_FreeChunk(chunk);
        chunk = nullptr;
    }
    return chunk;
}

// Starts SDL's audio without the session-bus connection SDL opens for itself when it first starts:
// it would never read from it, and the program's bus service holds the one connection the
// program needs. SDL gives up the bus for good when it cannot reach it, so it starts with an
// address that names no bus. libdbus keeps the first address it sees for the whole process; it
// is then made to forget it, so that what connects later (Qt's accessibility) finds the real one.
bool startAudioWithoutSessionBus() {
    std::optional<std::string> address;
    if (const char* value = std::getenv("DBUS_SESSION_BUS_ADDRESS")) address = value;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (address) {
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1);
    } else {
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    // Nothing of libdbus is in use yet (see create()), and it starts afresh after this.
    dbus_shutdown();
    return started;
}

}  // namespace

SdlSoundPlayer::SdlSoundPlayer(SoundDirs dirs, std::string defaultSound,
                               std::chrono::milliseconds idleClose)
    : dirs_(std::move(dirs)),
      defaultSound_(std::move(defaultSound)),
      idleClose_(idleClose),
      lastActive_(std::chrono::steady_clock::now()) {}

void SdlSoundPlayer::afterMix(void* player, std::uint8_t* stream, int bytes) {
    auto& self = *static_cast<SdlSoundPlayer*>(player);
    float* sample = reinterpret_cast<float*>(stream);
    const int count = bytes / static_cast<int>(sizeof(float));
    float gain = self.gain_;
    for (int i = 0; i < count; ++i) {
        gain += (1.0f - gain) * self.release_;
        const float peak = std::fabs(sample[i]);
        if (peak * gain > ceiling) gain = ceiling / peak;
        sample[i] *= gain;
    }
    self.gain_ = gain;
    self.lastMixNs_.store(steadyNs(), std::memory_order_relaxed);
    if (self.mixingThread_.load(std::memory_order_relaxed) == 0) {
        self.mixingThread_.store(::gettid(), std::memory_order_relaxed);
    }
}

bool SdlSoundPlayer::openDevice() {
    if (open_) return true;
    // The audio system is started again for each try, so that it looks afresh for a sound
    // server (one that came up after us, at login, or came back after a restart) and for
    // devices.
    if (!audioUp_ && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    audioUp_ = true;
    if (!openOutput()) {
        letGoOfAudio();
        return false;
    }
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&frequency, &format, &channels);
    gain_ = 1.0f;
    release_ = static_cast<float>(1.0 / (releaseSeconds * frequency * std::max(channels, 1)));
    lastMixNs_ = 0;
    mixingThread_ = 0;
    raisedThread_ = 0;
    Mix_SetPostMix(&SdlSoundPlayer::afterMix, this);
    // What SDL reported of devices before (a removal of the output closed since) is old news.
    SDL_FlushEvents(SDL_AUDIODEVICEADDED, SDL_AUDIODEVICEREMOVED);
    keyOn_.fill(0);
    openedAt_ = std::chrono::steady_clock::now();
    open_ = true;
    return true;
}

void SdlSoundPlayer::letGoOfAudio() {
    // With nothing to play on, a started audio system only costs: SDL's ALSA backend watches
    // for new devices on a thread of its own that wakes every second.
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioUp_ = false;
}

void SdlSoundPlayer::closeDevice() {
    if (!open_) return;
    Mix_HaltChannel(-1);
    // Decoded sounds are in the format of the device they were decoded for.
    freeAll();
    Mix_CloseAudio();
    open_ = false;
}

bool SdlSoundPlayer::outputLost() {
    // SDL keeps calling the mixer after its device went away, into nothing, and says so only by
    // this event. It comes for opened devices alone, and this player's is the only one.
    SDL_Event event;
    bool removed = false;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_AUDIODEVICEREMOVED, SDL_AUDIODEVICEREMOVED) >
           0) {
        removed = removed || event.adevice.iscapture == 0;
    }
    SDL_FlushEvent(SDL_AUDIODEVICEADDED);
    if (removed) return true;
    // A stream that stalls (a sound server stopped, or hung) stops calling the mixer instead.
    const std::int64_t last = lastMixNs_.load(std::memory_order_relaxed);
    const auto since = last != 0 ? std::chrono::nanoseconds(steadyNs() - last)
                                 : std::chrono::steady_clock::now() - openedAt_;
    return since > stallLimit;
}

// Closing an output that went away can take as long as SDL's backend waits for it (a stalled
// sound server holds it until it goes on or goes away), so it is done without the lock; the
// other functions keep off the mixer meanwhile.
void SdlSoundPlayer::closeLostDevice(std::unique_lock<std::mutex>& lock) {
    lost_ = true;
    lock.unlock();
    Mix_HaltChannel(-1);
    freeAll();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    lock.lock();
    audioUp_ = false;
    open_ = false;
    lost_ = false;
}

void SdlSoundPlayer::watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (!open_) {
            wake_.wait(lock);
            continue;
        }
        if (lost_ || outputLost()) {
            closeLostDevice(lock);
            continue;
        }
        // SDL's audio thread of this opening, once it has mixed: raised where SDL could not.
        if (const pid_t mixing = mixingThread_.load(std::memory_order_relaxed);
            mixing != 0 && mixing != raisedThread_) {
            raisedThread_ = mixing;
            lock.unlock();
            raiseThreadPriority(mixing);
            lock.lock();
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (Mix_Playing(-1) != 0) lastActive_ = now;
        if (now - lastActive_ >= idleClose_) {
            closeDevice();
            continue;
        }
        // Wakes a few times a second while the device is open, never while it is closed.
        wake_.wait_for(lock, std::min<std::chrono::steady_clock::duration>(
                                 idleClose_ - (now - lastActive_), watchEvery));
    }
}

std::unique_ptr<SdlSoundPlayer> SdlSoundPlayer::create(const SoundDirs& dirs,
                                                       const std::string& defaultSound,
                                                       std::string& error,
                                                       std::chrono::milliseconds idleClose) {
    if (playerExists.exchange(true)) {
        error = "a sound player is already open; sounds are off";
        return nullptr;
    }
    silenceAlsaMessages();
    // SDL is only the sound here: it must not take over SIGINT and SIGTERM from the program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // By default SDL plays a cut-off wave file as far as it goes; such a file is damaged, and the
    // default alert plays instead. "strict" still accepts a wrong RIFF size, which some tools
    // write.
    SDL_SetHint(SDL_HINT_WAVE_TRUNCATION, "strict");
    if (!startAudioWithoutSessionBus()) {
        error = "cannot start audio (" + oneLine(SDL_GetError()) + "); sounds are off";
        playerExists = false;
        return nullptr;
    }
    std::unique_ptr<SdlSoundPlayer> player;
    try {
        player.reset(new SdlSoundPlayer(dirs, defaultSound, idleClose));
        // Opened here once to tell at start whether there is any sound now. An output that will
        // not open yet (a sound server still starting at login, a headset unplugged) is no
        // reason to stay silent for the whole run: every alarm tries it again and reports what
        // it finds.
        if (!player->openDevice()) {
            error = "cannot open audio output now (" + oneLine(Mix_GetError()) +
                    "); every alarm tries it again";
        }
        player->watcher_ = std::thread([p = player.get()] { p->watch(); });
    } catch (...) {
        if (player) {
            player.reset();  // its destructor closes the audio
        } else {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            playerExists = false;
        }
        error = "out of memory or threads opening audio; sounds are off";
        return nullptr;
    }
    return player;
}

SdlSoundPlayer::~SdlSoundPlayer() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
    closeDevice();
    if (audioUp_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    playerExists = false;
}

bool SdlSoundPlayer::playing(int key) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!usable()) return false;
    if (key == 0) return Mix_Playing(-1) != 0;
    for (int channel = 0; channel < kChannels; ++channel) {
        if (keyOn_[channel] == key && Mix_Playing(channel) != 0) return true;
    }
    return false;
}

bool SdlSoundPlayer::deviceOpen() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void SdlSoundPlayer::stop(int key) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!usable()) return;
    // Returns once the mixer has let go of the sound; what SDL and the sound server have queued
    // already (a few milliseconds) still plays out.
    for (int channel = 0; channel < kChannels; ++channel) {
        if (keyOn_[channel] == key) Mix_HaltChannel(channel);
    }
}

void SdlSoundPlayer::stopAll() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (usable()) Mix_HaltChannel(-1);
}

void SdlSoundPlayer::prepare() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (lost_) return;
    lastActive_ = std::chrono::steady_clock::now();
    // A sound started on an output that has been open a while waits behind more buffered
    // silence than on one opened a second before (17 ms against 10 ms after its second, on
    // PulseAudio), so an idle output is opened afresh now. One that plays is left alone.
    if (open_ && Mix_Playing(-1) == 0 && lastActive_ - openedAt_ > std::chrono::milliseconds(500)) {
        closeDevice();
    }
    // A failure here is left to play(), which reports it.
    if (openDevice()) wake_.notify_all();
}

// The channel for the next sound of `key`: its own, so that a repeat cuts off only its own last
// sound; else one that is silent; else, with every channel sounding, the one that started first.
int SdlSoundPlayer::channelFor(int key) {
    int silent = -1;
    for (int channel = 0; channel < kChannels; ++channel) {
        if (keyOn_[channel] == key) return channel;
        if (silent < 0 && Mix_Playing(channel) == 0) silent = channel;
    }
    if (silent < 0) silent = Mix_GroupOldest(-1);
    return silent < 0 ? 0 : silent;
}

bool SdlSoundPlayer::play(int key, const std::string& name) {
    const std::lock_guard<std::mutex> lock(mutex_);
    lastStarted_ = Started{};
    lastActive_ = std::chrono::steady_clock::now();
    if (lost_) return false;
    if (open_ && outputLost()) {
        // Closed by the watching thread; a sound after that opens the output again.
        lost_ = true;
        wake_.notify_all();
        return false;
    }
    if (!openDevice()) return false;  // no sound server, no device: the caller tells the user
    wake_.notify_all();
    const int channel = channelFor(key);
    // Halting first means this channel's sound is not playing while load() replaces or evicts
    // entries. Mix_HaltChannel returns only once the mixer has let go of the channel's sound.
    Mix_HaltChannel(channel);
    keyOn_[channel] = key;
    try {
        std::string path;
        Mix_Chunk* chunk = nullptr;
        for (std::string& candidate : soundCandidates(dirs_, name, defaultSound_)) {
            chunk = load(candidate);
            if (chunk != nullptr) {
                path = std::move(candidate);
                break;
            }
        }
        if (chunk != nullptr && Mix_PlayChannel(channel, chunk, 0) == channel) {
            lastStarted_ = Started{std::move(path), chunk->alen};
        }
    } catch (...) {
        // Out of memory: nothing plays.
    }
    return true;
}

bool SdlSoundPlayer::chunkPlaying(const Mix_Chunk* chunk) const {
    for (int channel = 0; channel < kChannels; ++channel) {
        if (Mix_Playing(channel) != 0 && Mix_GetChunk(channel) == chunk) return true;
    }
    return false;
}

// Frees the cached sound at `index`, unless another order's sound is still playing it: then it
// stays, unnamed, until it is done.
void SdlSoundPlayer::dropCached(std::size_t index) {
    if (chunkPlaying(cache_[index].chunk)) {
        cache_[index].path.clear();
        return;
    }
    Mix_FreeChunk(cache_[index].chunk);
    cache_.erase(cache_.begin() + static_cast<std::ptrdiff_t>(index));
}

// Decoding is cheap when the file already has the output's format (about 0.05 ms for a 1 s
// file) but not when it must be resampled (about 2 ms for 1 s at 22.05 or 48 kHz), hence the
// cache. An entry is good while the file keeps its device, inode, size, and modification and
// change times: rewriting or replacing the file misses it.
Mix_Chunk* SdlSoundPlayer::load(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !playableSize(info)) {
        return nullptr;
    }
    for (std::size_t i = 0; i < cache_.size(); ++i) {
        const Cached& entry = cache_[i];
        if (entry.path != path) {
            continue;
        }
        if (entry.device == info.st_dev && entry.inode == info.st_ino &&
            entry.size == info.st_size && entry.modifiedNs == nanoseconds(info.st_mtim) &&
            entry.changedNs == nanoseconds(info.st_ctim)) {
            const Cached hit = entry;
            cache_.erase(cache_.begin() + static_cast<std::ptrdiff_t>(i));
            cache_.push_back(hit);
            return hit.chunk;
        }
        dropCached(i);
        break;
    }

    std::vector<unsigned char> bytes;
    if (!readFile(path, bytes, info)) {
        return nullptr;
    }
    Mix_Chunk* chunk = decodeWave(bytes);
    if (chunk == nullptr) {
        return nullptr;
    }
    // The least recently used go first; a sound still playing stays until it is done.
    for (std::size_t i = 0; i < cache_.size();) {
        if ((cache_.size() >= maxCached || cache_[i].path.empty()) &&
            !chunkPlaying(cache_[i].chunk)) {
            Mix_FreeChunk(cache_[i].chunk);
            cache_.erase(cache_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    try {
        cache_.push_back(Cached{path, static_cast<std::uint64_t>(info.st_dev),
                                static_cast<std::uint64_t>(info.st_ino), info.st_size,
                                nanoseconds(info.st_mtim), nanoseconds(info.st_ctim), chunk});
    } catch (...) {
        Mix_FreeChunk(chunk);
        throw;
    }
    return chunk;
}

void SdlSoundPlayer::freeAll() {
    for (Cached& entry : cache_) {
        Mix_FreeChunk(entry.chunk);
    }
    cache_.clear();
}

}  // namespace tallowick
