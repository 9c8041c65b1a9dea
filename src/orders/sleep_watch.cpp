// SPDX-License-Identifier: GPL-3.0-or-later
#include "orders/sleep_watch.h"

#include "orders/ringing.h"

namespace tallowick {

bool canRing(const Order& order) {
    return !order.isMark() && !order.isPeriodic() && order.sounding == 0;
}

std::optional<Instant> nextRing(const OrderTable& table) {
    std::optional<Instant> next;
    for (int i = 1; i <= table.orderCount(); ++i) {
        const Order& order = table.at(i);
        if (canRing(order) && (!next || order.due < *next)) next = order.due;
    }
    return next;
}

void SleepWatch::follow(const OrderTable& table) {
    timer_.wakeFor(nextRing(table));
    inhibitor_.hold(!soundingNumbers(table).empty());
}

}  // namespace tallowick
