// SPDX-License-Identifier: GPL-3.0-or-later
// What a start decides: where the files live, and the voice kept in the preferences.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "config/build_config.h"
#include "fakes.h"
#include "start/layout.h"
#include "start/preferences.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;

// "portable DIR" (all three directories the same), "installed DATA CONFIG [default]" or "error".
TEST(LayoutTest, ChoosesWhereTheFilesLive) {
    const LayoutEnvironment ann{"/home/ann", "", ""};
    const std::string annUsr =
        "installed /home/ann/.local/share/tallowick /home/ann/.config/tallowick default";
    // Where this build installs to: by default /bin, /libexec/tallowick and /share/tallowick.
    const std::string bin = std::string("/") + kInstallBinDir, usrBin = "/usr" + bin;
    const std::string libexec = std::string("/") + kInstallLibexecDir + "/tallowick";
    const std::string share = std::string("/") + kInstallDataDir + "/tallowick";
    const std::set<std::string> usrShare{"/usr" + share};
    const struct {
        std::string programDir;
        LayoutEnvironment environment;
        std::set<std::string> existing, writable;
        std::string expected;
    } rows[] = {
        {usrBin, ann, {usrBin + "/alert.wav", "/usr" + share}, {usrBin}, "portable " + usrBin},
        {usrBin, ann, usrShare, {}, annUsr},
        {"/usr" + libexec, ann, usrShare, {}, annUsr},  // the program run by the command
        {usrBin, {"/home/ann/", "", ""}, usrShare, {usrBin}, annUsr},  // root
        {usrBin, {"/h", "/d", "/c"}, usrShare, {}, "installed /d/tallowick /c/tallowick"},
        {usrBin, {"/home/ann", "d", "c"}, usrShare, {}, annUsr},  // relative: ignored
        {usrBin, {"", "", ""}, usrShare, {}, "error"},
        {usrBin, {"", "/d", ""}, usrShare, {}, "installed /d/tallowick /d/tallowick"},
        // A read-only copy with its sounds, and a bin without share/tallowick.
        {"/opt/t", ann, {"/opt/t/alert.wav", "/opt" + share}, {}, "portable /opt/t"},
        {"/usr/local" + bin, ann, usrShare, {}, "portable /usr/local" + bin},
    };
    for (const auto& row : rows) {
        const LayoutDisk disk{[&](const std::string& p) { return row.existing.count(p) > 0; },
                              [&](const std::string& p) { return row.writable.count(p) > 0; }};
        Layout l;
        std::string error, got = "error";
        if (chooseLayout(row.programDir, row.environment, disk, l, error)) {
            got = l.installed ? "installed " + l.dataDir + " " + l.configDir +
                                    (l.defaultDataDir ? " default" : "")
                              : "portable " + l.dataDir;
            EXPECT_EQ(l.stockSoundDir, l.installed ? "/usr" + share + "/sounds" : l.dataDir);
            EXPECT_TRUE(l.installed || l.configDir == l.dataDir);
            EXPECT_EQ(l.program, (l.installed ? "/usr" + libexec : l.dataDir) + "/tallowick-app");
        } else {
            EXPECT_TRUE(!error.empty() && error.rfind("tallowick: ", 0) != 0) << error;
        }
        EXPECT_EQ(got, row.expected) << row.programDir << " " << row.environment.home;
    }
}

TEST(LayoutTest, TheDataDirectoryIsMadePrivateOrToldWhyNot) {
    const fs::path root = freshDirectory("tallowick-layout");
    std::string error;
    const fs::path data = root / "share/tallowick";
    ASSERT_TRUE(makePrivateDirectory(data.string(), error)) << error;
    EXPECT_EQ(fs::status(data).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(makePrivateDirectory(data.string(), error)) << "already there";
    std::ofstream(root / "file") << "x";
    EXPECT_FALSE(makePrivateDirectory((root / "file").string(), error));
    EXPECT_NE(error.find("is not a directory"), std::string::npos) << error;
    EXPECT_FALSE(makePrivateDirectory((root / "file/tallowick").string(), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    fs::remove_all(root);
}

// Under /proc no directory can be made, whatever the code tries.
TEST(PreferencesTest, SettlesTheVoice) {
    const std::string dir = "/proc/tallowick-preferences", path = dir + "/preferences.conf";
    const struct {
        const char *given, *file, *expected, *fileAfter;  // no file, not rewritten: nullptr
        bool reader = false;                              // whether a screen reader runs
        std::string told = {};
    } rows[] = {
        {"", nullptr, "espeak", nullptr, false,
         "no screen reader runs: the built-in voice speaks (--voice to choose)"},
        {"", "# mine\n", "screen-reader", nullptr, true,
         "a screen reader runs: it presents the replies (--voice to choose)"},
        {"", "voice=espeak\n", "espeak", nullptr, true},
        {"", "voice = none\n", "none", nullptr},
        {"", "# mine\nvoice=screen-reader\r\n", "screen-reader", nullptr},
        {"", "voice=loud\n", "espeak", nullptr, false,
         path + ": unknown voice 'loud' (choose " + kVoiceChoices + "); speaking with espeak"},
        {"none", "voice=none\n", "none", nullptr},
        {"espeak", "voice=loud\n", "espeak", "voice=espeak\n"},
        {"speech-dispatcher", "# mine\nrate=3\nvoice=none\n\n", "speech-dispatcher",
         "# mine\nrate=3\n\nvoice=speech-dispatcher\n"},
        {"none", nullptr, "none",
         "# Tallowick's preferences. voice: espeak, speech-dispatcher, screen-reader or "
         "none.\nvoice=none\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.given) + " / " + (row.file ? row.file : "no file"));
        MemoryFiles files;
        FakeDiagnostics diagnostics;
        if (row.file) files.files[path] = row.file;
        std::string error, notice;
        const auto choice = settleVoiceChoice(row.given, dir, files, diagnostics, error, notice,
                                              [&row] { return row.reader; });
        EXPECT_STREQ(choice ? voiceChoiceName(*choice) : error.c_str(), row.expected);
        EXPECT_EQ(files.replaces, row.fileAfter ? 1 : 0);
        EXPECT_EQ(files.files[path], row.fileAfter ? row.fileAfter : row.file ? row.file : "");
        EXPECT_EQ(diagnostics.lines, std::vector<std::string>(!row.told.empty(), row.told));
        EXPECT_EQ(notice.empty(), !row.told.ends_with("speaking with espeak"));
    }
    // A file that cannot be written or read is told, and the start goes on.
    Rig rig;
    std::string error, notice;
    rig.files.writesFail = true;
    const auto none = [] { return false; };
    EXPECT_EQ(settleVoiceChoice("none", dir, rig.files, rig.diagnostics, error, notice, none),
              VoiceChoice::none);
    rig.files.readsFail = true;
    EXPECT_EQ(settleVoiceChoice("none", dir, rig.files, rig.diagnostics, error, notice, none),
              VoiceChoice::none);
    EXPECT_EQ(rig.diagnostics.lines,
              (std::vector<std::string>{
                  path + " could not be written; the voice is not kept for the next start",
                  path + " could not be read"}));
}

// The zoom is kept beside the voice; a wrong one in the file is told and ignored.
TEST(PreferencesTest, SettlesTheZoom) {
    const std::string dir = "/proc/tallowick-preferences", path = dir + "/preferences.conf";
    const struct {
        std::optional<int> given;
        const char *file, *fileAfter;
        int expected;
        size_t told;
    } rows[] = {
        {std::nullopt, nullptr, nullptr, 1, 0},
        {std::nullopt, "voice=none\nzoom = 3\n", nullptr, 3, 0},
        {std::nullopt, "zoom=9\n", nullptr, 1, 1},
        {2, "voice=none\nzoom=3\n", "voice=none\nzoom=2\n", 2, 0},
    };
    for (const auto& row : rows) {
        MemoryFiles files;
        FakeDiagnostics diagnostics;
        if (row.file) files.files[path] = row.file;
        EXPECT_EQ(settleZoom(row.given, dir, files, diagnostics), row.expected) << row.expected;
        EXPECT_EQ(files.files[path], row.fileAfter ? row.fileAfter : row.file ? row.file : "");
        EXPECT_EQ(diagnostics.lines.size(), row.told);
    }
}

}  // namespace
}  // namespace tallowick
