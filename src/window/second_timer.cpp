#include "window/second_timer.h"

namespace tallowick {

SecondTimer::SecondTimer(QObject* parent) : QObject(parent) {
    fallback_.setInterval(1000);
    connect(&fallback_, &QTimer::timeout, this, &SecondTimer::timeout);
}

void SecondTimer::start() {
    if (ticker_.start()) {
        notifier_ = std::make_unique<QSocketNotifier>(ticker_.fd(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
            if (ticker_.due()) emit timeout();
        });
    } else {
        fallback_.start();
    }
}

}  // namespace tallowick
