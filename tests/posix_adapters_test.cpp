#include "platform/posix_adapters.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tallowick {
namespace {

namespace fs = std::filesystem;

struct PosixFilesTest : ::testing::Test {
    fs::path dir;
    PosixFiles files;
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("tallowick-files-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
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
    struct stat info {};
    ASSERT_EQ(::stat(path("settings.ini.bad").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
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

// Whatever a name in the data directory holds, reading it neither waits nor fills memory, and
// it can be moved aside.
TEST_F(PosixFilesTest, ReadReturnsAtOnceWhateverTheNameHolds) {
    struct Row {
        const char* kind;
        std::function<void(const std::string&)> make;
        ReadResult read;
    } rows[] = {
        {"nothing", [](const std::string&) {}, ReadResult::missing},
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, ReadResult::notRegular},
        {"a sparse gigabyte",
         [](const std::string& p) { fs::resize_file((std::ofstream(p), p), 1 << 30); },
         ReadResult::tooLarge},
        {"a file at the cap",
         [](const std::string& p) { std::ofstream(p) << std::string(100, 'x'); }, ReadResult::ok},
    };
    ::alarm(20);  // a read that waits forever: fail rather than hang
    for (const Row& row : rows) {
        const std::string name = path(row.kind);
        row.make(name);
        std::string read = "stale";
        EXPECT_EQ(files.read(name, read, 100), row.read) << row.kind;
        EXPECT_EQ(read.size(), row.read == ReadResult::ok ? 100u : 0u) << row.kind;
        if (row.read == ReadResult::missing) continue;
        EXPECT_EQ(files.keepAside(name, name + ".bad"), CreateResult::ok) << row.kind;
        EXPECT_FALSE(fs::exists(fs::symlink_status(name))) << row.kind;
        row.make(name);
        EXPECT_EQ(files.keepAside(name, name + ".bad"), CreateResult::exists) << row.kind;
    }
    ::alarm(0);
}

// A temporary file left by an earlier save, whatever it is, is replaced, never written into or
// through.
TEST_F(PosixFilesTest, ReplaceIsNeverBlockedByAStaleTemporaryFile) {
    struct Row {
        const char* kind;
        std::function<void(const std::string&)> make;
    } rows[] = {
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }},
        {"a link elsewhere",
         [this](const std::string& p) { fs::create_symlink(path("victim"), p); }},
    };
    ::alarm(20);
    for (const Row& row : rows) {
        row.make(path("settings.ini.tmp"));
        EXPECT_TRUE(files.replace(path("settings.ini"), row.kind, 0666)) << row.kind;
        std::string read;
        EXPECT_EQ(files.read(path("settings.ini"), read, 100), ReadResult::ok);
        EXPECT_EQ(read, row.kind);
        EXPECT_FALSE(fs::exists(fs::symlink_status(path("settings.ini.tmp")))) << row.kind;
    }
    ::alarm(0);
    EXPECT_FALSE(fs::exists(path("victim")));
}

// A saved file keeps the mode the user gave it; a new one follows the umask; neither is ever
// more open than the caller allows.
TEST_F(PosixFilesTest, ReplaceKeepsTheModeOfTheFileItReplaces) {
    struct Row {
        int existing;  // 0: no file yet
        int mode;
        mode_t umask;
        unsigned expected;
    } rows[] = {
        {0, 0666, 022, 0644},    {0, 0666, 077, 0600},    {0600, 0666, 022, 0600},
        {0640, 0666, 077, 0640}, {0666, 0600, 022, 0600},
    };
    for (const Row& row : rows) {
        fs::remove(path("settings.ini"));
        if (row.existing) {
            std::ofstream(path("settings.ini")) << "old";
            ::chmod(path("settings.ini").c_str(), static_cast<mode_t>(row.existing));
        }
        const mode_t saved = ::umask(row.umask);
        EXPECT_TRUE(files.replace(path("settings.ini"), "new", row.mode));
        ::umask(saved);
        struct stat info {};
        ASSERT_EQ(::stat(path("settings.ini").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, row.expected)
            << std::oct << row.existing << " " << row.umask;
    }
}

TEST_F(PosixFilesTest, TheShellRunsTheScriptDetachedWithNothingOfTheUsersInIt) {
    // A harmless script: it only records how many arguments it got, and its session.
    const std::string marker = path("ran"), script = path("temp.bat");
    std::ofstream(script) << "echo $# $(ps -o sid= -p $$) >'" + marker + ".tmp'; mv '" + marker +
                                 ".tmp' '" + marker + "'\n";
    ASSERT_TRUE(PosixShell().runScript(script));
    for (int i = 0; i < 500 && !fs::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(marker);
    int argc = -1;
    long sid = 0;
    ASSERT_TRUE(in >> argc) << "the script did not run";
    EXPECT_EQ(argc, 0);
    EXPECT_TRUE(!(in >> sid) || sid != ::getsid(0)) << "it runs in our session";
}

// Started with its standard streams closed, the program opens them on /dev/null, so that no file
// it opens later takes their numbers.
TEST(StandardStreamsTest, ClosedOnesAreOpenedOnDevNull) {
    const pid_t child = ::fork();
    if (child == 0) {
        for (int fd = 0; fd <= 2; ++fd) ::close(fd);
        bool ok = openClosedStandardStreams();
        for (int fd = 0; fd <= 2; ++fd) {
            struct stat info {};
            ok = ok && ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode);
        }
        std::exit(ok ? 0 : 1);  // not _exit: the coverage counts are written at exit
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(SystemClockTest, ReadsTheLocalTimeOfDay) {
    SystemClock clock;
    const WallTime t = clock.now();
    EXPECT_GE(t.year, 2020);
    EXPECT_LE(t.second, 59);
}

}  // namespace
}  // namespace tallowick
