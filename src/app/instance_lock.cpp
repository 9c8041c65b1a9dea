#include "app/instance_lock.h"

#include <cerrno>
#include <cstdlib>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tallowick {
namespace {

int openLockFile(const std::string& path) {
    // Close-on-exec, so the detached shutdown script never carries the lock along.
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

}  // namespace

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

InstanceLock::Result InstanceLock::acquire(const std::string& programDir) {
    const std::string uid = std::to_string(::getuid());
    fd_ = openLockFile(programDir + "/.tallowick-" + uid + ".lock");
    if (fd_ < 0) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const std::string base = runtime && *runtime ? runtime : "/tmp";
        const size_t hash = std::hash<std::string>{}(programDir);
        fd_ = openLockFile(base + "/tallowick-" + uid + "-" + std::to_string(hash) + ".lock");
    }
    if (fd_ < 0) return Result::unavailable;
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const bool held = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
        return held ? Result::heldElsewhere : Result::unavailable;
    }
    return Result::acquired;
}

}  // namespace tallowick
