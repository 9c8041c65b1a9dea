// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "orders/order_table.h"
#include "ports/clock.h"

namespace tallowick {

// Tells when the wall clock was set back between two readings (by a time server's correction,
// or by hand) and keeps every order to what it was set for: an alarm set for a span of real time
// keeps the time it had left, so a periodic one keeps its period; one set for a time of day keeps
// that time; a mark keeps the moment it was made. No time is taken to have passed between the
// two readings. A clock set forward cannot be told from a computer waking from sleep, so what
// came due meanwhile rings.
class ClockSteps {
  public:
    // Reads `clock`, and moves the dues in `table` when it reads earlier than the reading before.
    void follow(Clock& clock, OrderTable& table);

  private:
    std::optional<Instant> last_;
};

}  // namespace tallowick
