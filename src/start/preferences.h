// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ports/diagnostics.h"
#include "ports/files.h"

namespace tallowick {

// Who speaks the replies.
enum class VoiceChoice {
    espeak,            // the built-in eSpeak NG voice (the default)
    speechDispatcher,  // speech-dispatcher, with the user's own voice, rate and volume
    screenReader,      // nobody: the screen reader presents them through the accessibility layer
    none,              // silence
};

inline constexpr const char* kVoiceChoices = "espeak, speech-dispatcher, screen-reader or none";

// "espeak", "speech-dispatcher", "screen-reader", "none"; nothing for anything else.
std::optional<VoiceChoice> parseVoiceChoice(std::string_view name);
const char* voiceChoiceName(VoiceChoice choice);

// The user's preferences file in `configDir`: lines "key=value", "#" comments. `voice` and
// `zoom` are known; other lines are kept as they are when the file is rewritten.
inline constexpr const char* kPreferencesFile = "preferences.conf";

// Settles the voice for this start: `given` (the --voice value, empty when none was given)
// wins, and is kept in the preferences file for later starts; otherwise the file's choice, or,
// not kept, the screen reader (told on `diagnostics`) when `screenReaderRunning` says one runs
// and espeak when not. Returns nothing, with `error` set to one line, for a bad value given. A
// bad value in the file must not keep the alarms from starting at login: it is reported on
// `diagnostics`, `notice` gets a sentence for the voice, and espeak is used. A file that cannot
// be read or written is reported on `diagnostics`, and the start goes on.
std::optional<VoiceChoice> settleVoiceChoice(std::string_view given, const std::string& configDir,
                                             Files& files, Diagnostics& diagnostics,
                                             std::string& error, std::string& notice,
                                             const std::function<bool()>& screenReaderRunning);

// Settles the window's zoom, 1 to 4, as the voice: `given` (--zoom) wins and is kept in the
// preferences file; otherwise the file's, or 1. (Qt itself follows the desktop's scale factor
// and font DPI: QT_SCALE_FACTOR, QT_FONT_DPI and the screen's pixel ratio.) A bad value in the
// file, or a file that cannot be read or written, is told on `diagnostics`, and the start goes
// on.
int settleZoom(std::optional<int> given, const std::string& configDir, Files& files,
               Diagnostics& diagnostics);

}  // namespace tallowick
