// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/time_wording.h"

namespace tallowick {

int64_t secondsValue(const Order& order, Instant now) {
    const int64_t s = order.isMark() ? now.secondsSince(order.due) : order.due.secondsSince(now);
    return s < 0 ? 0 : s;
}

TimeWording wordSeconds(int64_t seconds) {
    TimeWording wording;
    int64_t rest = seconds;
    for (const TimeUnit& unit : kTimeUnits) {
        const int64_t q = rest / unit.seconds;
        if (q > 0 || unit.seconds == 1) {
            const std::string digits = std::to_string(q);
            wording.longText += digits + unit.plural;
            wording.shortText += digits + ' ' + unit.letter + ' ';
            rest -= q * unit.seconds;
        }
    }
    // Without the blank that would follow another unit.
    wording.longText.pop_back();
    wording.shortText.pop_back();
    return wording;
}

std::string orderTimeInWords(const OrderTable& table, int number, Clock& clock) {
    return wordSeconds(secondsValue(table.at(number), clock.now())).longText;
}

}  // namespace tallowick
