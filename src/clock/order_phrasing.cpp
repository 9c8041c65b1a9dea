// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/order_phrasing.h"

#include "clock/time_wording.h"

namespace tallowick {

std::string phraseOrder(const OrderTable& table, int z, Clock& clock, OrderPhrasing phrasing) {
    const Order& order = table.at(z);
    const std::string number = std::to_string(z);
    const std::string wording = orderTimeInWords(table, z, clock);
    // A label follows the number, set off by commas: "Order 1, tea, will alarm in ...".
    const std::string label = order.label.empty() ? "" : ", " + order.label;
    if (phrasing == OrderPhrasing::listing) {
        const std::string named = number + (label.empty() ? "" : label + ",");
        if (order.isMark()) return "Mark " + named + " has been going " + wording + ".   ";
        if (order.sounding == 0) return "Order " + named + " will alarm in " + wording + ".   ";
        if (order.sounding == 1) return "Order " + named + " is currently sounding.   ";
        return "";
    }
    if (order.isMark()) return "Mark " + number + label + ", going " + wording;
    const std::string name = (order.isPeriodic() ? "Periodic alarm " + number + " every " +
                                                       wordSeconds(order.period).longText
                                                 : "Alarm " + number) +
                             label;
    if (order.sounding != 0) return name + ", ringing";
    return name + ", rings in " + wording;
}

}  // namespace tallowick
