// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/second_timer.h"

#include <poll.h>

namespace tallowick {

SecondTimer::SecondTimer(Diagnostics& diagnostics, QObject* parent)
    : QObject(parent), ticker_(diagnostics) {
    fallback_.setInterval(1000);
    connect(&fallback_, &QTimer::timeout, this, &SecondTimer::timeout);
}

void SecondTimer::start() {
    if (ticker_.start()) {
        notifier_ = std::make_unique<QSocketNotifier>(ticker_.fd(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &SecondTimer::onExpiry);
    } else {
        fallback_.start();
    }
}

void SecondTimer::catchUp() {
    if (!notifier_) return;
    pollfd expiry{ticker_.fd(), POLLIN, 0};
    if (::poll(&expiry, 1, 0) == 1) onExpiry();
}

void SecondTimer::onExpiry() {
    const bool due = ticker_.due();
    if (ticker_.fd() < 0) {
        // The ticker gave up its timer: the plain one takes over.
        notifier_->setEnabled(false);
        notifier_.release()->deleteLater();
        fallback_.start();
    }
    if (due) emit timeout();
}

}  // namespace tallowick
