#pragma once

#include <cstdint>
#include <string>

#include "orders/order_table.h"
#include "ports/clock.h"

namespace tallowick {

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

// The long wording of order `z` (1 to orderCount) at the clock's present second.
std::string tellmeorder(const OrderTable& table, int z, Clock& clock);

}  // namespace tallowick
