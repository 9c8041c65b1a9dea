// SPDX-License-Identifier: GPL-3.0-or-later
#include "bus/logind_sleep.h"

#include <cstring>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "bus/bus_names.h"

namespace tallowick {
namespace {

constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

}  // namespace

LogindSleep::LogindSleep(Diagnostics& diagnostics, std::function<void()> resumed)
    : diagnostics_(diagnostics), resumed_(std::move(resumed)) {
    sd_bus* bus = nullptr;
    const int r = sd_bus_open_system(&bus);
    if (r < 0) {
        absence_ = std::string("no system bus (") + std::strerror(-r) + ")";
        return;
    }
    bus_.reset(bus);
    // Asynchronous, so that starting never waits on the bus.
    sd_bus_match_signal_async(bus_.get(), &sleepSlot_, kService, kPath, kManager, "PrepareForSleep",
                              onPrepareForSleep, nullptr, this);
}

LogindSleep::~LogindSleep() {
    release();
    sd_bus_slot_unref(inhibitCall_);
    sd_bus_slot_unref(sleepSlot_);
}

void LogindSleep::hold(bool ringing) {
    wanted_ = ringing;
    if (!ringing) {
        release();
        return;
    }
    if (lock_ >= 0 || inhibitCall_ != nullptr) return;
    if (!absence_.empty()) {
        unavailable(absence_);
        return;
    }
    const int r = sd_bus_call_method_async(bus_.get(), &inhibitCall_, kService, kPath, kManager,
                                           "Inhibit", onInhibited, this, "ssss", "sleep:idle",
                                           "Tallowick", "An alarm is ringing", "block");
    if (r < 0) {
        unavailable(std::string("logind cannot be asked (") + std::strerror(-r) + ")");
    } else if (queued) {
        queued();
    }
}

void LogindSleep::release() {
    if (lock_ >= 0) ::close(lock_);
    lock_ = -1;
}

void LogindSleep::unavailable(const std::string& why) {
    if (told_) return;
    told_ = true;
    diagnostics_.report("the computer may go to sleep while an alarm rings: " + why);
}

int LogindSleep::onInhibited(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<LogindSleep*>(userdata);
    self->inhibitCall_ = sd_bus_slot_unref(self->inhibitCall_);
    if (const sd_bus_error* e = sd_bus_message_get_error(m)) {
        self->unavailable(std::string("no logind (") + (e->message ? e->message : e->name) + ")");
        return 0;
    }
    int fd = -1;
    if (sd_bus_message_read(m, "h", &fd) < 0) return 0;
    // The message owns its descriptor: the lock is a copy of it, let go with the ringing.
    self->lock_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    if (!self->wanted_) self->release();  // it stopped ringing before logind answered
    return 0;
}

int LogindSleep::onPrepareForSleep(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<LogindSleep*>(userdata);
    int goingToSleep = 1;
    if (sd_bus_message_read(m, "b", &goingToSleep) >= 0 && !goingToSleep) self->resumed_();
    return 0;
}

int LogindSleep::fd() const {
    return bus_ ? sd_bus_get_fd(bus_.get()) : -1;
}

short LogindSleep::events() const {
    const int e = bus_ ? sd_bus_get_events(bus_.get()) : 0;
    return static_cast<short>(e < 0 ? 0 : e);
}

int LogindSleep::timeoutMs() const {
    return bus_ ? busTimeoutMs(bus_.get()) : -1;
}

bool LogindSleep::dispatch() {
    if (!bus_) return true;
    int r;
    while ((r = sd_bus_process(bus_.get(), nullptr)) > 0) {
    }
    // A system bus that went away is no longer watched, or every wait would end at once.
    if (r < 0 || !sd_bus_is_open(bus_.get())) {
        inhibitCall_ = sd_bus_slot_unref(inhibitCall_);
        sleepSlot_ = sd_bus_slot_unref(sleepSlot_);
        bus_.reset();
        absence_ = "the system bus went away";
    }
    return true;
}

}  // namespace tallowick
