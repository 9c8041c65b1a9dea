// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "posix/second_ticker.h"

namespace tallowick {

// The window's one-second timer: timeout() comes on every wall-clock second boundary, watched
// by Qt's event loop. Where the system has no timerfd, or the ticker gives its timer up, a plain
// 1000 ms timer stands in.
class SecondTimer final : public QObject {
    Q_OBJECT
  public:
    // A timer that cannot be re-armed is told on `diagnostics`, which must outlive this.
    SecondTimer(Diagnostics& diagnostics, QObject* parent);

    // Call once.
    void start();
    // The next timeout() comes at once (see SecondTicker::hurry).
    void hurry() { ticker_.hurry(); }
    // When a second has begun whose timeout() has not come yet, it comes now: the event loop
    // hands out what is ready in no set order, and an alarm must not wait behind other work.
    void catchUp();

  signals:
    void timeout();

  private:
    void onExpiry();

    SecondTicker ticker_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer fallback_;
};

}  // namespace tallowick
