// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/command_context.h"

namespace tallowick {

// "mark": a new mark, an order that records the present second.
void makeMark(CommandContext& c);
// "say marks": a listing sentence for every mark, in table order.
void sayMarks(CommandContext& c);
// "say mark" followed by an order number: the listing sentence of that mark.
void sayMark(CommandContext& c);
// "orders": a listing sentence for every order, in table order.
void listOrders(CommandContext& c);

}  // namespace tallowick
