// SPDX-License-Identifier: GPL-3.0-or-later
// tallowick-wake: keeps one wake-up timer armed for Tallowick where Tallowick may not set one
// itself. Installed with the one capability CAP_WAKE_ALARM, and keeps no other. Says "ready"
// once it holds the timer; then reads lines (see readWakeLine) and arms the timer for each, or
// lets it go at "none". Takes no arguments, reads no environment, never runs another program.
// Exits 0 when its input ends, 1 without a timer, 2 at an argument or a line it does not take.

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "wake/wake_line.h"

namespace {

// Drops every capability but CAP_WAKE_ALARM, for good, and the means to gain any.
bool keepOnlyWakeAlarm() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, sets) != 0) return false;
    __user_cap_data_struct& word = sets[CAP_TO_INDEX(CAP_WAKE_ALARM)];
    const __u32 kept = word.permitted & CAP_TO_MASK(CAP_WAKE_ALARM);
    for (__user_cap_data_struct& set : sets) set = {};
    word.permitted = word.effective = kept;
    return syscall(SYS_capset, &header, sets) == 0 && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0;
}

int refuse(const char* what, int status) {
    std::fprintf(stderr, "tallowick-wake: %s\n", what);
    return status;
}

}  // namespace

int main(int argc, char**) {
    if (argc > 1) return refuse("takes no arguments", 2);
    if (!keepOnlyWakeAlarm()) return refuse("cannot drop its other capabilities", 1);
    int timer = timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
    if (timer < 0) return refuse(std::strerror(errno), 1);
    if (write(STDOUT_FILENO, "ready\n", 6) != 6) return 1;
    char line[16];
    while (std::fgets(line, sizeof line, stdin)) {
        const std::size_t length = std::strlen(line);
        const auto second = length > 0 && line[length - 1] == '\n'
                                ? tallowick::readWakeLine({line, length - 1})
                                : std::nullopt;
        if (!second) return refuse("refused a line: not a second since the epoch, nor \"none\"", 2);
        // No wake-up: the timer goes, as a disarmed alarm timer still shows its old expiry.
        if (*second == 0) {
            if (timer >= 0) close(timer);
            timer = -1;
            continue;
        }
        itimerspec expiry{};
        expiry.it_value.tv_sec = static_cast<time_t>(*second);
        if (timer < 0) timer = timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
        if (timer < 0 || timerfd_settime(timer, TFD_TIMER_ABSTIME, &expiry, nullptr) != 0) {
            return refuse(std::strerror(errno), 1);
        }
    }
    return 0;
}
