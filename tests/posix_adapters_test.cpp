#include "platform/posix_adapters.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

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

TEST_F(PosixFilesTest, ReplaceWritesTheWholeFileWithItsModeAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(files.replace(path("settings.ini"), "old", 0644));
    ASSERT_TRUE(files.replace(path("settings.ini"), std::string("new\0\r\n", 6), 0600));
    std::string read;
    ASSERT_EQ(files.read(path("settings.ini"), read), ReadResult::ok);
    EXPECT_EQ(read, std::string("new\0\r\n", 6));
    struct stat info {};
    ASSERT_EQ(::stat(path("settings.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(PosixFilesTest, ReplaceInADirectoryThatCannotBeWrittenFailsAndKeepsTheOldFile) {
    ASSERT_TRUE(files.replace(path("settings.ini"), "old", 0644));
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(files.replace(path("settings.ini"), "new", 0644));
    std::string read;
    EXPECT_EQ(files.read(path("settings.ini"), read), ReadResult::ok);
    EXPECT_EQ(read, "old");
}

TEST_F(PosixFilesTest, ReplaceIntoAMissingDirectoryFails) {
    EXPECT_FALSE(files.replace(path("no-such-dir/settings.ini"), "x", 0644));
}

TEST_F(PosixFilesTest, ReadTellsAMissingFileFromOneThatCannotBeRead) {
    std::string read;
    EXPECT_EQ(files.read(path("nothing"), read), ReadResult::missing);
    EXPECT_EQ(files.read(dir.string(), read), ReadResult::failed);  // a directory
}

TEST_F(PosixFilesTest, CreateNewNeverOverwrites) {
    EXPECT_EQ(files.createNew(path("settings.ini.bad"), "first"), CreateResult::ok);
    EXPECT_EQ(files.createNew(path("settings.ini.bad"), "second"), CreateResult::exists);
    std::string read;
    files.read(path("settings.ini.bad"), read);
    EXPECT_EQ(read, "first");
}

TEST_F(PosixFilesTest, TheShellRunsTheScriptDetachedWithNothingOfTheUsersInIt) {
    const std::string marker = path("ran");
    // A harmless script: it only records its arguments and its session.
    const std::string script = path("temp.bat");
    ASSERT_TRUE(files.replace(script,
                              "ps -o sid= -p $$ > '" + marker +
                                  ".tmp' 2>/dev/null; echo \"$#\" >> '" + marker + ".tmp'; mv '" +
                                  marker + ".tmp' '" + marker + "'\n",
                              0600));
    PosixShell shell;
    ASSERT_TRUE(shell.runScript(script));
    for (int i = 0; i < 500 && !fs::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(fs::exists(marker));
    std::ifstream in(marker);
    std::string sid, argc;
    std::getline(in, sid);
    std::getline(in, argc);
    EXPECT_EQ(argc, "0");
    if (!sid.empty()) {
        EXPECT_NE(std::stol(sid), static_cast<long>(::getsid(0)));
    }
}

TEST(SystemClockTest, ReadsTheLocalTimeOfDay) {
    SystemClock clock;
    const WallTime t = clock.now();
    EXPECT_GE(t.year, 2020);
    EXPECT_LE(t.second, 59);
}

TEST(ExecutableDirectoryTest, IsTheDirectoryOfTheRunningProgram) {
    const std::string dir = executableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_NE(dir.back(), '/');
}

}  // namespace
}  // namespace tallowick
