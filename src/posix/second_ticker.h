// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <cstdint>
#include <functional>
#include <utility>

#include "ports/diagnostics.h"

namespace tallowick {

// Wakes on every wall-clock second boundary, so that an alarm sounds as its due second begins
// and the panel never skips or doubles a second. A timerfd on the real-time clock with an
// absolute expiry at the next boundary, re-armed after every tick; when the clock is set or
// the machine resumes from suspend, the kernel cancels it, and the next tick comes at once.
// The event loop of either front-end watches fd() for reading; while fd() is -1 (no timer, or
// one that could not be re-armed) it ticks on a plain 1000 ms timer of its own instead.
class SecondTicker {
  public:
    // `wallSecond` tells the present wall-clock second; by default the system's real-time clock.
    // A timer that cannot be re-armed is told once on `diagnostics`, which must outlive this.
    explicit SecondTicker(Diagnostics& diagnostics, std::function<int64_t()> wallSecond = nullptr)
        : diagnostics_(diagnostics), wallSecond_(std::move(wallSecond)) {}
    SecondTicker(const SecondTicker&) = delete;
    SecondTicker& operator=(const SecondTicker&) = delete;
    ~SecondTicker();

    // Creates the timer, armed for the next second boundary. False (and fd() -1) when the
    // system has none.
    bool start();
    int fd() const { return fd_; }

    // Call when fd() is readable: consumes the expiry and re-arms for the boundary after the
    // present second. Returns true when a tick is due now; false for a spurious wake-up, or
    // when this wall-clock second has already had its tick. When the boundary cannot be set,
    // the timer is armed for 1000 ms from now and the boundary tried again at the next wake;
    // when that fails too, the timer is given up and fd() becomes -1.
    bool due();

    // Has the next tick come at once instead of at the next boundary, as after the computer
    // woke from sleep; still never twice in one wall-clock second.
    void hurry();

    // What due() decides from the result of reading the timer (`readBytes`, and `readError`
    // when it is negative) in wall-clock second `second`.
    bool decide(ssize_t readBytes, int readError, int64_t second);

  private:
    bool armForNextSecond();
    void rearm();
    void close();

    Diagnostics& diagnostics_;
    std::function<int64_t()> wallSecond_;
    int fd_ = -1;
    int64_t lastTickSecond_ = INT64_MIN;
    bool rearmFailureTold_ = false;
};

}  // namespace tallowick
