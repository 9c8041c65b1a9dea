#include "clock/clock_tick.h"

#include "clock/order_panel.h"
#include "clock/time_wording.h"

namespace tallowick {

void clockTick(OrderTable& table, Clock& clock, SoundPlayer& player, PanelCanvas& canvas) {
    const int count = table.orderCount();
    for (int i = 1; i <= count; ++i) {
        Order& order = table.at(i);
        const int64_t s = secondsValue(order, DateTime::fromWallTime(clock.now()));
        const TimeWording wording = wordSeconds(s);
        if (!order.isMark() && s == 0) {
            player.play(order.soundFile);
            order.sounding = 1;
            // Re-armed from a fresh reading, so a one-shot alarm is due again at once and a
            // periodic one a full period after the tick that rang it; missed periods are not
            // made up. A period that would run past the calendar's end holds at its last second.
            order.due = DateTime::fromWallTime(clock.now()).plusSecondsClamped(order.period);
            if (order.period > 0) order.sounding = 0;
        }
        OrderPanel::drawRow(canvas, i, order.isMark(), s, wording.shortText);
    }
}

}  // namespace tallowick
