// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tallowick {

// One running program per data directory, whoever starts it: an exclusive lock on a file in the
// data directory, which the system drops when the process ends however it ends, so a crash
// never leaves a stale lock. There is no stand-in elsewhere (a fixed name in a shared directory
// could be taken first by another user).
class InstanceLock {
  public:
    enum class Result { acquired, heldElsewhere, unavailable };

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock for `dataDir`. `heldElsewhere` when another process holds it; `unavailable`
    // when the lock file cannot be made or locked (the program then runs unguarded), with
    // problem() telling why in one line for standard error.
    Result acquire(const std::string& dataDir);

    const std::string& problem() const { return problem_; }

  private:
    int fd_ = -1;
    std::string problem_;
};

}  // namespace tallowick
