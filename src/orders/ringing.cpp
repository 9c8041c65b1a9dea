// SPDX-License-Identifier: GPL-3.0-or-later
#include "orders/ringing.h"

namespace tallowick {

std::vector<int> soundingNumbers(const OrderTable& table) {
    std::vector<int> numbers;
    for (int i = 1; i <= table.orderCount(); ++i) {
        if (table.at(i).sounding != 0) numbers.push_back(i);
    }
    return numbers;
}

std::vector<int> startedSounding(const OrderTable& before, const OrderTable& table) {
    // Each sounding order of `before` accounts for one sounding order of `table` with the same
    // words and period, so two alike alarms count as two.
    std::vector<bool> used(static_cast<size_t>(before.orderCount()) + 1, false);
    std::vector<int> started;
    for (int i : soundingNumbers(table)) {
        const Order& now = table.at(i);
        bool found = false;
        for (int j : soundingNumbers(before)) {
            const Order& was = before.at(j);
            if (!used[static_cast<size_t>(j)] && was.description == now.description &&
                was.period == now.period) {
                used[static_cast<size_t>(j)] = found = true;
                break;
            }
        }
        if (!found) started.push_back(i);
    }
    return started;
}

std::string RingingNotices::body(const OrderTable& table, int number) {
    // The words as they read, without the padding the order's spoken form keeps.
    std::string words;
    for (const char ch : table.at(number).description) {
        if (ch != ' ') {
            words += ch;
        } else if (!words.empty() && words.back() != ' ') {
            words += ' ';
        }
    }
    if (!words.empty() && words.back() == ' ') words.pop_back();
    const std::string& label = table.at(number).label;
    return "Order " + std::to_string(number) + (label.empty() ? "" : ", " + label + ",") +
           " is ringing: " + words;
}

void RingingNotices::ordersChanged(const OrderTable& previous, const OrderTable& table) {
    for (int i : startedSounding(table, previous)) {  // stopped: sounding before, not now
        const Order& gone = previous.at(i);
        for (auto it = shown_.begin(); it != shown_.end(); ++it) {
            if (it->description == gone.description && it->period == gone.period) {
                notifier_.withdraw(it->key);
                shown_.erase(it);
                break;
            }
        }
    }
    for (int i : startedSounding(previous, table)) {
        const int key = nextKey_++;
        shown_.push_back({table.at(i).description, table.at(i).period, key});
        notifier_.show(key, "Tallowick: alarm", body(table, i));
    }
}

}  // namespace tallowick
