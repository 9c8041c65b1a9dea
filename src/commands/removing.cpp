#include "commands/removing.h"

#include "commands/number.h"
#include "commands/text.h"

namespace tallowick {

// The panel only ever draws rows 1 to orderCount, so every command that shortens the table
// wipes it; the next tick draws the remaining rows in their new places.

void deleteAll(CommandContext& c) {
    c.table.removeAll();
    c.reply = "All alarms and marks deleted.";
    c.panel.clear();
    c.handled = 1;
}

void deleteOne(CommandContext& c) {
    c.handled = 1;
    const std::optional<OrderNumber> n = readOrderNumber(dropCharacters(c.entry, 6));
    if (!n) {
        c.handled = 0;
        return;
    }
    if (!n->inRange(c.table.orderCount())) {
        c.reply = "There is no order number " + n->text() + " to delete.";
        return;
    }
    c.reply = c.table.at(n->position()).isMark() ? "Mark deleted." : "Alarm deleted.";
    c.table.removeAt(n->position());
    c.panel.clear();
}

void stopSounding(CommandContext& c) {
    c.panel.clear();
    for (int i = 1; i <= c.table.orderCount();) {
        if (c.table.at(i).sounding == 1) {
            c.table.removeAt(i);
        } else {
            ++i;
        }
    }
    c.reply = "";
    c.handled = 1;
}

}  // namespace tallowick
