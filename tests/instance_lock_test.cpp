#include "app/instance_lock.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST_F(InstanceLockTest, ADirectoryThatCannotHoldTheLockFallsBackToTheRuntimeDirectory) {
    InstanceLock first, second;
    EXPECT_EQ(first.acquire(dir + "/missing"), InstanceLock::Result::acquired);
    EXPECT_EQ(second.acquire(dir + "/missing"), InstanceLock::Result::heldElsewhere);
}

}  // namespace
}  // namespace tallowick
