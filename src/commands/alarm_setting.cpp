// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/alarm_setting.h"

#include <cmath>
#include <optional>
#include <utility>

#include "commands/duration_phrase.h"
#include "commands/number.h"
#include "commands/text.h"
#include "orders/repeat.h"

namespace tallowick {
namespace {

// Appends `order` and answers with its number, or answers that the table is full.
void appendAlarm(CommandContext& c, Order order, const std::string& replyTail) {
    if (c.table.full()) {
        c.reply = kNoRoomReply;
        return;
    }
    const int number = c.table.append(std::move(order));
    c.reply = "Alarm number " + std::to_string(number) + " set for " + replyTail;
}

// Reads an hour or minute field: a number by the typed-number rule from 0 to `highest`, any
// fraction dropped. nullopt otherwise.
std::optional<int> readClockField(std::string_view field, int highest) {
    const std::optional<double> value = readNumber(field);
    if (!value || *value < 0 || *value > highest) return std::nullopt;
    return static_cast<int>(*value);
}

// Reads a list of days after "on": full names or their first three letters, separated by
// blanks, commas or "and". Their bits (see orders/repeat.h), or 0 when anything else is there.
int readDays(std::string_view text) {
    static constexpr std::string_view kNames[] = {"monday", "tuesday",  "wednesday", "thursday",
                                                  "friday", "saturday", "sunday"};
    int days = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == ',') {
            ++i;
            continue;
        }
        size_t end = text.find_first_of(" ,", i);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view word = text.substr(i, end - i);
        i = end;
        if (word == "and") continue;
        int found = -1;
        for (int d = 0; d < 7; ++d) {
            if (word == kNames[d] || word == kNames[d].substr(0, 3)) found = d;
        }
        if (found < 0) return 0;
        days |= 1 << found;
    }
    return days;
}

// Splits a repeat off the end of the text after "at": "daily", "every day", "weekdays",
// "weekends" or "on" and days, after a blank. Its days, with `timeText` cut to the time before
// it (trailing blanks dropped); 0 days, nothing cut, for any other text.
int splitRepeat(std::string_view& timeText) {
    auto cut = [&](size_t at, int days) {
        if (days == 0) return 0;
        std::string_view time = timeText.substr(0, at);
        while (!time.empty() && time.back() == ' ') time.remove_suffix(1);
        timeText = time;
        return days;
    };
    for (const auto& [word, days] : {std::pair<std::string_view, int>{" daily", kEveryDay},
                                     {" every day", kEveryDay},
                                     {" weekdays", kWeekdays},
                                     {" weekends", kWeekends}}) {
        if (timeText.ends_with(word)) return cut(timeText.size() - word.size(), days);
    }
    const size_t on = timeText.rfind(" on ");
    if (on == std::string_view::npos) return 0;
    return cut(on, readDays(timeText.substr(on + 4)));
}

}  // namespace

void durationAlarm(CommandContext& c) {
    const DurationPhrase phrase = DurationPhrase::split(dropCharacters(c.entry, 2));
    const std::optional<Instant> due = phrase.valid() ? phrase.dueFrom(c.now()) : std::nullopt;
    if (!due) {
        c.accepted = false;
        return;
    }
    const std::string echo = phrase.echo("");
    appendAlarm(c, Order{"in " + echo, *due, 0, "chime.wav", 0}, echo);
}

std::optional<ClockTimeEntry> readClockTimeEntry(std::string_view entry) {
    ClockTimeEntry read;
    std::string_view timeText = dropCharacters(entry, 2);
    read.repeatDays = splitRepeat(timeText);
    read.timeText = timeText;
    const size_t colon = timeText.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view hourField = timeText.substr(0, colon);
    const std::string_view tail = timeText.substr(colon + 1);
    if (characterCount(tail) < 2) return std::nullopt;
    const std::string_view minuteField = firstCharacters(tail, 2);
    std::string_view marker = lastCharacters(tail, 2);
    // Nothing after the two minute characters: the morning is meant.
    if (marker == minuteField && marker != "am") marker = "am";

    const std::optional<int> typedHour = readClockField(hourField, 23);
    const std::optional<int> minute = readClockField(minuteField, 59);
    if (!typedHour || !minute || (marker != "am" && marker != "pm")) return std::nullopt;
    read.hour = *typedHour;
    read.minute = *minute;
    if (marker == "pm" && read.hour < 12) read.hour += 12;
    if (marker == "am" && read.hour == 12) read.hour = 0;  // twelve in the morning: after midnight
    return read;
}

void clockTimeAlarm(CommandContext& c) {
    const std::optional<ClockTimeEntry> read = readClockTimeEntry(c.entry);
    if (!read) {
        c.accepted = false;
        return;
    }
    const std::string_view timeText = read->timeText;
    const int repeatDays = read->repeatDays;
    const int hour = read->hour;
    const int minute = read->minute;

    std::string timeEcho(timeText);
    const std::string_view lastTwo = lastCharacters(timeText, 2);
    if (lastTwo != "am" && lastTwo != "pm") timeEcho += " a m";
    const Instant now = c.now();
    if (repeatDays != 0) {
        Order order{c.entry, now, 0, "windup.wav", 0, repeatDays, hour * 60 + minute};
        const std::optional<Instant> due = nextRepeatDue(c.clock, order, now);
        if (!due) {
            c.accepted = false;  // no matching day before the calendar's last
            return;
        }
        order.due = *due;
        appendAlarm(c, std::move(order), timeEcho + " " + repeatWords(repeatDays));
        return;
    }

    // The next time the wall clock shows that time of day: today, or else tomorrow.
    const WallTime today = localTime(c.clock, now).wallTime();
    const DateTime todayAt = *DateTime::make(today.year, today.month, today.day, hour, minute);
    std::optional<Instant> due = nextInstantOf(c.clock, todayAt, now);
    std::string daySuffix;
    if (!due) {
        const std::optional<DateTime> tomorrowAt = todayAt.plusSeconds(86400);
        if (tomorrowAt) due = nextInstantOf(c.clock, *tomorrowAt, now);
        daySuffix = " tomorrow";
    }
    if (!due) {
        c.accepted = false;  // tomorrow would be past the calendar's last day
        return;
    }
    appendAlarm(c, Order{c.entry, *due, 0, "windup.wav", 0}, timeEcho + daySuffix);
}

void periodicAlarm(CommandContext& c) {
    const DurationPhrase phrase = DurationPhrase::split(dropCharacters(c.entry, 5));
    const Instant now = c.now();
    const std::optional<Instant> due = phrase.valid() ? phrase.dueFrom(now) : std::nullopt;
    if (!due) {
        c.accepted = false;
        return;
    }
    appendAlarm(c, Order{c.entry, *due, due->secondsSince(now), "deepbell.wav", 0},
                phrase.echo("every "));
}

}  // namespace tallowick
