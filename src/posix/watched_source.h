// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tallowick {

// Something besides typed input and the second ticker that a front-end's event loop watches:
// one file descriptor, the poll events it waits for, and a deadline. The loop calls dispatch()
// on the same thread as typed lines and ticks, never during one.
class WatchedSource {
  public:
    WatchedSource() = default;
    WatchedSource(const WatchedSource&) = delete;
    WatchedSource& operator=(const WatchedSource&) = delete;
    virtual ~WatchedSource() = default;

    // The descriptor to watch; -1 once there is nothing more to watch.
    virtual int fd() const = 0;
    // The poll() events to wait for now (POLLIN, POLLOUT).
    virtual short events() const = 0;
    // Milliseconds until dispatch() is due even without an event; -1 for no deadline.
    virtual int timeoutMs() const = 0;
    // Handles whatever is ready. False when the program is to end now, as after a typed "exit".
    virtual bool dispatch() = 0;
};

}  // namespace tallowick
