// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/time_wording.h"

#include <charconv>
#include <string_view>

namespace tallowick {

int64_t secondsValue(const Order& order, Instant now) {
    const int64_t s = order.isMark() ? now.secondsSince(order.due) : order.due.secondsSince(now);
    return s < 0 ? 0 : s;
}

TimeWording wordSeconds(int64_t seconds) {
    // Every row of the panel is worded every second: built in place, with no temporaries.
    TimeWording wording;
    wording.longText.reserve(64);
    int64_t rest = seconds;
    for (const TimeUnit& unit : kTimeUnits) {
        const int64_t q = rest / unit.seconds;
        if (q > 0 || unit.seconds == 1) {
            char digits[24];
            const std::string_view number(
                digits, std::to_chars(digits, digits + sizeof digits, q).ptr - digits);
            wording.longText.append(number).append(unit.plural);
            wording.shortText.append(number).append({' ', unit.letter, ' '});
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
