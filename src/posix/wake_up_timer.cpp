// SPDX-License-Identifier: GPL-3.0-or-later
#include "posix/wake_up_timer.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tallowick {
namespace {

constexpr const char* kSeeManual = "; see WAKING UP in tallowick(1)";

}  // namespace

PosixWakeUpTimer::~PosixWakeUpTimer() {
    if (keeper_ == Keeper::helper) {
        endHelper();  // it ends when its input closes
    } else if (fd_ >= 0) {
        ::close(fd_);
    }
}

void PosixWakeUpTimer::wakeFor(std::optional<Instant> due) {
    // An alarm due within the lead, or past, wakes at once: never 0, which would disarm.
    int64_t second = 0;
    if (due) second = std::max<int64_t>(due->secondsSince1970() - kLeadSeconds, 1);
    if (second == armed_ || keeper_ == Keeper::nobody) return;
    if (keeper_ == Keeper::none) open();
    if (keeper_ == Keeper::nobody) return;
    if (arm(second)) {
        armed_ = second;
        return;
    }
    const std::string problem =
        keeper_ == Keeper::helper ? "its helper " + helperPath_ + " ended" : std::strerror(errno);
    if (keeper_ == Keeper::helper) endHelper();
    keeper_ = Keeper::nobody;
    diagnostics_.report("alarms can no longer wake this computer: " + problem + kSeeManual);
}

void PosixWakeUpTimer::open() {
    fd_ = ::timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
    if (fd_ >= 0) {
        keeper_ = Keeper::self;
        return;
    }
    const int error = errno;
    std::string problem = std::string("no wake-up timer (") + std::strerror(error) + ")";
    if (error == EPERM && startHelper(problem)) {
        keeper_ = Keeper::helper;
        return;
    }
    keeper_ = Keeper::nobody;
    diagnostics_.report("alarms cannot wake this computer: " + problem + kSeeManual);
}

bool PosixWakeUpTimer::startHelper(std::string& problem) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return false;
    // Its input and output on the socket, its complaints nowhere (they are told here), and an
    // empty environment: it needs nothing else.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string path = helperPath_;
    char* argv[] = {path.data(), nullptr};
    char* envp[] = {nullptr};
    const int r = ::posix_spawn(&helper_, path.c_str(), &actions, nullptr, argv, envp);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    fd_ = ends[0];
    if (r != 0) {
        helper_ = -1;
        endHelper();
        problem = "Tallowick may not set a wake-up timer, and its helper " + helperPath_ +
                  " cannot run (" + std::strerror(r) + ")";
        return false;
    }
    // It says "ready" once it holds its timer, and ends at once when it may not have one.
    char reply[8] = {};
    pollfd answer{fd_, POLLIN, 0};
    if (::poll(&answer, 1, 2000) == 1 && ::read(fd_, reply, sizeof reply) == 6 &&
        std::memcmp(reply, "ready\n", 6) == 0) {
        return true;
    }
    endHelper();
    problem = "neither Tallowick nor its helper " + helperPath_ +
              " may set a wake-up timer (CAP_WAKE_ALARM)";
    return false;
}

bool PosixWakeUpTimer::arm(int64_t second) {
    if (keeper_ == Keeper::helper) {
        const std::string line = second == 0 ? "none\n" : std::to_string(second) + "\n";
        return ::send(fd_, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT) ==
               static_cast<ssize_t>(line.size());
    }
    // No wake-up: the timer goes, as a disarmed alarm timer still shows its old expiry in
    // /proc, where a user may look for it.
    if (second == 0) {
        ::close(fd_);
        fd_ = -1;
        return true;
    }
    if (fd_ < 0) fd_ = ::timerfd_create(CLOCK_REALTIME_ALARM, TFD_CLOEXEC);
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(second);
    return fd_ >= 0 && ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &expiry, nullptr) == 0;
}

void PosixWakeUpTimer::endHelper() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (helper_ > 0) {
        ::kill(helper_, SIGTERM);  // in case it hangs; it ends on the closed input anyway
        ::waitpid(helper_, nullptr, 0);
    }
    helper_ = -1;
}

}  // namespace tallowick
