#include "app/instance_lock.h"

#include <filesystem>
#include <optional>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix_adapters.h"

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

// The shutdown script runs on, detached, after the program ends; it must not hold the lock, or
// the next start would be refused until the computer goes down.
TEST(InstanceLockTest, AScriptTheHolderStartedDoesNotHoldTheLock) {
    const std::string dir =
        (fs::temp_directory_path() / ("tallowick-cloexec-" + std::to_string(getpid()))).string();
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string gate = dir + "/gate";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    const std::string script = dir + "/temp.bat";
    PosixFiles files;
    ASSERT_TRUE(files.replace(script, "read line < '" + gate + "'\n", 0600));
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        InstanceLock held;
        PosixShell shell;
        const bool ok =
            held.acquire(dir) == InstanceLock::Result::acquired && shell.runScript(script);
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(holder, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    InstanceLock next;
    EXPECT_EQ(next.acquire(dir), InstanceLock::Result::acquired);
    // Lets the script end: it waits to read the gate.
    const int fd = ::open(gate.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tallowick
