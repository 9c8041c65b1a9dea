// SPDX-License-Identifier: GPL-3.0-or-later
#include "bus/bus_names.h"
#include "commands/text.h"
#include "config/build_config.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include <systemd/sd-bus.h>
#include <unistd.h>

namespace tallowick {

std::string busName(const std::string& dataDir, bool defaultDataDir) {
    if (defaultDataDir) return kAppId;
    uint64_t hash = 14695981039346656037ULL;  // FNV-1a: stable across builds and machines
    for (const unsigned char ch : dataDir) {
        hash = (hash ^ ch) * 1099511628211ULL;
    }
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".d%016llx", static_cast<unsigned long long>(hash));
    return std::string(kAppId) + suffix;
}

namespace {

// Whether every address in a D-Bus address list is a local socket.
bool onlyLocalSockets(std::string_view addresses) {
    while (!addresses.empty()) {
        const size_t end = addresses.find(';');
        const std::string_view one = addresses.substr(0, end);
        if (!one.empty() && one.substr(0, 5) != "unix:") return false;
        if (end == std::string_view::npos) break;
        addresses.remove_prefix(end + 1);
    }
    return true;
}

}  // namespace

BusConnection openSessionBus(std::string& error) {
    error.clear();
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && !onlyLocalSockets(address)) {
        error = "the session bus address is not a local socket; it is not used";
        return nullptr;
    }
    sd_bus* bus = nullptr;
    const int r = sd_bus_open_user(&bus);
    if (r < 0) {
        // Without an address and without the runtime directory's socket there is simply no
        // session bus, as on a console or over ssh.
        if (address) error = std::string("cannot reach the session bus: ") + std::strerror(-r);
        return nullptr;
    }
    return BusConnection(bus);
}

bool isOwnUser(sd_bus_creds* creds) {
    uid_t uid = 0;
    // The effective user where the bus tells it, the real one otherwise (dbus-daemon).
    const bool known =
        sd_bus_creds_get_euid(creds, &uid) >= 0 || sd_bus_creds_get_uid(creds, &uid) >= 0;
    return known && uid == geteuid();
}

std::string validUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::string_view rest = text;
    while (!rest.empty()) {
        char32_t cp = 0;
        const size_t length = decodeUtf8(rest, cp);
        // NUL cannot travel in a bus string either.
        if (length == 0 || cp == 0) {
            out += "\xEF\xBF\xBD";
            rest.remove_prefix(1);
        } else {
            out.append(rest.substr(0, length));
            rest.remove_prefix(length);
        }
    }
    return out;
}

int busTimeoutMs(sd_bus* bus) {
    uint64_t until = 0;
    if (sd_bus_get_timeout(bus, &until) < 0 || until == UINT64_MAX) return -1;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t nowUs =
        static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
    if (until <= nowUs) return 0;
    const uint64_t ms = (until - nowUs + 999) / 1000;
    return ms > 60000 ? 60000 : static_cast<int>(ms);
}

}  // namespace tallowick
