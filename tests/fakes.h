// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Fakes for every seam: each records what it was asked; tests move the clock, break the disk.

#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "commands/core.h"
#include "orders/date_time.h"
#include "ports/clock.h"
#include "ports/diagnostics.h"
#include "ports/files.h"
#include "ports/panel_canvas.h"
#include "ports/shell.h"
#include "ports/sound_player.h"
#include "ports/voice.h"

namespace tallowick {

// A directory of this test's own, made empty.
inline std::filesystem::path freshDirectory(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// A date and time that exists; and as an instant, read in UTC.
inline DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *DateTime::make(y, mo, d, h, mi, s);
}
inline Instant utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return Instant(at(y, mo, d, h, mi, s).secondsSince1970());
}

// In UTC unless given a zone, whose offsets the C library tells.
class FakeClock final : public Clock {
  public:
    Instant time = utc(2026, 12, 6, 14, 5, 9);
    std::string zone;  // a TZ value such as "Europe/Berlin"

    Instant now() override { return time; }
    int64_t utcOffset(Instant instant) override {
        if (zone.empty()) return 0;
        ::setenv("TZ", zone.c_str(), 1), ::tzset();
        const std::time_t t = instant.secondsSince1970();
        std::tm local{};
        return ::localtime_r(&t, &local) ? local.tm_gmtoff : 0;
    }
    void advance(int64_t seconds) { time = time.plusSecondsClamped(seconds); }
};

class FakeVoice final : public Voice {
  public:
    std::vector<std::string> requests;  // "say:" or "queue:" and the text

    void say(const std::string& text) override { requests.push_back("say:" + text); }
    void queue(const std::string& text) override { requests.push_back("queue:" + text); }
    std::string last() const { return requests.empty() ? "" : requests.back(); }
};

class FakeSoundPlayer final : public SoundPlayer {
  public:
    std::vector<std::string> played;  // the name of each sound started
    std::vector<int> keys, stopped;   // the key of each; each key stopped, 0 for all
    int prepares = 0;
    bool outputFails = false;  // the audio output does not work: play() starts nothing
    bool play(int key, const std::string& name) override {
        if (outputFails) return false;
        played.push_back(name);
        keys.push_back(key);
        return true;
    }
    void stop(int key) override { stopped.push_back(key); }
    void stopAll() override { stopped.push_back(0); }
    void prepare() override { ++prepares; }
};

// The panel by the top edge of each box: its colour, then each text, e.g. {18, "green: red 0 s"}.
class FakeCanvas final : public PanelCanvas {
  public:
    std::map<int, std::string> rows;

    void fillBox(int, int y1, int, int, Rgb color) override { rows[y1] = name(color) + ":"; }
    void writeText(int, int y, const std::string& text, Rgb color) override {
        rows[y] += " " + name(color) + " " + text;
    }
    void clear() override { rows.clear(); }
    static std::string name(Rgb c) {
        for (const auto& [rgb, word] : {std::pair<Rgb, const char*>{{255, 255, 255}, "white"},
                                        {{0, 255, 0}, "green"},
                                        {{0, 0, 0}, "black"},
                                        {{255, 0, 0}, "red"}}) {
            if (c == rgb) return word;
        }
        return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
    }
};

class FakeShell final : public Shell {
  public:
    std::vector<std::string> scripts;
    bool fails = false;
    bool runScript(const std::string& path) override {
        scripts.push_back(path);
        return !fails;
    }
};

class MemoryFiles : public Files {
  public:
    std::map<std::string, std::string> files;
    std::map<std::string, int> modes;
    std::map<std::string, std::string> odd;  // names that hold no regular file: their kind
    bool writesFail = false, readsFail = false;
    int replaces = 0;
    ReadResult read(const std::string& path, std::string& contents, size_t maxBytes) override {
        if (readsFail) return ReadResult::failed;
        if (odd.count(path)) return ReadResult::notRegular;
        auto it = files.find(path);
        if (it == files.end()) return ReadResult::missing;
        if (it->second.size() > maxBytes) return ReadResult::tooLarge;
        contents = it->second;
        return ReadResult::ok;
    }
    bool replace(const std::string& path, const std::string& contents, int mode) override {
        ++replaces;
        if (writesFail) return false;
        files[path] = contents;
        modes[path] = mode;
        return true;
    }
    CreateResult createNew(const std::string& path, const std::string& contents) override {
        if (writesFail) return CreateResult::failed;
        if (files.count(path)) return CreateResult::exists;
        files[path] = contents;
        return CreateResult::ok;
    }
    CreateResult keepAside(const std::string& path, const std::string& newPath) override {
        if (writesFail) return CreateResult::failed;
        if (files.count(newPath) || odd.count(newPath)) return CreateResult::exists;
        for (auto* names : {&files, &odd}) {
            if (auto it = names->find(path); it != names->end()) {
                (*names)[newPath] = std::move(it->second);
                names->erase(path);
            }
        }
        return CreateResult::ok;
    }
};

class FakeDiagnostics final : public Diagnostics {
  public:
    std::vector<std::string> lines;
    void report(const std::string& line) override { lines.push_back(line); }
};

// What type() adds to a reply when the save failed.
inline const std::string kNotSaved = std::string(" | queue:") + Core::kNotSavedNotice;

struct Rig {
    FakeClock clock;
    FakeVoice voice;
    FakeSoundPlayer player;
    FakeCanvas canvas;
    FakeShell shell;
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    Core core{Seams{clock, voice, player, canvas, shell, files, diagnostics}, "/prog"};

    static constexpr const char* kSettings = "/prog/settings.ini";

    // Types `line` and returns what the voice was asked for it, joined by " | ".
    std::string type(const std::string& line) {
        size_t i = voice.requests.size();
        core.line(line);
        std::string heard;
        for (; i < voice.requests.size(); ++i)
            heard += (heard.empty() ? "" : " | ") + voice.requests[i];
        return heard;
    }
    const Order& order(int i) const { return core.table().at(i); }
    void tick(int64_t seconds = 1) {
        clock.advance(seconds);
        core.tick();
    }
};

}  // namespace tallowick
