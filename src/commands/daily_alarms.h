// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/command_context.h"

namespace tallowick {

// "snooze" and "snooze 5 m": every sounding alarm is due again after the time (10 minutes
// when none is typed).
void snoozeAlarms(CommandContext& c);

// "label 2 tea" names order 2; "label 2" takes its name away.
void labelOrder(CommandContext& c);

}  // namespace tallowick
