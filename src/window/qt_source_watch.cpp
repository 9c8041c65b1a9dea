// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/qt_source_watch.h"

#include <utility>

#include <poll.h>

namespace tallowick {

QtSourceWatch::QtSourceWatch(WatchedSource& source, std::function<void()> ended,
                             std::function<void()> first, QObject* parent)
    : QObject(parent),
      source_(source),
      ended_(std::move(ended)),
      first_(std::move(first)),
      read_(source.fd(), QSocketNotifier::Read),
      write_(source.fd(), QSocketNotifier::Write) {
    deadline_.setSingleShot(true);
    connect(&read_, &QSocketNotifier::activated, this, [this] { dispatch(); });
    connect(&write_, &QSocketNotifier::activated, this, [this] { dispatch(); });
    connect(&deadline_, &QTimer::timeout, this, [this] { dispatch(); });
    rearm();
}

void QtSourceWatch::rearm() {
    read_.setEnabled(source_.fd() >= 0);
    write_.setEnabled(source_.fd() >= 0 && (source_.events() & POLLOUT) != 0);
    const int ms = source_.timeoutMs();
    if (ms < 0) {
        deadline_.stop();
    } else {
        deadline_.start(ms);
    }
}

void QtSourceWatch::dispatch() {
    if (first_) first_();
    if (!source_.dispatch()) {
        read_.setEnabled(false);
        write_.setEnabled(false);
        deadline_.stop();
        ended_();
        return;
    }
    rearm();
}

}  // namespace tallowick
