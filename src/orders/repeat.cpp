// SPDX-License-Identifier: GPL-3.0-or-later
#include "orders/repeat.h"

#include "orders/date_time.h"

namespace tallowick {

int weekdayOf(DateTime date) {
    // 1 January of the year 1 was a Monday in the calendar used backwards.
    return static_cast<int>((date.secondsSinceEpoch() / 86400) % 7);
}

std::string repeatWords(int days) {
    if (days == kEveryDay) return "every day";
    if (days == kWeekdays) return "on weekdays";
    if (days == kWeekends) return "on weekends";
    static constexpr const char* kNames[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                             "Friday", "Saturday", "Sunday"};
    std::string words;
    int left = 0;
    for (int d = 0; d < 7; ++d) left += (days >> d) & 1;
    for (int d = 0; d < 7; ++d) {
        if (((days >> d) & 1) == 0) continue;
        if (!words.empty()) words += left == 1 ? " and " : ", ";
        words += kNames[d];
        --left;
    }
    return "on " + words;
}

std::optional<Instant> nextRepeatDue(Clock& clock, const Order& order, Instant from) {
    const WallTime start = localTime(clock, from).wallTime();
    const std::optional<DateTime> first = DateTime::make(
        start.year, start.month, start.day, order.repeatMinute / 60, order.repeatMinute % 60);
    if (!first) return std::nullopt;
    // A week and a day: the first day may be a matching day whose time has passed.
    for (int d = 0; d <= 7; ++d) {
        const std::optional<DateTime> at = first->plusSeconds(int64_t{86400} * d);
        if (!at) return std::nullopt;
        if (((order.repeatDays >> weekdayOf(*at)) & 1) == 0) continue;
        const Instant due = instantOf(clock, *at, Showing::first);
        if (!(due < from)) return due;
    }
    return std::nullopt;
}

}  // namespace tallowick
