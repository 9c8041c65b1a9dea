// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/alarm_sound.h"

#include <cmath>

#include "commands/number.h"
#include "commands/text.h"

namespace tallowick {

void setAlarmSound(CommandContext& c) {
    std::string_view rest = dropCharacters(c.entry, 5);
    // The order number is read from the first two characters, but only the first is used up,
    // so "alarm12 is bell" addresses order 12 and "alarm 12 is bell" order 1.
    double n = 0;
    if (const std::optional<double> two = readNumber(firstCharacters(rest, 2))) {
        n = std::floor(*two);
        rest = dropCharacters(rest, 1);
    }
    if (n == 0 && !rest.empty() && rest.front() >= '0' && rest.front() <= '9') {
        n = rest.front() - '0';
        rest = dropCharacters(rest, 1);
    }
    if (n == 0) {
        c.accepted = false;
        return;
    }
    const OrderNumber number{n};
    if (!number.inRange(c.table.orderCount())) {
        c.reply = "There is no order number " + number.text() + " to set.";
        return;
    }
    // The first "is" with at least one character after it, even inside a word.
    size_t at = std::string_view::npos;
    for (size_t p = 0; p + 2 < rest.size(); ++p) {
        if (rest[p] == 'i' && rest[p + 1] == 's') {
            at = p;
            break;
        }
    }
    if (at == std::string_view::npos) {
        c.accepted = false;
        return;
    }
    std::string fileName(rest.substr(at + 2));
    if (lastCharacters(fileName, 4) != ".wav") fileName += ".wav";
    c.table.at(number.position()).soundFile = fileName;
    c.reply = "Alarm " + number.text() + ", set to " + fileName;
}

}  // namespace tallowick
