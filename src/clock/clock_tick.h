#pragma once

#include "orders/order_table.h"
#include "platform/clock.h"
#include "platform/panel_canvas.h"
#include "platform/sound_player.h"

namespace tallowick {

// The once-a-second tick. For each order in table order: works out its seconds value, makes an
// alarm that has reached 0 play its sound and re-arms it from the tick's own time (a one-shot
// alarm stays due and sounding until it is removed; a periodic one is due again one period
// later), and draws its row. Never speaks, never saves, never changes the order count.
void clockTick(OrderTable& table, Clock& clock, SoundPlayer& player, PanelCanvas& canvas);

}  // namespace tallowick
