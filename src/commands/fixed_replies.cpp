// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/fixed_replies.h"

#include <cstdio>

namespace tallowick {
namespace {

constexpr const char* kHelpPages[] = {
    "To exit the program type EXIT.  To stop a chiming alarm, type stop.  To hear the current "
    "date or time, type date, or type time.  To set an alarm for a duration of time, type the "
    "word INN, followed by the amount of time.  Use s for seconds, m for minutes, h for hours, d "
    "for days, and w for weeks.  If you wanted an alarm in 2 hours and 10 minutes, you would "
    "type, INN, 2, h, 10, em, and press enter.  Type help two, for more commands.",

    "To set an alarm for a specific time, type AT, followed by the time.  Enter the time by "
    "typing the hour, followed by a colon, and then the minutes.  Placing ay em, or pee em, at "
    "the end is optional.  If you do not wish to include either, ay em, will be assumed.  You "
    "can use military time if you wish.  Type help three for more commands.",

    "To set a periodic alarm, type EVERY, followed by the amount of time.  Use the same format "
    "you would use with a Duration type alarm.  Periodic alarms will chime only once just so you "
    "are aware of time passing.  For example, if you typed, Every, 5, em, and pressed Enter, then "
    "every 5 minutes a single chime would be heard.  Type help four for more commands.",

    "To list all of the current alarms, type Orders.  To delete an alarm, type delete, followed "
    "by the order number.  Keep in mind that each time you delete an order, the order numbers "
    "will adjust to match the new list.  If, for example, you had three alarms and you deleted "
    "number 2, then the old order number three will now be listed as order number two.  You can "
    "also type Delete, All, to delete all of the current orders.  Type help five for more "
    "commands.",

    "To set a custom alarm sound first you must set the alarm.  Type alarm, followed by, is, and "
    "finally the filename for the wave file you have previously put into the program's "
    "directory.  If the file is not present in the directory, the alarm will simply be a generic "
    "windows chime.  Type help six for more commands.",

    "For timing things you can create marks.  Type mark, and a new mark will be created.  At a "
    "later time you can either type, say marks, to hear them all, or you can type, say mark, "
    "followed by the order number of a specific mark.  You will be told how much time has passed "
    "since that mark was created.  Deleting marks works exactly the same as deleting alarms, and "
    "they both show up on the same order list.  Type shutdown, followed by an amount of time, and "
    "the computer will shut itself down at that time.",
    "To have an alarm ring at the same time again and again, type AT, the time, and then "
    "daily, weekdays, weekends, or on, followed by the days.  For example, at, 7:30, weekdays, "
    "or, at, 9, colon, 00, on, mon, wed, fri.  When it rings, stop sets it for its next day.  "
    "To hear a ringing alarm again later, type snooze, for 10 minutes, or snooze followed by "
    "an amount of time, as with INN.  To give an order a name, type label, followed by the "
    "order number and the name, such as, label, 1, tea.  Type label and the number alone to "
    "take the name away.",
};

}  // namespace

void speakTime(CommandContext& c) {
    const WallTime t = c.localNow().wallTime();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    c.reply = buffer;
}

void speakDate(CommandContext& c) {
    const WallTime t = c.localNow().wallTime();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d-%02d-%04d", t.month, t.day, t.year);
    c.reply = buffer;
}

void helpPage(CommandContext& c, int page) {
    c.reply = kHelpPages[page - 1];
}

void about(CommandContext& c) {
    c.reply =
        "This program is dedicated to my wife Orlenna.  While cooking she was using an old, "
        "outdated timer program I had made years ago.  I finally decided she needed one with "
        "more features and I made it accessible while I was at it so others could hopefully "
        "benefit from it.";
}

void greetDunwel(CommandContext& c) {
    c.reply = "Yes, Dunwel is the man! ha ha ha";
}

}  // namespace tallowick
