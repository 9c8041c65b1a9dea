#include "orders/sleep_watch.h"

#include "orders/ringing.h"

namespace tallowick {

bool canRing(const Order& order) {
    return !order.isMark() && !order.isPeriodic() && order.sounding == 0;
}

std::optional<DateTime> nextRing(const OrderTable& table) {
    std::optional<DateTime> next;
    for (int i = 1; i <= table.orderCount(); ++i) {
        const Order& order = table.at(i);
        if (canRing(order) && (!next || order.due < *next)) next = order.due;
    }
    return next;
}

void SleepWatch::follow(const OrderTable& table) {
    const std::optional<DateTime> next = nextRing(table);
    timer_.wakeFor(next ? std::optional<WallTime>(next->wallTime()) : std::nullopt);
    inhibitor_.hold(!soundingNumbers(table).empty());
}

}  // namespace tallowick
