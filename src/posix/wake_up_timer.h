// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "ports/diagnostics.h"
#include "ports/sleep.h"

namespace tallowick {

// The wake-up timer of a Linux computer: a timerfd on CLOCK_REALTIME_ALARM with an absolute
// expiry, which the kernel lets only a process with CAP_WAKE_ALARM make. The program makes it
// itself where it may. Where that is refused (EPERM), the helper at `helperPath`
// (tallowick-wake, given that one capability when installed) keeps it instead, sent one line per
// change: the second since the epoch to wake at, or "none". Where neither works, says once on
// the diagnostics that alarms cannot wake this computer, and does nothing more. Nothing is made
// or started before the first wake-up is wanted.
class PosixWakeUpTimer final : public WakeUpTimer {
  public:
    PosixWakeUpTimer(std::string helperPath, Diagnostics& diagnostics)
        : helperPath_(std::move(helperPath)), diagnostics_(diagnostics) {}
    ~PosixWakeUpTimer() override;

    void wakeFor(std::optional<Instant> due) override;

  private:
    enum class Keeper { none, self, helper, nobody };
    void open();
    bool startHelper(std::string& problem);
    bool arm(int64_t second);
    void endHelper();

    std::string helperPath_;
    Diagnostics& diagnostics_;
    Keeper keeper_ = Keeper::none;
    int fd_ = -1;  // the timer, or the socket to the helper
    pid_t helper_ = -1;
    int64_t armed_ = 0;  // the second the timer is armed for; 0 while it is not
};

}  // namespace tallowick
