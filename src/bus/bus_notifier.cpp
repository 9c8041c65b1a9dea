// SPDX-License-Identifier: GPL-3.0-or-later
#include "bus/bus_notifier.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include <systemd/sd-bus.h>

#include "bus/bus_names.h"
#include "config/build_config.h"

namespace tallowick {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
// The actions' keys are the lines they stand for.
constexpr const char* kStopKey = "stop";
constexpr const char* kSnoozeKey = "snooze";

// Notification servers may read the body as markup.
std::string escaped(const std::string& text) {
    std::string out;
    for (const char ch : validUtf8(text)) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += ch;
        }
    }
    return out;
}

}  // namespace

BusNotifier::BusNotifier(sd_bus* bus, Diagnostics& diagnostics,
                         std::function<void(const char* line)> actionRequested)
    : bus_(bus), diagnostics_(diagnostics), actionRequested_(std::move(actionRequested)) {
    // Asynchronous, so that starting never waits on the bus. A match that fails leaves the
    // notices' Stop button doing nothing, which is told (once) rather than ending the connection.
    const int action =
        sd_bus_match_signal_async(bus_, &actionSlot_, kService, kPath, kService, "ActionInvoked",
                                  onActionInvoked, onMatchInstalled, this);
    const int closed =
        sd_bus_match_signal_async(bus_, &closedSlot_, kService, kPath, kService,
                                  "NotificationClosed", onClosed, onMatchInstalled, this);
    const int server = sd_bus_add_match_async(
        bus_, &serverSlot_,
        "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
        "interface='org.freedesktop.DBus',member='NameOwnerChanged',"
        "arg0='org.freedesktop.Notifications'",
        onServerChanged, onMatchInstalled, this);
    if (action < 0 || closed < 0 || server < 0) {
        matchFailed(std::strerror(-(action < 0 ? action : closed < 0 ? closed : server)));
    }
}

void BusNotifier::matchFailed(const std::string& reason) {
    if (matchFailureTold_) return;
    matchFailureTold_ = true;
    diagnostics_.report("the Stop button of desktop notifications will not work: " + reason);
}

int BusNotifier::onMatchInstalled(sd_bus_message* m, void* userdata, sd_bus_error*) {
    if (const sd_bus_error* e = sd_bus_message_get_error(m)) {
        static_cast<BusNotifier*>(userdata)->matchFailed(e->message ? e->message : e->name);
    }
    return 0;
}

BusNotifier::~BusNotifier() {
    sd_bus_slot_unref(actionSlot_);
    sd_bus_slot_unref(closedSlot_);
    sd_bus_slot_unref(serverSlot_);
}

void BusNotifier::show(int key, const std::string& summary, const std::string& body) {
    live_[key] = {summary, body};
    sd_bus_message* m = nullptr;
    int r = sd_bus_message_new_method_call(bus_, &m, kService, kPath, kService, "Notify");
    if (r >= 0) {
        r = sd_bus_message_append(m, "susssas", "Tallowick", 0u, kAppId, validUtf8(summary).c_str(),
                                  escaped(body).c_str(), 4, kStopKey, "Stop", kSnoozeKey, "Snooze");
    }
    // Critical: the server keeps it until it is withdrawn or the user closes it.
    if (r >= 0) {
        r = sd_bus_message_append(m, "a{sv}", 3, "urgency", "y", uint8_t{2}, "desktop-entry", "s",
                                  kAppId, "category", "s", "x-tallowick.alarm");
    }
    if (r >= 0) r = sd_bus_message_append(m, "i", 0);
    // Floating: the connection owns the pending call, and the reply comes back in order.
    if (r >= 0) r = sd_bus_call_async(bus_, nullptr, m, onNotifyReply, this, 0);
    sd_bus_message_unref(m);
    if (r >= 0) {
        pending_.push_back(key);
    } else if (!failureTold_) {
        failureTold_ = true;
        diagnostics_.report("a desktop notification could not be sent");
    }
}

void BusNotifier::withdraw(int key) {
    live_.erase(key);
    if (const auto it = shown_.find(key); it != shown_.end()) {
        close(it->second);
        shown_.erase(it);
        return;
    }
    for (const int waiting : pending_) {
        if (waiting == key) withdrawnPending_.insert(key);
    }
}

void BusNotifier::close(unsigned id) {
    // No reply is awaited: a notice the user already closed is no error worth telling.
    sd_bus_message* m = nullptr;
    if (sd_bus_message_new_method_call(bus_, &m, kService, kPath, kService, "CloseNotification") >=
            0 &&
        sd_bus_message_append(m, "u", id) >= 0 && sd_bus_message_set_expect_reply(m, 0) >= 0) {
        sd_bus_send(bus_, m, nullptr);
    }
    sd_bus_message_unref(m);
}

int BusNotifier::onNotifyReply(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<BusNotifier*>(userdata);
    if (self->pending_.empty()) return 0;
    const int key = self->pending_.front();
    self->pending_.pop_front();
    const bool withdrawn = self->withdrawnPending_.erase(key) > 0;
    if (const sd_bus_error* e = sd_bus_message_get_error(m)) {
        if (!self->failureTold_) {
            self->failureTold_ = true;
            self->diagnostics_.report(std::string("no desktop notifications: ") +
                                      (e->message ? e->message : e->name));
        }
        return 0;
    }
    uint32_t id = 0;
    if (sd_bus_message_read(m, "u", &id) < 0) return 0;
    if (withdrawn) {
        self->close(id);  // it stopped sounding before the server answered
    } else {
        self->shown_[key] = id;
    }
    return 0;
}

int BusNotifier::onActionInvoked(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<BusNotifier*>(userdata);
    uint32_t id = 0;
    const char* action = nullptr;
    if (sd_bus_message_read(m, "us", &id, &action) < 0) return 0;
    const std::string key(action);
    const char* line = key == kStopKey ? kStopKey : key == kSnoozeKey ? kSnoozeKey : nullptr;
    if (line == nullptr) return 0;
    // Only our own notices: the signal may be broadcast for every program's.
    bool ours = false;
    for (const auto& entry : self->shown_) ours = ours || entry.second == id;
    if (ours) self->actionRequested_(line);  // which withdraws the notice, changing shown_
    return 0;
}

int BusNotifier::onClosed(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<BusNotifier*>(userdata);
    uint32_t id = 0;
    if (sd_bus_message_read(m, "u", &id) < 0) return 0;
    for (auto it = self->shown_.begin(); it != self->shown_.end(); ++it) {
        if (it->second == id) {
            self->live_.erase(it->first);  // the user closed it: not shown again
            self->shown_.erase(it);
            break;
        }
    }
    return 0;
}

int BusNotifier::onServerChanged(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* self = static_cast<BusNotifier*>(userdata);
    const char* name = nullptr;
    const char* before = nullptr;
    const char* now = nullptr;
    if (sd_bus_message_read(m, "sss", &name, &before, &now) < 0) return 0;
    // The ids were the old server's: closing one now could close another program's notice.
    self->shown_.clear();
    if (*now == '\0') return 0;
    const auto live = self->live_;
    for (const auto& [key, texts] : live) {
        bool waiting = false;  // a Notify still on its way gets its id from whoever answers
        for (const int pending : self->pending_) waiting = waiting || pending == key;
        if (!waiting) self->show(key, texts.first, texts.second);
    }
    return 0;
}

}  // namespace tallowick
