// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace tallowick {

// What the command line asks for. Words after the options (or after "--") are one typed line
// for the running Tallowick.
struct CommandLine {
    bool terminal = false;
    bool help = false;
    bool version = false;
    std::optional<bool> autostart;  // --autostart on (true) or off (false)
    std::string voice;              // --voice=VALUE as given, checked
    std::optional<int> zoom;        // --zoom N, 1 to 4
    std::optional<std::string> words;
};

// Reads `argv`. Returns false, with `error` set to the lines for standard error (the last without
// a line end), on an unknown option or a wrong argument: the program then exits with status 2.
bool parseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error);

}  // namespace tallowick
