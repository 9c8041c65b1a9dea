// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "orders/order_table.h"
#include "ports/clock.h"

namespace tallowick {

// The units of time, largest first, as typed ('w', "2 h 10 m"), spoken (" 1 hour ", " 2 hours ")
// and shown on the panel ("2 h"), and how many seconds each one is.
struct TimeUnit {
    char letter;
    const char* singular;
    const char* plural;
    int64_t seconds;
};
inline constexpr TimeUnit kTimeUnits[] = {
    {'w', " week ", " weeks ", 604800}, {'d', " day ", " days ", 86400},
    {'h', " hour ", " hours ", 3600},   {'m', " minute ", " minutes ", 60},
    {'s', " second ", " seconds ", 1},
};

// The seconds value of an order at `now`: the time left for an alarm, the time elapsed for a
// mark, never below 0.
int64_t secondsValue(const Order& order, Instant now);

// One number of seconds in the two wordings: long for speech ("1 hours 2 minutes 5 seconds"),
// short for the panel ("1 h 2 m 5 s"). Larger units of 0 are left out; the seconds never are.
struct TimeWording {
    std::string longText;
    std::string shortText;
};
TimeWording wordSeconds(int64_t seconds);

// The long wording of the seconds value of order `number` (1 to orderCount) at the clock's
// present second.
std::string orderTimeInWords(const OrderTable& table, int number, Clock& clock);

}  // namespace tallowick
