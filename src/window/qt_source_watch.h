// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include "posix/watched_source.h"

namespace tallowick {

// Watches a WatchedSource from Qt's event loop: its descriptor with socket notifiers, its
// deadline with a single-shot timer. `ended` runs when dispatch() asks the program to end;
// `first`, when given, before every dispatch(), for work that must not wait behind the source's.
// The source must outlive the watch.
class QtSourceWatch final : public QObject {
  public:
    QtSourceWatch(WatchedSource& source, std::function<void()> ended,
                  std::function<void()> first = nullptr, QObject* parent = nullptr);
    // Looks again at what the source waits for; call after it queued output on its own.
    void rearm();

  private:
    void dispatch();

    WatchedSource& source_;
    std::function<void()> ended_;
    std::function<void()> first_;
    QSocketNotifier read_;
    QSocketNotifier write_;
    QTimer deadline_;
};

}  // namespace tallowick
