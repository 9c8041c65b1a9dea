#include "audio/sdl_sound_player.h"
#include "audio/audio_support.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace tallowick {

namespace {

// The one mixer channel: a new sound always replaces the one playing.
constexpr int channel = 0;

// Decoded sounds kept at most. Alarms use a handful of sounds; this only bounds memory when a
// user goes through many.
constexpr std::size_t maxCached = 8;

std::atomic<bool> playerExists{false};

// The mixer's buffer: 512 frames at 44.1 kHz is 11.6 ms. A new sound waits behind what is
// queued already, so this is most of the time from play() to sound once the output is open
// (1024 frames made it about 20 ms). 256 frames stuttered on a busy machine. The smaller buffer
// wakes SDL's audio thread more often, but only while the output is open, which is while a
// sound plays and a few seconds after. (SDL's "force real-time" hint is not used: without
// RealtimeKit it leaves the audio thread at normal priority instead of SDL's raised one.)
constexpr int bufferFrames = 512;

// Opens the mixer on `device` (empty: the default output).
bool openOutput(const std::string& device) {
    if (Mix_OpenAudioDevice(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, MIX_DEFAULT_CHANNELS,
                            bufferFrames, device.empty() ? nullptr : device.c_str(),
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE) !=
        0) {
        return false;
    }
    Mix_AllocateChannels(1);
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

}  // namespace

SdlSoundPlayer::SdlSoundPlayer(SoundDirs dirs, std::string defaultSound,
                               std::chrono::milliseconds idleClose)
    : dirs_(std::move(dirs)),
      defaultSound_(std::move(defaultSound)),
      idleClose_(idleClose),
      open_(true),
      lastActive_(std::chrono::steady_clock::now()) {}

bool SdlSoundPlayer::openDevice() {
    if (open_) return true;
    // The audio system is started again for each try, so that it looks afresh for a sound
    // server (one that came up after us, at login) and for devices.
    if (!audioUp_ && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    audioUp_ = true;
    if (!openOutput(device_)) {
        letGoOfAudio();
        return false;
    }
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

void SdlSoundPlayer::closeWhenIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (!open_) {
            wake_.wait(lock);
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (Mix_Playing(channel) != 0) lastActive_ = now;
        if (now - lastActive_ >= idleClose_) {
            closeDevice();
            continue;
        }
        // Wakes a few times while the device is open, never while it is closed.
        wake_.wait_for(lock, std::min<std::chrono::steady_clock::duration>(
                                 idleClose_ - (now - lastActive_), std::chrono::seconds(1)));
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
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = "cannot start audio (" + oneLine(SDL_GetError()) + "); sounds are off";
        playerExists = false;
        return nullptr;
    }
    // Opened here once to tell at start whether there is any sound now. An output that will not
    // open yet (a sound server still starting at login, a headset unplugged) is no reason to
    // stay silent for the whole run: every alarm tries it again and reports what it finds.
    const bool opened = openOutput("");
    if (!opened) {
        error = "cannot open audio output now (" + oneLine(Mix_GetError()) +
                "); every alarm tries it again";
    }
    std::unique_ptr<SdlSoundPlayer> player;
    try {
        player.reset(new SdlSoundPlayer(dirs, defaultSound, idleClose));
        player->open_ = opened;
        if (!opened) player->letGoOfAudio();
        player->closer_ = std::thread([p = player.get()] { p->closeWhenIdle(); });
    } catch (...) {
        if (player) {
            player.reset();  // its destructor closes the audio
        } else {
            Mix_CloseAudio();
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
    if (closer_.joinable()) closer_.join();
    closeDevice();
    if (audioUp_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    playerExists = false;
}

bool SdlSoundPlayer::playing() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return open_ && Mix_Playing(channel) != 0;
}

bool SdlSoundPlayer::deviceOpen() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void SdlSoundPlayer::stop() {
    const std::lock_guard<std::mutex> lock(mutex_);
    // Returns once the mixer has let go of the sound; what SDL and the sound server have queued
    // already (a few milliseconds) still plays out.
    if (open_) Mix_HaltChannel(channel);
}

void SdlSoundPlayer::prepare() {
    const std::lock_guard<std::mutex> lock(mutex_);
    lastActive_ = std::chrono::steady_clock::now();
    // A failure here is left to play(), which reports it.
    if (openDevice()) wake_.notify_all();
}

void SdlSoundPlayer::useDevice(const std::string& device) {
    const std::lock_guard<std::mutex> lock(mutex_);
    device_ = device;
}

bool SdlSoundPlayer::play(const std::string& name) {
    const std::lock_guard<std::mutex> lock(mutex_);
    lastStarted_ = Started{};
    lastActive_ = std::chrono::steady_clock::now();
    if (!openDevice()) return false;  // the sound server went away: the caller tells the user
    wake_.notify_all();
    // Halting first means no cached sound is playing while load() replaces or evicts entries.
    // Mix_HaltChannel returns only once the mixer has let go of the channel's sound.
    Mix_HaltChannel(channel);
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

// Decoding is cheap when the file already has the output's format (about 0.05 ms for a 1 s
// file) but not when it must be resampled (about 2 ms for 1 s at 22.05 or 48 kHz), hence the
// cache. An entry is good while the file keeps its device, inode, size, and modification and
// change times: rewriting or replacing the file misses it.
Mix_Chunk* SdlSoundPlayer::load(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !playableSize(info)) {
        return nullptr;
    }
    for (auto entry = cache_.begin(); entry != cache_.end(); ++entry) {
        if (entry->path != path) {
            continue;
        }
        if (entry->device == info.st_dev && entry->inode == info.st_ino &&
            entry->size == info.st_size && entry->modifiedNs == nanoseconds(info.st_mtim) &&
            entry->changedNs == nanoseconds(info.st_ctim)) {
            Cached hit = *entry;
            cache_.erase(entry);
            cache_.push_back(hit);
            return hit.chunk;
        }
        Mix_FreeChunk(entry->chunk);
        cache_.erase(entry);
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
    if (cache_.size() >= maxCached) {
        Mix_FreeChunk(cache_.front().chunk);
        cache_.erase(cache_.begin());
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
