#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "posix/second_ticker.h"

namespace tallowick {

// The window's one-second timer: timeout() comes on every wall-clock second boundary, watched
// by Qt's event loop. Where the system has no timerfd, a plain 1000 ms timer stands in.
class SecondTimer final : public QObject {
    Q_OBJECT
  public:
    explicit SecondTimer(QObject* parent);

    // Call once.
    void start();

  signals:
    void timeout();

  private:
    SecondTicker ticker_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer fallback_;
};

}  // namespace tallowick
