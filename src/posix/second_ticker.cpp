// SPDX-License-Identifier: GPL-3.0-or-later
#include "posix/second_ticker.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include <sys/timerfd.h>
#include <unistd.h>

namespace tallowick {

SecondTicker::~SecondTicker() {
    close();
}

void SecondTicker::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool SecondTicker::start() {
    fd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ >= 0 && armForNextSecond()) return true;
    close();  // an unarmed timer would never wake the loop: it ticks on its own timer instead
    return false;
}

bool SecondTicker::armForNextSecond() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    itimerspec expiry{};
    expiry.it_value.tv_sec = now.tv_sec + 1;
    expiry.it_value.tv_nsec = 0;
    return ::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr) ==
           0;
}

bool SecondTicker::due() {
    uint64_t expirations = 0;
    const ssize_t n = ::read(fd_, &expirations, sizeof expirations);
    const int error = n < 0 ? errno : 0;
    if (n < 0 && error == EAGAIN) return false;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    rearm();
    return decide(n, error, wallSecond_ ? wallSecond_() : now.tv_sec);
}

void SecondTicker::rearm() {
    if (armForNextSecond()) return;
    const int error = errno;
    const itimerspec inOneSecond{{0, 0}, {1, 0}};
    const bool armed = ::timerfd_settime(fd_, 0, &inOneSecond, nullptr) == 0;
    if (!rearmFailureTold_) {
        rearmFailureTold_ = true;
        diagnostics_.report(std::string("the second timer cannot be set (") + std::strerror(error) +
                            "); ticking every 1000 ms");
    }
    if (!armed) close();
}

void SecondTicker::hurry() {
    itimerspec soon{};
    soon.it_value.tv_nsec = 1;
    if (fd_ >= 0) ::timerfd_settime(fd_, 0, &soon, nullptr);
}

bool SecondTicker::decide(ssize_t readBytes, int readError, int64_t second) {
    // ECANCELED: the clock was set (or the machine woke up and it jumped): tick at once.
    const bool expired = readBytes == sizeof(uint64_t) || (readBytes < 0 && readError == ECANCELED);
    if (!expired || second == lastTickSecond_) return false;
    lastTickSecond_ = second;
    return true;
}

}  // namespace tallowick
