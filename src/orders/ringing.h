// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "orders/order_table.h"
#include "orders/order_watcher.h"
#include "ports/notifier.h"

namespace tallowick {

// The numbers of the orders sounding in `table`, ascending.
std::vector<int> soundingNumbers(const OrderTable& table);

// The numbers in `table` of the orders that sound there and did not sound in `before`. An order
// keeps its identity (its words and period) when others are removed and it is renumbered.
std::vector<int> startedSounding(const OrderTable& before, const OrderTable& table);

// One notice per ringing: shown when an order starts sounding, withdrawn when it stops (by
// "stop", "delete", or the notice's own Stop action), never repeated while it rings.
class RingingNotices final : public OrderWatcher {
  public:
    explicit RingingNotices(Notifier& notifier) : notifier_(notifier) {}
    void ordersChanged(const OrderTable& previous, const OrderTable& table) override;

    // The text of the notice for order `number`: "Order 2 is ringing: in 5 minutes", and with a
    // label "Order 2, tea, is ringing: in 5 minutes".
    static std::string body(const OrderTable& table, int number);

  private:
    struct Shown {
        std::string description;
        int64_t period;
        int key;
    };
    Notifier& notifier_;
    std::vector<Shown> shown_;
    int nextKey_ = 1;
};

}  // namespace tallowick
