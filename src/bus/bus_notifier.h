// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>

#include <systemd/sd-bus.h>

#include "ports/diagnostics.h"
#include "ports/notifier.h"

namespace tallowick {

// Notices through org.freedesktop.Notifications on a bus connection that the caller owns and
// keeps alive. Every call is asynchronous: no server, or a slow one, never holds up the program;
// the first failure is told once on the diagnostics. `actionRequested` runs with the line
// "stop" or "snooze" when the user presses a notice's Stop or Snooze button, from within the
// connection's dispatching.
class BusNotifier final : public Notifier {
  public:
    BusNotifier(sd_bus* bus, Diagnostics& diagnostics,
                std::function<void(const char* line)> actionRequested);
    ~BusNotifier() override;

    void show(int key, const std::string& summary, const std::string& body) override;
    void withdraw(int key) override;

  private:
    static int onMatchInstalled(sd_bus_message* m, void* self, sd_bus_error* error);
    static int onNotifyReply(sd_bus_message* m, void* self, sd_bus_error* error);
    static int onActionInvoked(sd_bus_message* m, void* self, sd_bus_error* error);
    static int onClosed(sd_bus_message* m, void* self, sd_bus_error* error);
    static int onServerChanged(sd_bus_message* m, void* self, sd_bus_error* error);
    void close(unsigned id);
    void matchFailed(const std::string& reason);

    sd_bus* bus_;
    Diagnostics& diagnostics_;
    std::function<void(const char* line)> actionRequested_;
    sd_bus_slot* actionSlot_ = nullptr;
    sd_bus_slot* closedSlot_ = nullptr;
    sd_bus_slot* serverSlot_ = nullptr;
    std::deque<int> pending_;         // keys whose Notify awaits its reply, in call order
    std::set<int> withdrawnPending_;  // of those, the ones already withdrawn
    std::map<int, unsigned> shown_;   // key -> the server's notification id
    // key -> summary and body, of every notice shown and not withdrawn: shown again when
    // another server takes over, as its ids mean nothing to the new one.
    std::map<int, std::pair<std::string, std::string>> live_;
    bool failureTold_ = false;
    bool matchFailureTold_ = false;
};

}  // namespace tallowick
