// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "orders/order_table.h"
#include "ports/clock.h"

namespace tallowick {

// Where what is said of an order goes: a listing ("orders", "say marks") speaks it as a
// sentence, the accessible order list shows it as an item's name.
enum class OrderPhrasing { listing, item };

// What is said of order `z` (1 to orderCount) at the clock's present second.
// - listing: "Mark 3 has been going 7 seconds.   ", "Order 2 will alarm in 1 hours 5 seconds.   ",
//   "Order 4 is currently sounding.   ", or nothing for an order a listing says nothing of;
// - item: "Mark 3, going 7 seconds", "Alarm 2, rings in 1 hours 5 seconds", "Periodic alarm 1
//   every 5 minutes, rings in 3 minutes 2 seconds", "Alarm 4, ringing".
// A labelled order has its label after its number: "Order 2, tea, will alarm in 5 seconds.   ",
// "Alarm 2, tea, rings in 5 seconds".
std::string phraseOrder(const OrderTable& table, int z, Clock& clock, OrderPhrasing phrasing);

}  // namespace tallowick
