// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/command_context.h"

namespace tallowick {

// Picks the command for `c.entry` by fixed tests tried in a fixed order (a line starting with
// "in", "at", "every", "mark", "delete" or "alarm" belongs to that command even when the rest
// is wrong), sets `c.accepted` and carries it out. Leaves `c.accepted` false when no test holds.
void dispatch(CommandContext& c);

}  // namespace tallowick
