// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "start/layout.h"
#include "start/options.h"

namespace tallowick {

// What a start of Tallowick has found out before the program itself runs.
struct Start {
    CommandLine command;
    Layout layout;
    bool chosen = false;  // whether `layout` has a data directory
    std::string error;    // why it has none: one line for standard error
};

// Answers every start that needs no window, voice or sound: a usage error, --version, --help,
// --autostart and COMMAND... (handed to the running Tallowick over the session bus). Returns
// the exit status when it has answered, or nothing when the program must start; `start` is
// filled in either way.
std::optional<int> answerStart(int argc, char** argv, Start& start);

// Whether there is a display for the window.
bool hasDisplay();

}  // namespace tallowick
