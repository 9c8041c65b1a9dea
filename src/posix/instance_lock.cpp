// SPDX-License-Identifier: GPL-3.0-or-later
#include "posix/instance_lock.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallowick {

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

InstanceLock::Result InstanceLock::acquire(const std::string& dataDir) {
    const std::string path = dataDir + "/.tallowick.lock";
    // Read-only is enough for flock, so that every user who can read the file can take part in
    // the lock of a shared directory. Close-on-exec, so that the detached shutdown script never
    // carries the lock along.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd_ < 0) {
        problem_ = "cannot make the lock file " + path + " (" + std::strerror(errno) +
                   "); a second copy could run on the same orders";
        return Result::unavailable;
    }
    // Readable by the others whatever the umask, which only the file's owner can change.
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 0044) != 0044) {
        ::fchmod(fd_, 0644);
    }
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        ::close(fd_);
        fd_ = -1;
        if (error == EWOULDBLOCK) return Result::heldElsewhere;
        problem_ = "cannot lock " + path + " (" + std::strerror(error) +
                   "); a second copy could run on the same orders";
        return Result::unavailable;
    }
    return Result::acquired;
}

}  // namespace tallowick
