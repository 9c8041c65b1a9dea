// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

#include "commands/command_context.h"

namespace tallowick {

// "in" followed by a duration: a one-shot alarm that rings "chime.wav" when it has passed.
void durationAlarm(CommandContext& c);
// "at" followed by a time of day: a one-shot alarm ringing "windup.wav" at that time today, or
// tomorrow when it has gone by; followed by a repeat too, one that rings on each of its days.
void clockTimeAlarm(CommandContext& c);
// What an "at" line asks for, read by the rules of clockTimeAlarm: the time as typed (the text
// after "at" without the repeat), the hour from 0 to 23, the minute, and the repeat's days (see
// orders/repeat.h), 0 when it rings once. nullopt for a line it refuses.
struct ClockTimeEntry {
    std::string_view timeText;
    int hour = 0;
    int minute = 0;
    int repeatDays = 0;
};
std::optional<ClockTimeEntry> readClockTimeEntry(std::string_view entry);

// "every" followed by a duration: a periodic alarm chiming "deepbell.wav" once a period.
void periodicAlarm(CommandContext& c);

}  // namespace tallowick
