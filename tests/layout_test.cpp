#include "app/layout.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sound_names.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;

struct LayoutRow {
    const char* what;
    std::string programDir;
    LayoutEnvironment environment;
    std::set<std::string> existing;  // paths that exist
    std::set<std::string> writable;  // directories the user may write
    Layout expected;                 // dataDir empty: an error is expected
};

TEST(LayoutTest, ChoosesWhereTheFilesLive) {
    const std::string build = "/src/build/bin";
    const LayoutEnvironment ann{"/home/ann", "", ""};
    const Layout annUsr{true, "/home/ann/.local/share/tallowick", "/usr/share/tallowick/sounds",
                        "/home/ann/.config/tallowick", "/usr/libexec/tallowick/tallowick-app"};
    const std::vector<LayoutRow> rows = {
        {"the build tree",
         build,
         ann,
         {build + "/alert.wav", "/src/share/tallowick"},
         {build},
         {false, build, build, build, build + "/tallowick-app"}},
        {"installed in /usr", "/usr/bin", ann, {"/usr/share/tallowick"}, {}, annUsr},
        {"the program in /usr/libexec",
         "/usr/libexec/tallowick",
         ann,
         {"/usr/share/tallowick"},
         {},
         annUsr},
        {"root, who may write /usr/bin",
         "/usr/bin",
         ann,
         {"/usr/share/tallowick"},
         {"/usr/bin"},
         annUsr},
        {"absolute XDG values",
         "/usr/bin",
         {"/home/ann", "/d", "/c"},
         {"/usr/share/tallowick"},
         {},
         {true, "/d/tallowick", "/usr/share/tallowick/sounds", "/c/tallowick",
          "/usr/libexec/tallowick/tallowick-app"}},
        {"relative XDG values are ignored",
         "/usr/bin",
         {"/home/ann", "d", "c"},
         {"/usr/share/tallowick"},
         {},
         annUsr},
        {"no HOME", "/usr/bin", {"", "", ""}, {"/usr/share/tallowick"}, {}, {}},
        {"no HOME, relative XDG", "/usr/bin", {"", "d", ""}, {"/usr/share/tallowick"}, {}, {}},
        {"no HOME, absolute XDG_DATA_HOME",
         "/usr/bin",
         {"", "/d", ""},
         {"/usr/share/tallowick"},
         {},
         {true, "/d/tallowick", "/usr/share/tallowick/sounds", "/d/tallowick",
          "/usr/libexec/tallowick/tallowick-app"}},
        {"a read-only copy with its sounds",
         "/opt/t",
         ann,
         {"/opt/t/alert.wav"},
         {},
         {false, "/opt/t", "/opt/t", "/opt/t", "/opt/t/tallowick-app"}},
        {"a bin without share/tallowick",
         "/usr/local/bin",
         ann,
         {"/usr/share/tallowick"},
         {},
         {false, "/usr/local/bin", "/usr/local/bin", "/usr/local/bin",
          "/usr/local/bin/tallowick-app"}},
    };
    for (const LayoutRow& row : rows) {
        const LayoutDisk disk{[&](const std::string& p) { return row.existing.count(p) > 0; },
                              [&](const std::string& p) { return row.writable.count(p) > 0; }};
        Layout layout;
        std::string error;
        const bool ok = chooseLayout(row.programDir, row.environment, disk, layout, error);
        if (row.expected.dataDir.empty()) {
            EXPECT_FALSE(ok) << row.what;
            EXPECT_EQ(error.rfind("tallowick: ", 0), 0u) << row.what;
            continue;
        }
        ASSERT_TRUE(ok) << row.what << ": " << error;
        EXPECT_EQ(layout.installed, row.expected.installed) << row.what;
        EXPECT_EQ(layout.dataDir, row.expected.dataDir) << row.what;
        EXPECT_EQ(layout.stockSoundDir, row.expected.stockSoundDir) << row.what;
        EXPECT_EQ(layout.configDir, row.expected.configDir) << row.what;
        EXPECT_EQ(layout.program, row.expected.program) << row.what;
    }
}

// The user's own sounds come first, then the stock ones, and never the current directory.
TEST(LayoutTest, SoundNamesAreLookedUpInTheDataDirectoryThenAmongTheStockSounds) {
    using Paths = std::vector<std::string>;
    const SoundDirs installed{"/d", "/s"};
    const Paths fallback{"/d/alert.wav", "/s/alert.wav"};
    const struct {
        SoundDirs dirs;
        std::string name;
        Paths expected;  // before the fallback
    } rows[] = {
        {installed, "bell.wav", {"/d/bell.wav", "/s/bell.wav"}},
        {installed, " bell.wav", {"/d/ bell.wav", "/s/ bell.wav", "/d/bell.wav", "/s/bell.wav"}},
        {installed, "./bell.wav", {"/d/./bell.wav", "/s/./bell.wav"}},
        {installed, "mine/bell.wav", {"/d/mine/bell.wav", "/s/mine/bell.wav"}},
        {installed,
         " /home/ann/bell.wav",
         {"/d/ /home/ann/bell.wav", "/s/ /home/ann/bell.wav", "/home/ann/bell.wav"}},
        {installed, "   ", {}},
        {installed, "", {}},
    };
    for (const auto& row : rows) {
        Paths expected = row.expected;
        expected.insert(expected.end(), fallback.begin(), fallback.end());
        EXPECT_EQ(soundCandidates(row.dirs, row.name, "alert.wav"), expected) << row.name;
    }
    EXPECT_EQ(soundCandidates({"/p", "/p"}, "bell.wav", "alert.wav"),
              (Paths{"/p/bell.wav", "/p/alert.wav"}))
        << "one directory is looked in once";
}

TEST(LayoutTest, TheDataDirectoryIsMadePrivateOrToldWhyNot) {
    const fs::path root =
        fs::temp_directory_path() / ("tallowick-layout-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    std::string error;
    const fs::path data = root / "share/tallowick";
    ASSERT_TRUE(makePrivateDirectory(data.string(), error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(data.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(makePrivateDirectory(data.string(), error)) << "already there";

    std::ofstream(root / "file") << "x";
    EXPECT_FALSE(makePrivateDirectory((root / "file").string(), error));
    EXPECT_NE(error.find("is not a directory"), std::string::npos) << error;
    EXPECT_FALSE(makePrivateDirectory((root / "file/tallowick").string(), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    fs::remove_all(root);
}

}  // namespace
}  // namespace tallowick
