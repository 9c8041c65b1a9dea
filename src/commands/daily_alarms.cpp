// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/daily_alarms.h"

#include <optional>

#include "commands/duration_phrase.h"
#include "commands/number.h"
#include "commands/text.h"

namespace tallowick {

void snoozeAlarms(CommandContext& c) {
    const std::string_view typed = dropCharacters(c.entry, 6);
    const DurationPhrase phrase = DurationPhrase::split(typed.empty() ? " 10 m" : typed);
    const std::optional<Instant> due = phrase.valid() ? phrase.dueFrom(c.now()) : std::nullopt;
    if (!due) {
        c.accepted = false;
        return;
    }
    bool snoozed = false;
    for (int i = 1; i <= c.table.orderCount(); ++i) {
        Order& order = c.table.at(i);
        if (order.sounding != 1) continue;
        order.sounding = 0;
        order.due = *due;
        c.silenced.push_back(c.sounds.of(i));
        snoozed = true;
    }
    if (!snoozed) {
        c.reply = "Nothing is ringing";
        return;
    }
    c.reply = "Snoozed for " + phrase.echo("");
}

void labelOrder(CommandContext& c) {
    // The number and the label are read from the line as typed, so that the label keeps its
    // case; "label" and the digits of a number read the same in either case.
    std::string_view rest = c.typed.size() >= 5 ? c.typed.substr(5) : std::string_view();
    size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) start = rest.size();
    size_t end = rest.find(' ', start);
    if (end == std::string_view::npos) end = rest.size();
    const std::optional<OrderNumber> n = readOrderNumber(rest.substr(start, end - start));
    std::string_view text = rest.substr(end);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!n || characterCount(text) > kMaxLabelCharacters ||
        lowerCase(c.typed.substr(0, 5)) != "label") {
        c.accepted = false;
        return;
    }
    if (!n->inRange(c.table.orderCount())) {
        c.reply = "There is no order number " + n->text();
        return;
    }
    c.table.at(n->position()).label = std::string(text);
    c.reply = "Order " + n->text() +
              (text.empty() ? " has no label" : " is labelled " + std::string(text));
}

}  // namespace tallowick
