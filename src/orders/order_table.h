// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ports/clock.h"

namespace tallowick {

// The most characters a label holds.
inline constexpr int kMaxLabelCharacters = 100;

// One standing order: an alarm (one-shot or periodic) or a mark.
struct Order {
    std::string description;  // exactly "mark" for a mark; the alarm's words otherwise
    Instant due;              // alarm: when it next goes off; mark: when it was made
    int64_t period = 0;       // seconds between the chimes of a periodic alarm; 0 otherwise
    std::string soundFile;    // wave file played when the alarm goes off; empty for a mark
    int64_t sounding = 0;     // 1 once a one-shot alarm has gone off, until it is removed
    // A repeating clock-time alarm: its days (see orders/repeat.h) and its time of day in
    // minutes after midnight; 0 days for any other order.
    int repeatDays = 0;
    int repeatMinute = 0;
    std::string label{};  // what the user called the order; empty when unlabelled

    bool isMark() const { return description == "mark"; }
    bool isPeriodic() const { return period > 0; }
    bool isRepeating() const { return repeatDays != 0; }
    // An alarm set for a time of day ("at") stays at that time on the wall clock; any other was
    // set for a span of real time ("in", "every"). The words tell, as the settings file keeps them
    // and nothing else that would.
    bool forTimeOfDay() const { return description.starts_with("at"); }
    friend bool operator==(const Order&, const Order&) = default;
};

// The standing orders at positions 1 to orderCount(), in the order they were made. An order's
// number, as users hear and type it, is its position; removing one closes the gap.
class OrderTable {
  public:
    static constexpr int kCapacity = 50;

    int orderCount() const { return orderCount_; }
    bool full() const { return orderCount_ == kCapacity; }

    // The order at `position`, 1 to orderCount(). Out of range is a programming error.
    Order& at(int position);
    const Order& at(int position) const;

    // Adds `order` after the last one and returns its number; 0, changing nothing, when full.
    int append(Order order);
    // Removes the order at `position` (1 to orderCount()); later orders move down one place.
    void removeAt(int position);
    void removeAll() { orderCount_ = 0; }

    friend bool operator==(const OrderTable& a, const OrderTable& b);

  private:
    std::array<Order, kCapacity> orders_{};
    int orderCount_ = 0;
};

}  // namespace tallowick
