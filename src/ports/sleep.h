// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

#include "ports/clock.h"

namespace tallowick {

// Isolates the wake-up timer that brings a sleeping computer up for the next alarm. Never
// reports failure: a computer that cannot be woken is told once on the diagnostics.
class WakeUpTimer {
  public:
    // How long before an alarm's due second the computer is woken, so that it is up in time.
    static constexpr int kLeadSeconds = 60;

    WakeUpTimer() = default;
    WakeUpTimer(const WakeUpTimer&) = delete;
    WakeUpTimer& operator=(const WakeUpTimer&) = delete;
    virtual ~WakeUpTimer() = default;

    // Keeps the one timer armed for the alarm due at `due`, kLeadSeconds early; disarms it when
    // there is none.
    virtual void wakeFor(std::optional<Instant> due) = 0;
};

// Isolates the hold that keeps the computer from going to sleep while an alarm rings. Never
// reports failure: a computer that cannot be held awake is told once on the diagnostics.
class SleepInhibitor {
  public:
    SleepInhibitor() = default;
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;
    virtual ~SleepInhibitor() = default;

    // Holds off sleep while `ringing`, lets it go otherwise. Repeating a state changes nothing.
    virtual void hold(bool ringing) = 0;
};

}  // namespace tallowick
