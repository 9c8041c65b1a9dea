// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/clock_tick.h"

#include "clock/order_panel.h"
#include "clock/time_wording.h"

namespace tallowick {

TickSound clockTick(OrderTable& table, Clock& clock, SoundPlayer& player, PanelCanvas& canvas,
                    SoundKeys& keys) {
    TickSound sound;
    bool dueNext = false;
    const int count = table.orderCount();
    for (int i = 1; i <= count; ++i) {
        Order& order = table.at(i);
        // A one-shot alarm that sounds is due whatever its date says: a clock set back while it
        // rings (a time server's correction) would put it in the future again.
        const bool ringing = order.sounding != 0 && !order.isPeriodic() && !order.isMark();
        const int64_t s = ringing ? 0 : secondsValue(order, clock.now());
        const TimeWording wording = wordSeconds(s);
        if (!order.isMark() && s == 1) dueNext = true;
        if (!order.isMark() && s == 0) {
            const bool heard = player.play(keys.of(i), order.soundFile);
            if (heard) {
                sound.started = true;
            } else {
                sound.failed = true;
            }
            order.sounding = 1;
            // Re-armed from a fresh reading, so a one-shot alarm is due again at once and a
            // periodic one a full period after the tick that rang it; missed periods are not
            // made up. A periodic ring that could not be played is due again at once, so that
            // it is heard as soon as the sound is back. A period that would run past the
            // calendar's end holds at its last second.
            const int64_t period = heard ? order.period : 0;
            order.due = clock.now().plusSecondsClamped(period);
            if (order.period > 0) order.sounding = 0;
        }
        OrderPanel::drawRow(canvas, i, order.isMark(), s, wording.shortText);
    }
    if (dueNext) player.prepare();
    return sound;
}

}  // namespace tallowick
