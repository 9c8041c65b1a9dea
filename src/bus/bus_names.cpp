#include "bus/bus_names.h"
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

std::string busName(const std::string& dataDir, bool installed) {
    if (installed) return kAppId;
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

sd_bus* openSessionBus(std::string& error) {
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
    return bus;
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
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        size_t len = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            len = 1, cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, cp = c & 0x07;
        }
        bool ok = len > 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not well-formed either.
        static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (ok && (cp < kLeast[len] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)) ok = false;
        // NUL cannot travel in a bus string either.
        if (ok && cp == 0) ok = false;
        if (ok) {
            out.append(text, i, len);
            i += len;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
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
