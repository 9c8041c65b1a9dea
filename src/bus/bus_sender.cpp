#include "bus/bus_sender.h"

#include <chrono>
#include <cstring>
#include <thread>

#include <systemd/sd-bus.h>
#include <unistd.h>

#include "bus/bus_names.h"
#include "posix/posix_adapters.h"

namespace tallowick {
namespace {

constexpr auto kStartWait = std::chrono::seconds(5);
constexpr uint64_t kCallTimeoutUs = 10'000'000;

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

}  // namespace

int sendLine(const std::string& dataDir, bool installed, const std::string& line,
             const std::string& program, bool canStartWindow) {
    std::string error;
    const BusConnection connection = openSessionBus(error);
    sd_bus* const bus = connection.get();
    if (!bus) {
        return failed(error.empty() ? "no session bus to reach Tallowick through; start "
                                      "Tallowick and type the command there"
                                    : error);
    }

    const std::string name = busName(dataDir, installed);
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
            if (*text == '\0') continue;  // nothing said ("stop"): no empty line either
            out += text;
            out += '\n';
        }
    }
    sd_bus_message_unref(reply);
    writeAll(STDOUT_FILENO, out);
    return 0;
}

}  // namespace tallowick
