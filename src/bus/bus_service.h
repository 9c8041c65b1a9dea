// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <systemd/sd-bus.h>

#include "bus/bus_names.h"
#include "bus/bus_notifier.h"
#include "bus/spoken_tap.h"
#include "commands/core.h"
#include "orders/order_watcher.h"
#include "orders/ringing.h"
#include "ports/diagnostics.h"
#include "posix/watched_source.h"

namespace tallowick {

// The running program on the session bus: the name busName(dataDir, defaultDataDir), the object
// kBusPath and the interface kBusInterface (dbus/io.github.tallowick.Tallowick.xml):
//   Line(s line) -> (as spoken)  handles the line as typed, returns the texts spoken for it
//   Spoken(s text)               every text the voice is given
//   SoundingChanged(ai numbers)  the numbers of the sounding orders, when they change
//   DataDirectory (s, read-only) where this Tallowick keeps settings.ini
// Callers of another user are refused. It also shows a desktop notice for every ringing.
// Everything happens in dispatch(), on the front-end's one thread.
class BusService final : public WatchedSource, private OrderWatcher {
  public:
    // Connects, registers the object and takes the name; watches `core` from then on and
    // follows the voice through `tap`. Null when there is no session bus (told on `diagnostics`
    // only when one is set up but fails); when another holds the name, also said on `tap`.
    // `core`, `tap` and `diagnostics` must outlive it.
    static std::unique_ptr<BusService> start(const std::string& dataDir, bool defaultDataDir,
                                             Core& core, SpokenTap& tap, Diagnostics& diagnostics,
                                             std::string& error);
    ~BusService() override;

    int fd() const override;
    short events() const override;
    int timeoutMs() const override;
    bool dispatch() override;

    // At most this many messages are handled per dispatch(); timeoutMs() is 0 while more wait.
    static constexpr int kMessagesPerWake = 16;

    // Called after the service queued messages outside dispatch() (a typed line changed the
    // orders), so that a loop that watches only for reading can look again.
    std::function<void()> queued;

  private:
    BusService(BusConnection bus, const std::string& dataDir, Core& core, SpokenTap& tap,
               Diagnostics& diagnostics);
    void ordersChanged(const OrderTable& previous, const OrderTable& table) override;
    void spoken(const std::string& text);
    static int onLine(sd_bus_message* m, void* self, sd_bus_error* error);
    static int getDataDirectory(sd_bus* bus, const char* path, const char* interface,
                                const char* property, sd_bus_message* reply, void* self,
                                sd_bus_error* error);

    // First of all members, so the connection closes after everything that uses it is gone.
    BusConnection bus_;
    std::string dataDir_;
    Core& core_;
    SpokenTap& tap_;
    BusNotifier notifier_;
    RingingNotices notices_;
    sd_bus_slot* objectSlot_ = nullptr;
    std::vector<int> sounding_;
    std::vector<std::string>* capture_ = nullptr;  // the texts of the line being handled
    bool exitRequested_ = false;
    bool lost_ = false;  // the bus went away: nothing more is watched
    bool more_ = false;  // dispatch() stopped with messages left
    Diagnostics& diagnostics_;
    WatcherSubscription watching_;
};

}  // namespace tallowick
