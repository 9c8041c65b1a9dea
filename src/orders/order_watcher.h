// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "orders/order_table.h"

namespace tallowick {

// Isolates those who follow the orders from outside the program's logic: the session bus, the
// accessibility layer, the terminal's ringing line. Told only when the set of orders changes,
// never because time passed.
class OrderWatcher {
  public:
    OrderWatcher() = default;
    OrderWatcher(const OrderWatcher&) = delete;
    OrderWatcher& operator=(const OrderWatcher&) = delete;
    virtual ~OrderWatcher() = default;

    // Called at the end of a typed line or a tick after which an order was added, removed,
    // renumbered, changed, or started or stopped sounding. `table` is the table as it is now;
    // `previous` as it was before that line or tick.
    virtual void ordersChanged(const OrderTable& previous, const OrderTable& table) = 0;
};

}  // namespace tallowick
