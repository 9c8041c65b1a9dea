// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/dispatcher.h"

#include <string_view>

#include "commands/alarm_setting.h"
#include "commands/alarm_sound.h"
#include "commands/daily_alarms.h"
#include "commands/fixed_replies.h"
#include "commands/listing.h"
#include "commands/removing.h"
#include "commands/shutdown.h"

namespace tallowick {
namespace {

struct Route {
    bool prefix;  // the entry starts with one of the words; otherwise it is one of them
    std::string_view words[2];
    void (*run)(CommandContext&);
};

void endProgram(CommandContext& c) {
    c.exitRequested = true;
}

// The order matters: the first route whose test holds takes the line.
constexpr Route kRoutes[] = {
    {true, {"shutdown"}, scheduleShutdown},
    {true, {"in"}, durationAlarm},
    {true, {"at"}, clockTimeAlarm},
    {true, {"every"}, periodicAlarm},
    {true, {"mark"}, makeMark},
    {false, {"deleteall", "delete all"}, deleteAll},
    {true, {"delete"}, deleteOne},
    {true, {"alarm"}, setAlarmSound},
    {false, {"stop"}, stopSounding},
    {true, {"snooze"}, snoozeAlarms},
    {true, {"label"}, labelOrder},
    {false, {"time"}, speakTime},
    {false, {"date"}, speakDate},
    {false, {"orders"}, listOrders},
    {false, {"say marks", "saymarks"}, sayMarks},
    {true, {"saymark", "say mark"}, sayMark},
    {false, {"exit"}, endProgram},
    {false, {"help"}, [](CommandContext& c) { helpPage(c, 1); }},
    {false, {"help 2", "help2"}, [](CommandContext& c) { helpPage(c, 2); }},
    {false, {"help 3", "help3"}, [](CommandContext& c) { helpPage(c, 3); }},
    {false, {"help 4", "help4"}, [](CommandContext& c) { helpPage(c, 4); }},
    {false, {"help 5", "help5"}, [](CommandContext& c) { helpPage(c, 5); }},
    {false, {"help 6", "help6"}, [](CommandContext& c) { helpPage(c, 6); }},
    {false, {"help 7", "help7"}, [](CommandContext& c) { helpPage(c, 7); }},
    {false, {"about"}, about},
    {false, {"dunwel"}, greetDunwel},
};

bool holds(const Route& route, std::string_view entry) {
    for (std::string_view word : route.words) {
        if (word.empty()) continue;
        if (route.prefix ? entry.starts_with(word) : entry == word) return true;
    }
    return false;
}

}  // namespace

void dispatch(CommandContext& c) {
    for (const Route& route : kRoutes) {
        if (holds(route, c.entry)) {
            c.accepted = true;
            route.run(c);
            return;
        }
    }
}

}  // namespace tallowick
