// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

#include <systemd/sd-bus.h>

#include "bus/bus_names.h"
#include "ports/diagnostics.h"
#include "ports/sleep.h"
#include "posix/watched_source.h"

namespace tallowick {

// The computer's sleep as systemd-logind manages it, on the system bus: a "sleep:idle"
// inhibitor lock held while an alarm rings, and `resumed` called when the computer has woken
// (PrepareForSleep(false)), from within dispatch(). Every call is asynchronous. Without a
// system bus or without logind, nothing changes but one line on the diagnostics, the first time
// the lock is wanted.
class LogindSleep final : public WatchedSource, public SleepInhibitor {
  public:
    LogindSleep(Diagnostics& diagnostics, std::function<void()> resumed);
    ~LogindSleep() override;

    void hold(bool ringing) override;

    int fd() const override;
    short events() const override;
    int timeoutMs() const override;
    bool dispatch() override;

    // Called after hold() queued a call, so that a loop that watches only for reading can look
    // again.
    std::function<void()> queued;

  private:
    static int onPrepareForSleep(sd_bus_message* m, void* self, sd_bus_error* error);
    static int onInhibited(sd_bus_message* m, void* self, sd_bus_error* error);
    void unavailable(const std::string& why);
    void release();

    Diagnostics& diagnostics_;
    std::function<void()> resumed_;
    BusConnection bus_;  // first of the bus members, so it closes after the slots
    sd_bus_slot* sleepSlot_ = nullptr;
    sd_bus_slot* inhibitCall_ = nullptr;  // the Inhibit call awaiting its reply
    int lock_ = -1;                       // the inhibitor: closing it lets sleep go
    bool wanted_ = false;
    std::string absence_;  // why there is no logind to ask, once known
    bool told_ = false;
};

}  // namespace tallowick
