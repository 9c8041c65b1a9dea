// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "orders/order_table.h"
#include "ports/clock.h"
#include "ports/panel_canvas.h"
#include "ports/sound_player.h"

namespace tallowick {

// What a tick did with the sound.
struct TickSound {
    bool failed = false;   // an alarm was due and the audio output did not work
    bool started = false;  // the audio output took a sound
};

// The once-a-second tick. For each order in table order: works out its seconds value, makes an
// alarm that has reached 0 play its sound under the order's key in `keys` and re-arms it from
// the tick's own time (a one-shot alarm stays due and sounding until it is removed, whatever the
// wall clock does meanwhile; a periodic one is due again one period later, or at the next tick
// when its sound could not be played), and draws its row. Has the player ready when an alarm is
// due at the next tick. Never speaks, never saves, never changes the order count.
TickSound clockTick(OrderTable& table, Clock& clock, SoundPlayer& player, PanelCanvas& canvas,
                    SoundKeys& keys);

}  // namespace tallowick
