#include "window/second_timer.h"

namespace tallowick {

SecondTimer::SecondTimer(Diagnostics& diagnostics, QObject* parent)
    : QObject(parent), ticker_(diagnostics) {
    fallback_.setInterval(1000);
    connect(&fallback_, &QTimer::timeout, this, &SecondTimer::timeout);
}

void SecondTimer::start() {
    active_ = true;
    if (!notifier_ && ticker_.start()) {
        notifier_ = std::make_unique<QSocketNotifier>(ticker_.fd(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
            const bool due = ticker_.due();
            if (ticker_.fd() < 0) {
                // The ticker gave up its timer: the plain one takes over.
                notifier_->setEnabled(false);
                notifier_.release()->deleteLater();
                if (active_) fallback_.start();
            }
            if (due && active_) emit timeout();
        });
    }
    if (notifier_) {
        notifier_->setEnabled(true);
    } else {
        fallback_.start();
    }
}

void SecondTimer::stop() {
    active_ = false;
    fallback_.stop();
}

}  // namespace tallowick
