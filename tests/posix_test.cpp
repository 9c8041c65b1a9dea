// SPDX-License-Identifier: GPL-3.0-or-later
// The POSIX adapters: files, the shell, the standard streams, the clock, the lock, the ticker.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fakes.h"
#include "posix/instance_lock.h"
#include "posix/posix_adapters.h"
#include "posix/second_ticker.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct PosixFilesTest : ::testing::Test {
    fs::path dir = freshDirectory("tallowick-files");
    PosixFiles files;
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    std::string path(const char* name) const { return (dir / name).string(); }
};

TEST_F(PosixFilesTest, ReplaceWritesTheWholeFileAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(files.replace(path("settings.ini"), "old", 0644));
    ASSERT_TRUE(files.replace(path("settings.ini"), std::string("new\0\r\n", 6), 0600));
    std::string read;
    ASSERT_EQ(files.read(path("settings.ini"), read, 100), ReadResult::ok);
    EXPECT_EQ(read, std::string("new\0\r\n", 6));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    // A kept copy of a private file stays private, whatever the umask, and is never overwritten.
    ASSERT_EQ(files.createNew(path("settings.ini.bad"), "new"), CreateResult::ok);
    EXPECT_EQ(fs::status(path("settings.ini.bad")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(files.createNew(path("settings.ini.bad"), "other"), CreateResult::exists);
    ASSERT_EQ(files.read(path("settings.ini.bad"), read, 100), ReadResult::ok);
    EXPECT_EQ(read, "new");
    // A save that cannot be made fails and keeps the old file.
    EXPECT_FALSE(files.replace(path("no-such-dir/settings.ini"), "x", 0644));
    if (::geteuid() == 0) return;  // root writes into read-only directories
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(files.replace(path("settings.ini"), "newer", 0644));
    EXPECT_EQ(files.read(path("settings.ini"), read, 100), ReadResult::ok);
    EXPECT_EQ(read, std::string("new\0\r\n", 6));
}

TEST_F(PosixFilesTest, ReadReturnsAtOnceWhateverTheNameHolds) {
    const std::tuple<const char*, std::function<void(const std::string&)>, ReadResult> rows[] = {
        {"nothing", [](const std::string&) {}, ReadResult::missing},
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, ReadResult::notRegular},
        {"a sparse gigabyte",
         [](const std::string& p) { fs::resize_file((std::ofstream(p), p), 1 << 30); },
         ReadResult::tooLarge},
        {"a file at the cap",
         [](const std::string& p) { std::ofstream(p) << std::string(100, 'x'); }, ReadResult::ok},
    };
    ::alarm(20);  // a read that waits forever: fail rather than hang
    for (const auto& [kind, make, result] : rows) {
        const std::string name = path(kind);
        make(name);
        std::string read = "stale";
        EXPECT_EQ(files.read(name, read, 100), result) << kind;
        EXPECT_EQ(read.size(), result == ReadResult::ok ? 100u : 0u) << kind;
        if (result == ReadResult::missing) continue;
        EXPECT_EQ(files.keepAside(name, name + ".bad"), CreateResult::ok) << kind;
        EXPECT_FALSE(fs::exists(fs::symlink_status(name))) << kind;
        make(name);
        EXPECT_EQ(files.keepAside(name, name + ".bad"), CreateResult::exists) << kind;
    }
    ::alarm(0);
}

TEST_F(PosixFilesTest, ReplaceIsNeverBlockedByAStaleTemporaryFile) {
    const std::pair<const char*, std::function<void(const std::string&)>> rows[] = {
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }},
        {"a link elsewhere",
         [this](const std::string& p) { fs::create_symlink(path("victim"), p); }},
    };
    ::alarm(20);
    for (const auto& [kind, make] : rows) {
        make(path("settings.ini.tmp"));
        EXPECT_TRUE(files.replace(path("settings.ini"), kind, 0666)) << kind;
        std::string read;
        EXPECT_EQ(files.read(path("settings.ini"), read, 100), ReadResult::ok);
        EXPECT_EQ(read, kind);
        EXPECT_FALSE(fs::exists(fs::symlink_status(path("settings.ini.tmp")))) << kind;
    }
    ::alarm(0);
    EXPECT_FALSE(fs::exists(path("victim")));
}

TEST_F(PosixFilesTest, ReplaceKeepsTheModeOfTheFileItReplaces) {
    // The mode of the file there (0: none), the mode asked, the umask, the mode got.
    const std::tuple<int, int, mode_t, int> rows[] = {
        {0, 0666, 022, 0644},    {0, 0666, 077, 0600},    {0600, 0666, 022, 0600},
        {0640, 0666, 077, 0640}, {0666, 0600, 022, 0600},
    };
    for (const auto& [existing, mode, umask, expected] : rows) {
        fs::remove(path("settings.ini"));
        if (existing) {
            std::ofstream(path("settings.ini")) << "old";
            ::chmod(path("settings.ini").c_str(), static_cast<mode_t>(existing));
        }
        const mode_t saved = ::umask(umask);
        EXPECT_TRUE(files.replace(path("settings.ini"), "new", mode));
        ::umask(saved);
        EXPECT_EQ(int(fs::status(path("settings.ini")).permissions()), expected)
            << std::oct << existing << " " << umask;
    }
}

// A harmless script: it only records how many arguments it got, and its session.
TEST_F(PosixFilesTest, TheShellRunsTheScriptDetachedWithNothingOfTheUsersInIt) {
    const std::string marker = path("ran"), script = path("temp.bat");
    std::ofstream(script) << "echo $# $(ps -o sid= -p $$) >'" + marker + ".tmp'; mv '" + marker +
                                 ".tmp' '" + marker + "'\n";
    ASSERT_TRUE(PosixShell().runScript(script));
    for (int i = 0; i < 500 && !fs::exists(marker); ++i) std::this_thread::sleep_for(10ms);
    std::ifstream in(marker);
    int argc = -1;
    long sid = 0;
    EXPECT_TRUE(in >> argc && argc == 0) << "the script did not run, or got arguments: " << argc;
    EXPECT_TRUE(!(in >> sid) || sid != ::getsid(0)) << "it runs in our session";
}

// std::exit, not _exit: the coverage counts are written.
TEST(StandardStreamsTest, ClosedOnesAreOpenedOnDevNull) {
    EXPECT_EXIT(
        {
            for (int fd = 0; fd <= 2; ++fd) ::close(fd);
            bool ok = openClosedStandardStreams();
            for (int fd = 0; fd <= 2; ++fd) {
                struct stat info {};
                ok = ok && ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
            }
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(SystemClockTest, ReadsTheTimeAndTheOffsetsOfTheZone) {
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    SystemClock clock;
    EXPECT_GT(clock.now(), utc(2020, 1, 1));
    EXPECT_EQ(clock.utcOffset(utc(2026, 10, 25, 0, 59, 59)), 7200);  // summer time ends
    EXPECT_EQ(clock.utcOffset(utc(2026, 10, 25, 1)), 3600);
}

using Result = InstanceLock::Result;
using ::testing::ExitedWithCode;

// acquire() as another user when `uid` is not 0, in a death test's child: the result exits.
[[noreturn]] void acquireAs(const fs::path& dir, uid_t uid) {
    if (uid != 0 && (::setgid(uid) != 0 || ::setuid(uid) != 0)) std::exit(9);
    std::exit(static_cast<int>(InstanceLock().acquire(dir)));
}

TEST(InstanceLockTest, OneHolderPerDirectoryWhoeverStartsIt) {
    const fs::path dir = freshDirectory("tallowick-lock");
    fs::create_directories(dir / "other");
    fs::permissions(dir, fs::perms::all);
    const mode_t oldMask = ::umask(077);
    {
        InstanceLock first, second, other, missing;
        EXPECT_EQ(first.acquire(dir), Result::acquired);
        EXPECT_EQ(second.acquire(dir), Result::heldElsewhere);
        EXPECT_EXIT(acquireAs(dir, 0), ExitedWithCode(int(Result::heldElsewhere)), "");
        if (::geteuid() == 0) {
            EXPECT_EXIT(acquireAs(dir, 65534), ExitedWithCode(int(Result::heldElsewhere)), "");
        }
        EXPECT_EQ(other.acquire(dir / "other"), Result::acquired);
        EXPECT_EQ(missing.acquire(dir / "missing"), Result::unavailable);
        EXPECT_NE(missing.problem().find("missing/.tallowick.lock"), std::string::npos);
    }
    EXPECT_EXIT(acquireAs(dir, 0), ExitedWithCode(int(Result::acquired)), "");
    ::umask(oldMask);
    fs::remove_all(dir);
}

// Else no start is possible until the detached shutdown script ends with the computer.
TEST(InstanceLockTest, AScriptTheHolderStartedDoesNotHoldTheLock) {
    const fs::path dir = freshDirectory("tallowick-cloexec");
    const std::string gate = dir / "gate", script = dir / "temp.bat";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    std::ofstream(script) << "read line < '" + gate + "'\n";
    const pid_t holder = ::fork();  // not a death test: the script would hold its stderr pipe
    if (holder == 0) {
        std::exit(InstanceLock().acquire(dir) != Result::acquired ||
                  !PosixShell().runScript(script));
    }
    int status = 0;
    ::waitpid(holder, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(InstanceLock().acquire(dir), Result::acquired);
    ::close(::open(gate.c_str(), O_WRONLY | O_NONBLOCK));  // lets the script end
    fs::remove_all(dir);
}

TEST(SecondTickerTest, TicksOncePerSecondAndAtOnceWhenTheClockIsSet) {
    constexpr ssize_t kExpired = sizeof(uint64_t);
    // What the timer's read gave, its errno, the second of the clock, and whether it ticks.
    const std::tuple<ssize_t, int, int64_t, bool> rows[] = {
        {kExpired, 0, 100, true},     // the boundary of second 100
        {kExpired, 0, 100, false},    // woken again within it
        {-1, ECANCELED, 100, false},  // the clock set within the same second
        {-1, ECANCELED, 40, true},    // the clock set back a minute
        {-1, EIO, 41, false},         // no expiry read
        {kExpired, 0, 41, true},      // the next boundary
        {-1, ECANCELED, 3641, true},  // set forward an hour
    };
    FakeDiagnostics diagnostics;
    SecondTicker ticker(diagnostics);
    for (const auto& [readBytes, readError, second, tick] : rows) {
        EXPECT_EQ(ticker.decide(readBytes, readError, second), tick) << second << " " << readError;
    }
    // A timer that cannot be set again still gives its tick, is told, and is given up, so that
    // the front-end ticks on its own timer instead of never again.
    ASSERT_TRUE(ticker.start());
    const int unsettable = ::eventfd(1, EFD_CLOEXEC);  // reads as one expiry
    ::dup2(unsettable, ticker.fd());
    ::close(unsettable);
    EXPECT_TRUE(ticker.due() && ticker.fd() == -1 && diagnostics.lines.size() == 1);
}

TEST(SecondTickerTest, AHurriedTickerTicksAtOnce) {
    FakeDiagnostics diagnostics;
    SecondTicker ticker(diagnostics);
    ASSERT_TRUE(ticker.start());
    ticker.hurry();
    pollfd ready{ticker.fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 20), 1);  // not the next boundary, unless it is that near
    EXPECT_TRUE(ticker.due());
}

}  // namespace
}  // namespace tallowick
