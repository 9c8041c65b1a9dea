#include "app/instance_lock.h"

#include <filesystem>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix_adapters.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;

struct InstanceLockTest : ::testing::Test {
    std::string dir;
    void SetUp() override {
        dir =
            (fs::temp_directory_path() / ("tallowick-lock-" + std::to_string(::getpid()))).string();
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(InstanceLockTest, OneHolderPerDirectory) {
    InstanceLock first, second, elsewhere;
    EXPECT_EQ(first.acquire(dir), InstanceLock::Result::acquired);
    EXPECT_EQ(second.acquire(dir), InstanceLock::Result::heldElsewhere);
    fs::create_directories(dir + "/other");
    EXPECT_EQ(elsewhere.acquire(dir + "/other"), InstanceLock::Result::acquired);
}

TEST_F(InstanceLockTest, ReleasedWhenItsHolderEnds) {
    {
        InstanceLock first;
        ASSERT_EQ(first.acquire(dir), InstanceLock::Result::acquired);
    }
    InstanceLock next;
    EXPECT_EQ(next.acquire(dir), InstanceLock::Result::acquired);
}

TEST_F(InstanceLockTest, AKilledHolderLeavesNoStaleLock) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock held;
        const char result = held.acquire(dir) == InstanceLock::Result::acquired ? 'y' : 'n';
        [[maybe_unused]] ssize_t n = ::write(ready[1], &result, 1);
        ::pause();
        ::_exit(0);
    }
    char result = 0;
    ASSERT_EQ(::read(ready[0], &result, 1), 1);
    ASSERT_EQ(result, 'y');
    InstanceLock blocked;
    EXPECT_EQ(blocked.acquire(dir), InstanceLock::Result::heldElsewhere);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    InstanceLock next;
    EXPECT_EQ(next.acquire(dir), InstanceLock::Result::acquired);
    ::close(ready[0]);
    ::close(ready[1]);
}

// The shutdown script runs on, detached, after the program ends; it must not hold the lock, or
// the next start would be refused until the computer goes down.
TEST_F(InstanceLockTest, AScriptTheHolderStartedDoesNotHoldTheLock) {
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
    const int fd = ::open(gate.c_str(), O_WRONLY);
    if (fd >= 0) ::close(fd);
}

TEST_F(InstanceLockTest, ADirectoryThatCannotHoldTheLockFallsBackToTheRuntimeDirectory) {
    InstanceLock first, second;
    EXPECT_EQ(first.acquire(dir + "/missing"), InstanceLock::Result::acquired);
    EXPECT_EQ(second.acquire(dir + "/missing"), InstanceLock::Result::heldElsewhere);
}

}  // namespace
}  // namespace tallowick
