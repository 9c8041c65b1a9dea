// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/command_context.h"

namespace tallowick {

// The commands that answer with a fixed text or the clock: "time", "date", the seven help pages,
// "about" and the hidden greeting "dunwel". Each recognises its line.
void speakTime(CommandContext& c);
void speakDate(CommandContext& c);
// `page` is 1 to 7.
void helpPage(CommandContext& c, int page);
void about(CommandContext& c);
void greetDunwel(CommandContext& c);

}  // namespace tallowick
