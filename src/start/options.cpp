// SPDX-License-Identifier: GPL-3.0-or-later
#include "start/options.h"

#include <string_view>

#include "start/preferences.h"

namespace tallowick {
namespace {

constexpr std::string_view kTryHelp = "Try 'tallowick --help'.";

bool refuse(std::string& error, const std::string& what) {
    error = what + "\n" + std::string(kTryHelp);
    return false;
}

}  // namespace

bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.empty() || arg[0] != '-' || arg == "--") {
            const int first = arg == "--" ? i + 1 : i;
            std::string words;
            for (int w = first; w < argc; ++w) {
                if (w > first) words += ' ';
                words += argv[w];
            }
            if (first < argc) line.words = std::move(words);
            break;
        }
        if (arg == "--help" || arg == "-h") {
            line.help = true;
            return true;
        }
        if (arg == "--version") {
            line.version = true;
            return true;
        }
        if (arg == "--terminal") {
            line.terminal = true;
        } else if (arg.starts_with("--voice=")) {
            line.voice = arg.substr(8);
            if (!parseVoiceChoice(line.voice)) {
                return refuse(error,
                              "unknown voice '" + line.voice + "' (choose " + kVoiceChoices + ")");
            }
        } else if (arg == "--zoom" || arg.starts_with("--zoom=")) {
            const std::string_view value =
                arg == "--zoom" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(7);
            if (value.size() != 1 || value[0] < '1' || value[0] > '4') {
                return refuse(error, "--zoom takes 1, 2, 3 or 4");
            }
            line.zoom = value[0] - '0';
        } else if (arg == "--autostart" || arg.starts_with("--autostart=")) {
            std::string_view value =
                arg == "--autostart" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(12);
            if (value != "on" && value != "off")
                return refuse(error, "--autostart takes on or off");
            line.autostart = value == "on";
        } else {
            return refuse(error, "unknown option '" + std::string(arg) + "'");
        }
    }
    if (line.words && line.terminal) return refuse(error, "--terminal takes no command words");
    return true;
}

}  // namespace tallowick
