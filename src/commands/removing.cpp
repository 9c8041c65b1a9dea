// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/removing.h"

#include "commands/number.h"
#include "commands/text.h"
#include "orders/repeat.h"

namespace tallowick {

// The panel only ever draws rows 1 to orderCount, so every command that shortens the table
// wipes it; the next tick draws the remaining rows in their new places.

namespace {

// Removes order `position`; its sound stops with it.
void removeOrder(CommandContext& c, int position) {
    c.table.removeAt(position);
    if (const int key = c.sounds.remove(position)) c.silenced.push_back(key);
}

}  // namespace

void deleteAll(CommandContext& c) {
    c.table.removeAll();
    c.silenceAll = c.sounds.clear();
    c.reply = "All alarms and marks deleted.";
    c.panel.clear();
}

void deleteOne(CommandContext& c) {
    const std::optional<OrderNumber> n = readOrderNumber(dropCharacters(c.entry, 6));
    if (!n) {
        c.accepted = false;
        return;
    }
    if (!n->inRange(c.table.orderCount())) {
        c.reply = "There is no order number " + n->text() + " to delete.";
        return;
    }
    c.reply = c.table.at(n->position()).isMark() ? "Mark deleted." : "Alarm deleted.";
    removeOrder(c, n->position());
    c.panel.clear();
}

void stopSounding(CommandContext& c) {
    // "stop" is what a user types at a ringing alarm: whatever rings falls silent, even a
    // periodic alarm's ring, though that order stays.
    c.silenceAll = c.sounds.clear();
    c.panel.clear();
    for (int i = 1; i <= c.table.orderCount();) {
        Order& order = c.table.at(i);
        // A repeating alarm goes on to its next day; where there is none it goes.
        const std::optional<Instant> next =
            order.sounding == 1 && order.isRepeating()
                ? nextRepeatDue(c.clock, order, c.now().plusSecondsClamped(1))
                : std::nullopt;
        if (next) {
            order.sounding = 0;
            order.due = *next;
            ++i;
        } else if (order.sounding == 1) {
            removeOrder(c, i);
        } else {
            ++i;
        }
    }
    c.reply = "";
}

}  // namespace tallowick
