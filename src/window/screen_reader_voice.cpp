// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/screen_reader_voice.h"

#include "bus/bus_names.h"
#include "orders/ringing.h"

#include <QAccessible>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tallowick {

void ScreenReaderVoice::attach(MainWindow& window) {
    notice_ = window.addNotice();
    if (!pending_.isEmpty()) schedule();
}

void ScreenReaderVoice::ordersChanged(const OrderTable& previous, const OrderTable& table) {
    for (const int number : startedSounding(previous, table)) {
        const std::string& label = table.at(number).label;
        queue("Order " + std::to_string(number) + (label.empty() ? "" : ", " + label + ",") +
              " is ringing");
    }
}

void ScreenReaderVoice::say(const std::string& text) {
    pending_ = QString::fromStdString(text).simplified();
    if (!pending_.isEmpty()) schedule();  // an empty reply only silences: nothing to tell
}

void ScreenReaderVoice::queue(const std::string& text) {
    if (text.empty()) return;
    if (!pending_.isEmpty()) pending_ += QLatin1Char(' ');
    pending_ += QString::fromStdString(text).simplified();
    schedule();
}

void ScreenReaderVoice::schedule() {
    if (scheduled_ || notice_ == nullptr) return;
    scheduled_ = true;
    QTimer::singleShot(0, notice_.data(), [this] { present(); });
}

void ScreenReaderVoice::present() {
    scheduled_ = false;
    const QString text = pending_;
    pending_.clear();
    if (notice_ == nullptr || text.isEmpty()) return;
    notice_->setText(text);
    QAccessibleEvent shown(notice_->parentWidget(), QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

namespace {

// Whether one of this user's processes is Orca: started by hand, it does not always raise the
// accessibility bus's flag.
bool orcaRunning() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = entry.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
        struct stat owner {};
        if (::stat(entry.path().c_str(), &owner) != 0 || owner.st_uid != ::getuid()) continue;
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        if (std::getline(comm, name) && name == "orca") return true;
    }
    return false;
}

}  // namespace

bool ScreenReaderVoice::screenReaderRunning() {
    if (orcaRunning()) return true;
    std::string error;
    const BusConnection connection = openSessionBus(error);
    sd_bus* const bus = connection.get();
    if (bus == nullptr) return false;
    sd_bus_set_method_call_timeout(bus, 2'000'000);
    int enabled = 0;
    sd_bus_error reply = SD_BUS_ERROR_NULL;
    const int r =
        sd_bus_get_property_trivial(bus, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Status",
                                    "ScreenReaderEnabled", &reply, 'b', &enabled);
    sd_bus_error_free(&reply);
    return r >= 0 && enabled != 0;
}

}  // namespace tallowick
