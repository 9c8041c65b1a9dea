// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "orders/order_table.h"
#include "orders/order_watcher.h"
#include "ports/sleep.h"

namespace tallowick {

// Whether `order` is an alarm that will ring at its due second: a one-shot alarm ("in", "at")
// not yet sounding. Marks never ring; periodic alarms are left out on purpose, so that a chime
// every few minutes never keeps a computer from sleeping.
bool canRing(const Order& order);

// The earliest due second of the orders that can ring, if any.
std::optional<Instant> nextRing(const OrderTable& table);

// Keeps the computer's sleep in step with the orders: the wake-up timer armed for the next
// alarm that can ring, and sleep held off while any order sounds.
class SleepWatch final : public OrderWatcher {
  public:
    SleepWatch(WakeUpTimer& timer, SleepInhibitor& inhibitor)
        : timer_(timer), inhibitor_(inhibitor) {}

    // Sets both for `table` as it is; the start calls it once the orders are loaded.
    void follow(const OrderTable& table);
    void ordersChanged(const OrderTable&, const OrderTable& table) override { follow(table); }

  private:
    WakeUpTimer& timer_;
    SleepInhibitor& inhibitor_;
};

}  // namespace tallowick
