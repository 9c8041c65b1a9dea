// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/command_context.h"

namespace tallowick {

// "alarm" followed by an order number, "is" and a wave file name: the order rings that file
// from now on. The name is stored, never run; ".wav" is added when it does not end so.
void setAlarmSound(CommandContext& c);

}  // namespace tallowick
