// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include <systemd/sd-bus.h>

namespace tallowick {

// Where a running Tallowick answers on the session bus. One object, one interface; the
// interface is described in dbus/io.github.tallowick.Tallowick.xml.
inline constexpr const char* kBusPath = "/io/github/tallowick/Tallowick";
inline constexpr const char* kBusInterface = "io.github.tallowick.Tallowick";

// The well-known name of the Tallowick that keeps its files in `dataDir`. The installed copy
// with the default data directory takes the application ID itself; any other (a portable copy,
// an installed one given another XDG_DATA_HOME) adds ".d" and a hash of its data directory, so
// that a line always reaches the Tallowick of the same directory and two copies never meet.
std::string busName(const std::string& dataDir, bool defaultDataDir);

// Owns a connection to a bus: what is queued on it is sent, and it is closed and dropped, when
// the owner goes.
struct BusCloser {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using BusConnection = std::unique_ptr<sd_bus, BusCloser>;

// Connects to the user's session bus, and to nothing else: an address that is not a local
// socket (a TCP address, say) is refused. Null, with the reason in `error`, when there is no
// session bus or it cannot be reached; `error` stays empty when simply no session bus is set up.
BusConnection openSessionBus(std::string& error);

// Whether the bus credentials `creds` are of this process's own user.
bool isOwnUser(sd_bus_creds* creds);

// Replaces every byte that is not part of well-formed UTF-8 with U+FFFD, as the bus carries
// only UTF-8 strings.
std::string validUtf8(const std::string& text);

// Milliseconds until the connection `bus` wants processing even without an event on its
// descriptor, at most a minute; -1 for no deadline. For WatchedSource::timeoutMs().
int busTimeoutMs(sd_bus* bus);

}  // namespace tallowick
