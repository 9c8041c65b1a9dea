// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/late_alarms.h"

#include "orders/sleep_watch.h"

namespace tallowick {

std::vector<LateAlarm> lateAlarms(const OrderTable& table, Instant now) {
    std::vector<LateAlarm> late;
    for (int i = 1; i <= table.orderCount(); ++i) {
        const Order& order = table.at(i);
        if (canRing(order) && now.secondsSince(order.due) > kLateAfterSeconds) {
            late.push_back({i, order.due});
        }
    }
    return late;
}

std::string lateNotice(const LateAlarm& alarm, Clock& clock) {
    return "Order " + std::to_string(alarm.number) + " is late: it was due at " +
           clockTimeWords(localTime(clock, alarm.due).wallTime());
}

std::string clockTimeWords(const WallTime& time) {
    const int hour = time.hour % 12 == 0 ? 12 : time.hour % 12;
    const std::string minute = (time.minute < 10 ? "0" : "") + std::to_string(time.minute);
    return std::to_string(hour) + ":" + minute + (time.hour < 12 ? "am" : "pm");
}

}  // namespace tallowick
