#include "clock/order_phrasing.h"

#include "clock/time_wording.h"

namespace tallowick {

std::string phraseOrder(const OrderTable& table, int z, Clock& clock, OrderPhrasing phrasing) {
    const Order& order = table.at(z);
    const std::string number = std::to_string(z);
    const std::string wording = orderTimeInWords(table, z, clock);
    if (phrasing == OrderPhrasing::listing) {
        if (order.isMark()) return "Mark " + number + " has been going " + wording + ".   ";
        if (order.sounding == 0) return "Order " + number + " will alarm in " + wording + ".   ";
        if (order.sounding == 1) return "Order " + number + " is currently sounding.   ";
        return "";
    }
    if (order.isMark()) return "Mark " + number + ", going " + wording;
    const std::string name = order.isPeriodic() ? "Periodic alarm " + number + " every " +
                                                      wordSeconds(order.period).longText
                                                : "Alarm " + number;
    if (order.sounding != 0) return name + ", ringing";
    return name + ", rings in " + wording;
}

}  // namespace tallowick
