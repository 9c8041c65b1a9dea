#include "app/instance_lock.h"

#include <filesystem>
#include <optional>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tallowick {
namespace {

namespace fs = std::filesystem;
using Result = InstanceLock::Result;

// What acquire() gives in a child process, as another user when `uid` is set.
Result acquireInChild(const std::string& dir, std::optional<uid_t> uid) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (uid && (::setgid(*uid) != 0 || ::setuid(*uid) != 0)) ::_exit(9);
        InstanceLock lock;
        ::_exit(static_cast<int>(lock.acquire(dir)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<Result>(WEXITSTATUS(status));
}

// The lock belongs to the directory: whoever starts second, whatever their umask, stays out, and
// a directory that cannot hold the lock file is told, never replaced by a lock elsewhere.
TEST(InstanceLockTest, OneHolderPerDirectoryWhoeverStartsIt) {
    const fs::path dir = fs::temp_directory_path() / ("tallowick-lock-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "other");
    fs::permissions(dir, fs::perms::all);
    const mode_t oldMask = ::umask(077);
    {
        InstanceLock first, second, other, missing;
        EXPECT_EQ(first.acquire(dir), Result::acquired);
        EXPECT_EQ(second.acquire(dir), Result::heldElsewhere);
        EXPECT_EQ(acquireInChild(dir, std::nullopt), Result::heldElsewhere);
        if (::geteuid() == 0) {
            EXPECT_EQ(acquireInChild(dir, 65534), Result::heldElsewhere) << "another user";
        }
        EXPECT_EQ(other.acquire(dir / "other"), Result::acquired);
        EXPECT_EQ(missing.acquire(dir / "missing"), Result::unavailable);
        EXPECT_NE(missing.problem().find("missing/.tallowick.lock"), std::string::npos);
    }
    EXPECT_EQ(acquireInChild(dir, std::nullopt), Result::acquired) << "released with its holder";
    ::umask(oldMask);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tallowick
