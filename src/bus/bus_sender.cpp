// SPDX-License-Identifier: GPL-3.0-or-later
#include "bus/bus_sender.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include <systemd/sd-bus.h>
#include <unistd.h>

#include "bus/bus_names.h"
#include "commands/text.h"
#include "posix/posix_adapters.h"

namespace tallowick {
namespace {

constexpr auto kStartWait = std::chrono::seconds(5);
constexpr uint64_t kCallTimeoutUs = 10'000'000;
constexpr size_t kMaxPrinted = 64 * 1024;

// Appends the characters of `text` that a terminal only prints (no C0 or C1 control, so no
// escape sequence) to `out`, which never grows past kMaxPrinted bytes: a reply is another
// program's text. False once that limit is reached.
bool appendPrintable(std::string_view text, std::string& out) {
    while (!text.empty()) {
        char32_t cp = 0;
        const size_t length = decodeUtf8(text, cp);
        if (length != 0 && cp >= 0x20 && (cp < 0x7f || cp >= 0xa0)) {
            if (out.size() + length > kMaxPrinted) return false;
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return true;
}

enum class Owner { none, ours, stranger };

// Whether `name` has an owner on the bus, and whether it is this user.
Owner ownerOf(sd_bus* bus, const std::string& name) {
    sd_bus_creds* creds = nullptr;
    if (sd_bus_get_name_creds(bus, name.c_str(), SD_BUS_CREDS_UID | SD_BUS_CREDS_EUID, &creds) <
        0) {
        return Owner::none;
    }
    const bool ours = isOwnUser(creds);
    sd_bus_creds_unref(creds);
    return ours ? Owner::ours : Owner::stranger;
}

int failed(const std::string& why) {
    writeDiagnostic(why);
    return 1;
}

// Empty when the owner of `name` is a Tallowick of `dataDir`: its executable is `program`, or
// it says it keeps its files in `dataDir`. Otherwise who it is, for the user to look into.
std::string notTallowick(sd_bus* bus, const std::string& name, const std::string& dataDir,
                         const std::string& program) {
    sd_bus_creds* creds = nullptr;
    pid_t pid = 0;
    if (sd_bus_get_name_creds(bus, name.c_str(), SD_BUS_CREDS_PID, &creds) >= 0) {
        sd_bus_creds_get_pid(creds, &pid);
    }
    sd_bus_creds_unref(creds);
    char exe[PATH_MAX];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t length = pid > 0 ? readlink(link.c_str(), exe, sizeof exe - 1) : -1;
    const std::string holder = length > 0 ? std::string(exe, static_cast<size_t>(length)) : "";
    char resolved[PATH_MAX];
    if (!holder.empty() && realpath(program.c_str(), resolved) && holder == resolved) return "";
    char* claimed = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const bool same = sd_bus_get_property_string(bus, name.c_str(), kBusPath, kBusInterface,
                                                 "DataDirectory", &error, &claimed) >= 0 &&
                      dataDir == claimed;
    std::free(claimed);
    sd_bus_error_free(&error);
    if (same) return "";
    std::string who;
    appendPrintable(holder.empty() ? "an unknown program" : holder, who);
    return who + " (process " + std::to_string(pid) + ")";
}

}  // namespace

int sendLine(const std::string& dataDir, bool defaultDataDir, const std::string& line,
             const std::string& program, bool canStartWindow) {
    std::string error;
    const BusConnection connection = openSessionBus(error);
    sd_bus* const bus = connection.get();
    if (!bus) {
        return failed(error.empty() ? "no session bus to reach Tallowick through; start "
                                      "Tallowick and type the command there"
                                    : error);
    }

    sd_bus_set_method_call_timeout(bus, kCallTimeoutUs);
    const std::string name = busName(dataDir, defaultDataDir);
    Owner owner = ownerOf(bus, name);
    if (owner == Owner::none) {
        if (!canStartWindow) {
            return failed("Tallowick is not running for " + dataDir +
                          ", and without a display it cannot be started from here; start it "
                          "with 'tallowick --terminal' and type the command there");
        }
        if (!startDetached({program})) return failed("cannot start " + program);
        const auto deadline = std::chrono::steady_clock::now() + kStartWait;
        while ((owner = ownerOf(bus, name)) == Owner::none &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (owner == Owner::none) {
            return failed("Tallowick was started but did not answer within 5 seconds");
        }
    }
    if (owner == Owner::stranger) {
        return failed("the Tallowick on the session bus belongs to another user; not sent");
    }
    if (const std::string who = notTallowick(bus, name, dataDir, program); !who.empty()) {
        return failed("the name " + name + " on the session bus is held by " + who +
                      ", which is not Tallowick; not sent");
    }

    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error callError = SD_BUS_ERROR_NULL;
    int r =
        sd_bus_message_new_method_call(bus, &call, name.c_str(), kBusPath, kBusInterface, "Line");
    if (r >= 0) r = sd_bus_message_append_basic(call, 's', validUtf8(line).c_str());
    if (r >= 0) r = sd_bus_call(bus, call, kCallTimeoutUs, &callError, &reply);
    sd_bus_message_unref(call);
    if (r < 0) {
        const std::string why = sd_bus_error_is_set(&callError) && callError.message
                                    ? callError.message
                                    : std::strerror(-r);
        sd_bus_error_free(&callError);
        return failed("the command was not delivered: " + why);
    }
    std::string out;
    const char* text = nullptr;
    if (sd_bus_message_enter_container(reply, 'a', "s") >= 0) {
        while (sd_bus_message_read_basic(reply, 's', &text) > 0) {
            const size_t before = out.size();
            const bool room = appendPrintable(text, out);
            // Nothing said ("stop"): no empty line either.
            if (out.size() != before && out.size() < kMaxPrinted) out += '\n';
            if (!room) break;
        }
    }
    sd_bus_message_unref(reply);
    writeAll(STDOUT_FILENO, out);
    return 0;
}

}  // namespace tallowick
