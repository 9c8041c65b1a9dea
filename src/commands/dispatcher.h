#pragma once

#include "commands/command_context.h"

namespace tallowick {

// Picks the command for `c.entry` by fixed tests tried in a fixed order (a line starting with
// "in", "at", "every", "mark", "delete" or "alarm" belongs to that command even when the rest
// is wrong) and carries it out. Leaves `c.handled` at 0 when no test holds.
void dispatch(CommandContext& c);

}  // namespace tallowick
