// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/command_context.h"

namespace tallowick {

// Each of these stops the sound of an order it removes (see CommandContext::sounds).

// "delete all" and "deleteall": every order goes.
void deleteAll(CommandContext& c);
// "delete" followed by an order number: that order goes and the later ones move up.
void deleteOne(CommandContext& c);
// "stop": every sounding order goes, and every sound stops, whichever order it came from.
void stopSounding(CommandContext& c);

}  // namespace tallowick
