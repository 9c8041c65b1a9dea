#include "clock/time_wording.h"

namespace tallowick {

int64_t secondsValue(const Order& order, Instant now) {
    const int64_t s = order.isMark() ? now.secondsSince(order.due) : order.due.secondsSince(now);
    return s < 0 ? 0 : s;
}

TimeWording wordSeconds(int64_t seconds) {
    struct Unit {
        int64_t seconds;
        const char* longWord;
        const char* shortWord;
    };
    static constexpr Unit kUnits[] = {
        {604800, " weeks ", " w "},
        {86400, " days ", " d "},
        {3600, " hours ", " h "},
        {60, " minutes ", " m "},
    };
    TimeWording wording;
    int64_t rest = seconds;
    for (const Unit& unit : kUnits) {
        const int64_t q = rest / unit.seconds;
        if (q > 0) {
            const std::string digits = std::to_string(q);
            wording.longText += digits + unit.longWord;
            wording.shortText += digits + unit.shortWord;
            rest -= q * unit.seconds;
        }
    }
    const std::string digits = std::to_string(rest);
    wording.longText += digits + " seconds";
    wording.shortText += digits + " s";
    return wording;
}

std::string tellmeorder(const OrderTable& table, int z, Clock& clock) {
    return wordSeconds(secondsValue(table.at(z), clock.now())).longText;
}

}  // namespace tallowick
