#pragma once

#include <string>

namespace tallowick {

// One running program per program directory and user: an exclusive lock on a file in the
// program's directory, which the system drops when the process ends however it ends, so a crash
// never leaves a stale lock. When that directory cannot hold the lock file, a file in the
// user's runtime directory named after the program directory stands in.
class InstanceLock {
  public:
    enum class Result { acquired, heldElsewhere, unavailable };

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock for `programDir`. `heldElsewhere` when another process holds it;
    // `unavailable` when no lock file could be opened at all (the program then runs unguarded).
    Result acquire(const std::string& programDir);

  private:
    int fd_ = -1;
};

}  // namespace tallowick
