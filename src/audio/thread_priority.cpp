// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/thread_priority.h"

#include <sys/resource.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace tallowick {

namespace {

constexpr const char* kRealtimeKit = "org.freedesktop.RealtimeKit1";
constexpr const char* kRealtimeKitPath = "/org/freedesktop/RealtimeKit1";
// SDL's own wish for its audio thread, and RealtimeKit's floor where it does not say its own.
constexpr int kWantedNice = -20;
constexpr std::int32_t kRealtimeKitDefaultFloor = -15;

}  // namespace

bool raiseThreadPriority(pid_t thread) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
    if (errno == 0 && nice < 0) return true;  // SDL raised it already
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return false;
    sd_bus_set_method_call_timeout(bus, 1'000'000);  // RealtimeKit may be started for it
    std::int32_t leastNice = kRealtimeKitDefaultFloor;
    sd_bus_get_property_trivial(bus, kRealtimeKit, kRealtimeKitPath, kRealtimeKit, "MinNiceLevel",
                                nullptr, 'i', &leastNice);
    const int r = sd_bus_call_method(
        bus, kRealtimeKit, kRealtimeKitPath, kRealtimeKit, "MakeThreadHighPriorityWithPID", nullptr,
        nullptr, "tti", static_cast<std::uint64_t>(::getpid()), static_cast<std::uint64_t>(thread),
        std::max<std::int32_t>(kWantedNice, leastNice));
    sd_bus_flush_close_unref(bus);
    return r >= 0;
}

}  // namespace tallowick
