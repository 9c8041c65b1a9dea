// SPDX-License-Identifier: GPL-3.0-or-later
#include "bus/bus_service.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include <systemd/sd-bus.h>
#include <unistd.h>

#include "bus/bus_names.h"

namespace tallowick {

std::unique_ptr<BusService> BusService::start(const std::string& dataDir, bool defaultDataDir,
                                              Core& core, SpokenTap& tap, Diagnostics& diagnostics,
                                              std::string& error) {
    BusConnection connection = openSessionBus(error);
    if (!connection) return nullptr;
    sd_bus* const bus = connection.get();
    std::unique_ptr<BusService> service(
        new BusService(std::move(connection), dataDir, core, tap, diagnostics));
    static const sd_bus_vtable table[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD_WITH_NAMES("Line", "s", SD_BUS_PARAM(line), "as", SD_BUS_PARAM(spoken),
                                 onLine, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_SIGNAL_WITH_NAMES("Spoken", "s", SD_BUS_PARAM(text), 0),
        SD_BUS_SIGNAL_WITH_NAMES("SoundingChanged", "ai", SD_BUS_PARAM(numbers), 0),
        SD_BUS_PROPERTY("DataDirectory", "s", getDataDirectory, 0, SD_BUS_VTABLE_PROPERTY_CONST),
        SD_BUS_VTABLE_END,
    };
    int r = sd_bus_add_object_vtable(bus, &service->objectSlot_, kBusPath, kBusInterface, table,
                                     service.get());
    // The object is there before the name, so whoever sees the name can call it at once.
    const std::string name = busName(dataDir, defaultDataDir);
    if (r >= 0) r = sd_bus_request_name(bus, name.c_str(), 0);
    if (r < 0) {
        error = "cannot take the name " + name + " on the session bus: " + std::strerror(-r);
        // Nothing from shortcuts reaches this copy now, nor does it show notices: a user who
        // does not read standard error must hear why.
        tap.queue(
            "Tallowick cannot take its name on the session bus; commands from other "
            "programs and desktop notices are off.");
        return nullptr;
    }
    tap.listener = [s = service.get()](const std::string& text) { s->spoken(text); };
    return service;
}

BusService::BusService(BusConnection bus, const std::string& dataDir, Core& core, SpokenTap& tap,
                       Diagnostics& diagnostics)
    : bus_(std::move(bus)),
      dataDir_(dataDir),
      core_(core),
      tap_(tap),
      notifier_(bus_.get(), diagnostics,
                [this](const char* line) {
                    if (core_.line(line) == Core::LineResult::exit) exitRequested_ = true;
                }),
      notices_(notifier_),
      sounding_(soundingNumbers(core.table())),
      diagnostics_(diagnostics),
      watching_(core.addWatcher(*this)) {}

BusService::~BusService() {
    tap_.listener = nullptr;
    sd_bus_slot_unref(objectSlot_);
}

int BusService::fd() const {
    return lost_ ? -1 : sd_bus_get_fd(bus_.get());
}

short BusService::events() const {
    const int e = lost_ ? 0 : sd_bus_get_events(bus_.get());
    return static_cast<short>(e < 0 ? 0 : e);
}

int BusService::timeoutMs() const {
    if (lost_) return -1;
    return more_ ? 0 : busTimeoutMs(bus_.get());
}

bool BusService::dispatch() {
    if (lost_) return true;
    // A few messages per wake, and the loop comes back at once for the rest: busy callers never
    // hold off a tick (or a typed line) for longer than these take.
    int r = 0;
    int handled = 0;
    while (handled < kMessagesPerWake && !exitRequested_ &&
           (r = sd_bus_process(bus_.get(), nullptr)) > 0) {
        ++handled;
    }
    more_ = r > 0;
    if (exitRequested_) {
        sd_bus_flush(bus_.get());  // the reply to "exit" goes out before the program ends
        return false;
    }
    // A bus that went away leaves the program running as before, only unreachable; its hung-up
    // socket is no longer watched, or every wait would end at once.
    if (r < 0 || !sd_bus_is_open(bus_.get())) {
        lost_ = true;
        diagnostics_.report(
            "the session bus went away; commands from other "
            "programs are off until Tallowick is started again");
    }
    return true;
}

void BusService::spoken(const std::string& text) {
    if (capture_) capture_->push_back(text);
    sd_bus_emit_signal(bus_.get(), kBusPath, kBusInterface, "Spoken", "s", validUtf8(text).c_str());
}

void BusService::ordersChanged(const OrderTable& previous, const OrderTable& table) {
    if (lost_) return;
    std::vector<int> now = soundingNumbers(table);
    if (now != sounding_) {
        sounding_ = std::move(now);
        sd_bus_message* m = nullptr;
        if (sd_bus_message_new_signal(bus_.get(), &m, kBusPath, kBusInterface, "SoundingChanged") >=
                0 &&
            sd_bus_message_append_array(m, 'i', sounding_.data(), sounding_.size() * sizeof(int)) >=
                0) {
            sd_bus_send(bus_.get(), m, nullptr);
        }
        sd_bus_message_unref(m);
    }
    notices_.ordersChanged(previous, table);
    if (queued) queued();
}

int BusService::onLine(sd_bus_message* m, void* userdata, sd_bus_error* error) {
    auto* self = static_cast<BusService*>(userdata);
    // The session bus is the user's own already; a caller of another user is refused anyway.
    sd_bus_creds* creds = nullptr;
    const bool sameUser =
        sd_bus_query_sender_creds(m, SD_BUS_CREDS_UID | SD_BUS_CREDS_EUID, &creds) >= 0 &&
        isOwnUser(creds);
    sd_bus_creds_unref(creds);
    if (!sameUser) {
        return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED,
                                "Tallowick takes lines only from its own user");
    }
    const char* text = nullptr;
    if (sd_bus_message_read(m, "s", &text) < 0) {
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "Line takes one string");
    }
    std::vector<std::string> spoken;
    self->capture_ = &spoken;
    const Core::LineResult result = self->core_.line(text);
    self->capture_ = nullptr;
    if (result == Core::LineResult::exit) self->exitRequested_ = true;

    sd_bus_message* reply = nullptr;
    int s = sd_bus_message_new_method_return(m, &reply);
    if (s >= 0) s = sd_bus_message_open_container(reply, 'a', "s");
    for (const std::string& line : spoken) {
        if (s >= 0) s = sd_bus_message_append_basic(reply, 's', validUtf8(line).c_str());
    }
    if (s >= 0) s = sd_bus_message_close_container(reply);
    if (s >= 0) s = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return s < 0 ? s : 1;
}

int BusService::getDataDirectory(sd_bus*, const char*, const char*, const char*,
                                 sd_bus_message* reply, void* userdata, sd_bus_error*) {
    return sd_bus_message_append(reply, "s",
                                 validUtf8(static_cast<BusService*>(userdata)->dataDir_).c_str());
}

}  // namespace tallowick
