#pragma once

#include "commands/command_context.h"

namespace tallowick {

// "in" followed by a duration: a one-shot alarm that rings "chime.wav" when it has passed.
void durationAlarm(CommandContext& c);
// "at" followed by a time of day: a one-shot alarm ringing "windup.wav" at that time today, or
// tomorrow when it has gone by.
void clockTimeAlarm(CommandContext& c);
// "every" followed by a duration: a periodic alarm chiming "deepbell.wav" once a period.
void periodicAlarm(CommandContext& c);

}  // namespace tallowick
