// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "orders/date_time.h"
#include "orders/order_table.h"
#include "ports/clock.h"

namespace tallowick {

// The days of a repeating alarm, one bit a day from Monday (1) to Sunday (64).
inline constexpr int kEveryDay = 127;
inline constexpr int kWeekdays = 31;
inline constexpr int kWeekends = 96;

// The day of the week of `date`, 0 for Monday to 6 for Sunday.
int weekdayOf(DateTime date);

// The repeat in words for replies: "every day", "on weekdays", "on weekends", or the days from
// Monday joined by commas and a final "and" ("on Monday, Wednesday and Friday").
std::string repeatWords(int days);

// The first instant from `from` on at which the wall clock shows the repeating alarm's time on
// one of its days. Where the wall clock shows that time twice it is the first showing, so that
// the alarm rings once; where it skips it, the instant it skips past it. Nothing past the
// calendar's end.
std::optional<Instant> nextRepeatDue(Clock& clock, const Order& order, Instant from);

}  // namespace tallowick
