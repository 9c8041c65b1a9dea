// SPDX-License-Identifier: GPL-3.0-or-later
#include "orders/clock_steps.h"

namespace tallowick {

void ClockSteps::follow(Clock& clock, OrderTable& table) {
    const Instant now = clock.now();
    if (last_ && now < *last_) {
        const int64_t back = now.secondsSince(*last_);
        for (int i = 1; i <= table.orderCount(); ++i) {
            Order& order = table.at(i);
            if (order.isMark() || order.forTimeOfDay()) continue;
            order.due = order.due.plusSecondsClamped(back);
        }
    }
    last_ = now;
}

}  // namespace tallowick
