// SPDX-License-Identifier: GPL-3.0-or-later
#include "start/preferences.h"

#include <filesystem>
#include <system_error>

namespace tallowick {

namespace {

constexpr std::string_view kVoiceKey = "voice";

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// The value of the `key` line of `contents`, when there is one; the last one counts.
std::optional<std::string_view> keyLine(std::string_view contents,
                                        std::string_view key = kVoiceKey) {
    std::optional<std::string_view> value;
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        const std::string_view line = trimmed(contents.substr(0, end));
        contents = end == std::string_view::npos ? std::string_view{} : contents.substr(end + 1);
        const std::size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos) continue;
        if (trimmed(line.substr(0, equals)) == key) value = trimmed(line.substr(equals + 1));
    }
    return value;
}

// `contents` with its `key` lines replaced by one setting it to `value`.
std::string withKey(std::string_view contents, std::string_view key, const std::string& value) {
    std::string out;
    if (contents.empty()) {
        out = "# Tallowick's preferences. voice: " + std::string(kVoiceChoices) + ".\n";
    }
    while (!contents.empty()) {
        const std::size_t end = contents.find('\n');
        const std::string_view raw = contents.substr(0, end);
        contents = end == std::string_view::npos ? std::string_view{} : contents.substr(end + 1);
        const std::string_view line = trimmed(raw);
        const std::size_t equals = line.find('=');
        if (!line.empty() && line.front() != '#' && equals != std::string_view::npos &&
            trimmed(line.substr(0, equals)) == key) {
            continue;
        }
        out.append(raw).push_back('\n');
    }
    return out + std::string(key) + "=" + value + "\n";
}

// Writes `contents` as the preferences file `path` in `configDir`, made when first written.
bool writePreferences(const std::string& configDir, const std::string& path,
                      const std::string& contents, Files& files) {
    if (files.replace(path, contents, 0644)) return true;
    std::error_code made;
    return std::filesystem::create_directories(configDir, made) &&
           files.replace(path, contents, 0644);
}

// The voice when none is chosen. The screen reader is told once on standard error, with how to
// choose another; the built-in voice is what a start without a screen reader always had.
VoiceChoice unchosenVoice(Diagnostics& diagnostics,
                          const std::function<bool()>& screenReaderRunning) {
    if (screenReaderRunning()) {
        diagnostics.report("a screen reader runs: it presents the replies (--voice to choose)");
        return VoiceChoice::screenReader;
    }
    diagnostics.report("no screen reader runs: the built-in voice speaks (--voice to choose)");
    return VoiceChoice::espeak;
}

}  // namespace

std::optional<VoiceChoice> parseVoiceChoice(std::string_view name) {
    for (VoiceChoice choice : {VoiceChoice::espeak, VoiceChoice::speechDispatcher,
                               VoiceChoice::screenReader, VoiceChoice::none}) {
        if (name == voiceChoiceName(choice)) return choice;
    }
    return std::nullopt;
}

const char* voiceChoiceName(VoiceChoice choice) {
    switch (choice) {
        case VoiceChoice::espeak:
            return "espeak";
        case VoiceChoice::speechDispatcher:
            return "speech-dispatcher";
        case VoiceChoice::screenReader:
            return "screen-reader";
        case VoiceChoice::none:
            return "none";
    }
    return "espeak";
}

std::optional<VoiceChoice> settleVoiceChoice(std::string_view given, const std::string& configDir,
                                             Files& files, Diagnostics& diagnostics,
                                             std::string& error, std::string& notice,
                                             const std::function<bool()>& screenReaderRunning) {
    std::optional<VoiceChoice> choice;
    if (!given.empty()) {
        choice = parseVoiceChoice(given);
        if (!choice) {
            error = "unknown voice '" + std::string(given) + "' (choose " + kVoiceChoices + ")";
            return std::nullopt;
        }
    }
    const std::string path = configDir + "/" + kPreferencesFile;
    std::string contents;
    // A preferences file holds a line or two; anything larger or odd is no preferences file.
    const ReadResult read = files.read(path, contents, 64 * 1024);
    if (read != ReadResult::ok && read != ReadResult::missing) {
        diagnostics.report(path + " could not be read");
        return choice ? *choice : unchosenVoice(diagnostics, screenReaderRunning);
    }
    const std::optional<std::string_view> kept = keyLine(contents);
    if (!choice) {
        if (!kept) return unchosenVoice(diagnostics, screenReaderRunning);
        choice = parseVoiceChoice(*kept);
        if (!choice) {
            diagnostics.report(path + ": unknown voice '" + std::string(*kept) + "' (choose " +
                               kVoiceChoices + "); speaking with espeak");
            notice = "The voice in the preferences file is unknown, so the built-in voice speaks.";
            return VoiceChoice::espeak;
        }
        return choice;
    }
    if (kept && parseVoiceChoice(*kept) == choice) return choice;
    if (!writePreferences(configDir, path, withKey(contents, kVoiceKey, voiceChoiceName(*choice)),
                          files)) {
        diagnostics.report(path +
                           " could not be written; the voice is not kept for the next start");
    }
    return choice;
}

int settleZoom(std::optional<int> given, const std::string& configDir, Files& files,
               Diagnostics& diagnostics) {
    const std::string path = configDir + "/" + kPreferencesFile;
    std::string contents;
    const ReadResult read = files.read(path, contents, 64 * 1024);
    if (read != ReadResult::ok && read != ReadResult::missing) {
        diagnostics.report(path + " could not be read");
        return given.value_or(1);
    }
    const std::optional<std::string_view> kept = keyLine(contents, "zoom");
    const bool keptRight = kept && kept->size() == 1 && (*kept)[0] >= '1' && (*kept)[0] <= '4';
    if (!given) {
        if (kept && !keptRight) {
            diagnostics.report(path + ": zoom '" + std::string(*kept) + "' is not 1 to 4");
        }
        return keptRight ? (*kept)[0] - '0' : 1;
    }
    if (keptRight && (*kept)[0] - '0' == *given) return *given;
    if (!writePreferences(configDir, path, withKey(contents, "zoom", std::to_string(*given)),
                          files)) {
        diagnostics.report(path + " could not be written; the zoom is not kept for the next start");
    }
    return *given;
}

}  // namespace tallowick
