// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/command_context.h"

namespace tallowick {

// "shutdown" followed by a duration: writes the one-line script temp.bat into the data
// directory and starts it detached, so that the computer powers off when the duration has
// passed, whether or not the program still runs.
void scheduleShutdown(CommandContext& c);

}  // namespace tallowick
