#include "commands/alarm_setting.h"

#include <cmath>
#include <optional>

#include "commands/duration_phrase.h"
#include "commands/number.h"
#include "commands/text.h"

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

void clockTimeAlarm(CommandContext& c) {
    const std::string_view timeText = dropCharacters(c.entry, 2);
    const size_t colon = timeText.find(':');
    if (colon == std::string_view::npos) {
        c.accepted = false;
        return;
    }
    const std::string_view hourField = timeText.substr(0, colon);
    const std::string_view tail = timeText.substr(colon + 1);
    if (characterCount(tail) < 2) {
        c.accepted = false;
        return;
    }
    const std::string_view minuteField = firstCharacters(tail, 2);
    std::string_view marker = lastCharacters(tail, 2);
    // Nothing after the two minute characters: the morning is meant.
    if (marker == minuteField && marker != "am") marker = "am";

    const std::optional<int> typedHour = readClockField(hourField, 23);
    const std::optional<int> minute = readClockField(minuteField, 59);
    if (!typedHour || !minute || (marker != "am" && marker != "pm")) {
        c.accepted = false;
        return;
    }
    int hour = *typedHour;
    if (marker == "pm" && hour < 12) hour += 12;
    if (marker == "am" && hour == 12) hour = 0;  // twelve in the morning is the hour after midnight

    // The next time the wall clock shows that time of day: today, or else tomorrow.
    const Instant now = c.now();
    const WallTime today = localTime(c.clock, now).wallTime();
    const DateTime todayAt = *DateTime::make(today.year, today.month, today.day, hour, *minute);
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
    std::string timeEcho(timeText);
    const std::string_view lastTwo = lastCharacters(timeText, 2);
    if (lastTwo != "am" && lastTwo != "pm") timeEcho += " a m";
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
