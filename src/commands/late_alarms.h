// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orders/date_time.h"
#include "orders/order_table.h"
#include "ports/clock.h"

namespace tallowick {

// An alarm that a tick rings late, and the due second it missed.
struct LateAlarm {
    int number = 0;
    Instant due;
};

// An alarm that rings more than this many seconds after its due second is told to be late.
inline constexpr int64_t kLateAfterSeconds = 5;

// The orders that can ring and whose due second lies more than kLateAfterSeconds before `now`:
// the program was not running, was frozen, or the computer slept. Call before the tick.
std::vector<LateAlarm> lateAlarms(const OrderTable& table, Instant now);

// "Order 2 is late: it was due at 7:30am", on the local wall clock of `clock`.
std::string lateNotice(const LateAlarm& alarm, Clock& clock);

// A time of day as "at" takes it, to the minute: "7:30am", "12:05am", "11:59pm".
std::string clockTimeWords(const WallTime& time);

}  // namespace tallowick
