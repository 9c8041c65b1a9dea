// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/listing.h"

#include "clock/order_phrasing.h"
#include "commands/number.h"
#include "commands/text.h"

namespace tallowick {
namespace {

// The sentence that a listing speaks for order `i`; empty for an order it says nothing of.
std::string orderSentence(CommandContext& c, int i) {
    return phraseOrder(c.table, i, c.clock, OrderPhrasing::listing);
}

// Speaks the sentence of order `i` when it is a mark; tells whether it was one.
bool speakMarkSentence(CommandContext& c, int i) {
    if (!c.table.at(i).isMark()) return false;
    c.speakListingSentence(orderSentence(c, i));
    return true;
}

}  // namespace

void makeMark(CommandContext& c) {
    if (c.table.full()) {
        c.reply = kNoRoomReply;
        return;
    }
    const int number = c.table.append(Order{"mark", c.now(), 0, "", 0});
    c.reply = "Mark number " + std::to_string(number) + " set";
}

void sayMarks(CommandContext& c) {
    c.listed = true;
    bool spoken = false;
    for (int i = 1; i <= c.table.orderCount(); ++i) spoken = speakMarkSentence(c, i) || spoken;
    c.reply = spoken ? "" : "There are no time marks";
}

void sayMark(CommandContext& c) {
    std::string_view rest = c.entry;
    if (firstCharacters(rest, 7) == "saymark") rest = dropCharacters(rest, 7);
    if (firstCharacters(rest, 8) == "say mark") rest = dropCharacters(rest, 8);
    const std::optional<OrderNumber> n = readOrderNumber(rest);
    if (!n) {
        c.accepted = false;
        return;
    }
    if (!n->inRange(c.table.orderCount())) {
        c.reply = "There is no mark number " + n->text();
        return;
    }
    c.listed = true;
    c.reply = speakMarkSentence(c, n->position()) ? "" : "There are no time marks";
}

void listOrders(CommandContext& c) {
    c.listed = true;
    bool listed = false;
    for (int i = 1; i <= c.table.orderCount(); ++i) {
        const std::string sentence = orderSentence(c, i);
        if (sentence.empty()) continue;
        c.speakListingSentence(sentence);
        listed = true;
    }
    c.reply = listed ? "" : "There are no standing orders";
}

}  // namespace tallowick
