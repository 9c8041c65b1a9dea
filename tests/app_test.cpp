// The program's start and its desktop side, without a window: where the files live, the voice
// from the preferences, the one instance per directory and the notices of ringing alarms.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>

#include "app/instance_lock.h"
#include "app/layout.h"
#include "app/preferences.h"
#include "app/ringing.h"
#include "fakes.h"
#include "platform/posix_adapters.h"
#include "platform/sound_names.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;

// A directory of this test's own, made empty.
fs::path freshDirectory(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// The layout as "portable DIR" (all three directories the same), "installed DATA CONFIG" or
// "error" (one line).
TEST(LayoutTest, ChoosesWhereTheFilesLive) {
    const LayoutEnvironment ann{"/home/ann", "", ""};
    const std::string annUsr =
        "installed /home/ann/.local/share/tallowick /home/ann/.config/tallowick";
    const std::set<std::string> usrShare{"/usr/share/tallowick"};
    const struct {
        const char* programDir;
        LayoutEnvironment environment;
        std::set<std::string> existing, writable;
        std::string expected;
    } rows[] = {
        {"/b/bin", ann, {"/b/bin/alert.wav", "/b/share/tallowick"}, {"/b/bin"}, "portable /b/bin"},
        {"/usr/bin", ann, usrShare, {}, annUsr},
        {"/usr/libexec/tallowick", ann, usrShare, {}, annUsr},  // the program run by the command
        {"/usr/bin", {"/home/ann/", "", ""}, usrShare, {"/usr/bin"}, annUsr},  // root
        {"/usr/bin", {"/h", "/d", "/c"}, usrShare, {}, "installed /d/tallowick /c/tallowick"},
        {"/usr/bin", {"/home/ann", "d", "c"}, usrShare, {}, annUsr},  // relative: ignored
        {"/usr/bin", {"", "", ""}, usrShare, {}, "error"},
        {"/usr/bin", {"", "/d", ""}, usrShare, {}, "installed /d/tallowick /d/tallowick"},
        // A read-only copy with its sounds, and a bin without share/tallowick.
        {"/opt/t", ann, {"/opt/t/alert.wav", "/opt/share/tallowick"}, {}, "portable /opt/t"},
        {"/usr/local/bin", ann, usrShare, {}, "portable /usr/local/bin"},
    };
    for (const auto& row : rows) {
        const LayoutDisk disk{[&](const std::string& p) { return row.existing.count(p) > 0; },
                              [&](const std::string& p) { return row.writable.count(p) > 0; }};
        Layout l;
        std::string error, got = "error";
        if (chooseLayout(row.programDir, row.environment, disk, l, error)) {
            got = l.installed ? "installed " + l.dataDir + " " + l.configDir
                              : "portable " + l.dataDir;
            EXPECT_EQ(l.stockSoundDir, l.installed ? "/usr/share/tallowick/sounds" : l.dataDir);
            EXPECT_TRUE(l.installed || l.configDir == l.dataDir);
            EXPECT_EQ(l.program, std::string(l.installed ? "/usr/libexec/tallowick" : l.dataDir) +
                                     "/tallowick-app");
        } else {
            EXPECT_EQ(error.rfind("tallowick: ", 0), 0u) << error;
        }
        EXPECT_EQ(got, row.expected) << row.programDir << " " << row.environment.home;
    }
}

// The user's own sounds come first, then the stock ones, and never the current directory.
TEST(LayoutTest, SoundNamesAreLookedUpInTheDataDirectoryThenAmongTheStockSounds) {
    using Paths = std::vector<std::string>;
    const std::pair<std::string, Paths> rows[] = {
        {"bell.wav", {"/d/bell.wav", "/s/bell.wav"}},
        {" bell.wav", {"/d/ bell.wav", "/s/ bell.wav", "/d/bell.wav", "/s/bell.wav"}},
        {" /home/ann/bell.wav",
         {"/d/ /home/ann/bell.wav", "/s/ /home/ann/bell.wav", "/home/ann/bell.wav"}},
        {"   ", {}},
        {"", {}},
    };
    for (auto [name, expected] : rows) {
        expected.insert(expected.end(), {"/d/alert.wav", "/s/alert.wav"});
        EXPECT_EQ(soundCandidates({"/d", "/s"}, name, "alert.wav"), expected) << name;
    }
    EXPECT_EQ(soundCandidates({"/p", "/p"}, "bell.wav", "alert.wav"),
              (Paths{"/p/bell.wav", "/p/alert.wav"}))
        << "one directory is looked in once";
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

// The command line wins and is kept, the preferences file is read, other lines of it survive a
// rewrite, and a bad value is an error naming where it came from. Under /proc no directory can
// be made, whatever the code under test tries.
TEST(PreferencesTest, SettlesTheVoice) {
    const std::string dir = "/proc/tallowick-preferences", path = dir + "/preferences.conf";
    const struct {
        const char *given, *file, *expected, *fileAfter;  // no file, error, not rewritten: nullptr
    } rows[] = {
        {"", nullptr, "espeak", nullptr},
        {"", "voice = none\n", "none", nullptr},
        {"", "# mine\nvoice=screen-reader\r\n", "screen-reader", nullptr},
        {"", "voice=loud\n", nullptr, nullptr},
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
        std::string error;
        const auto choice = settleVoiceChoice(row.given, dir, files, diagnostics, error);
        EXPECT_STREQ(choice ? voiceChoiceName(*choice) : error.c_str(),
                     row.expected ? row.expected
                                  : ("tallowick: " + path +
                                     ": unknown voice 'loud' (choose espeak, speech-dispatcher, "
                                     "screen-reader or none)")
                                        .c_str());
        EXPECT_EQ(files.replaces, row.fileAfter ? 1 : 0);
        EXPECT_EQ(files.files[path], row.fileAfter ? row.fileAfter : row.file ? row.file : "");
        EXPECT_TRUE(diagnostics.lines.empty());
    }
    // A file that cannot be written or read is told, and the start goes on.
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    std::string error;
    files.writesFail = true;
    EXPECT_EQ(settleVoiceChoice("none", dir, files, diagnostics, error), VoiceChoice::none);
    files.readsFail = true;
    EXPECT_EQ(settleVoiceChoice("", dir, files, diagnostics, error), VoiceChoice::espeak);
    EXPECT_EQ(diagnostics.lines,
              (std::vector<std::string>{
                  "tallowick: " + path +
                      " could not be written; the voice is not kept for the next start",
                  "tallowick: " + path + " could not be read"}));
}

using Result = InstanceLock::Result;

// What acquire() gives in a child process, as another user when `uid` is set.
Result acquireInChild(const fs::path& dir, std::optional<uid_t> uid) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (uid && (::setgid(*uid) != 0 || ::setuid(*uid) != 0)) std::exit(9);
        InstanceLock lock;
        std::exit(static_cast<int>(lock.acquire(dir)));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<Result>(WEXITSTATUS(status));
}

// The lock belongs to the directory: whoever starts second, whatever their umask, stays out, and
// a directory that cannot hold the lock file is told, never replaced by a lock elsewhere.
TEST(InstanceLockTest, OneHolderPerDirectoryWhoeverStartsIt) {
    const fs::path dir = freshDirectory("tallowick-lock");
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
    const fs::path dir = freshDirectory("tallowick-cloexec");
    const std::string gate = dir / "gate", script = dir / "temp.bat";
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    std::ofstream(script) << "read line < '" + gate + "'\n";
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        InstanceLock held;
        PosixShell shell;
        std::exit(held.acquire(dir) == Result::acquired && shell.runScript(script) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(holder, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    InstanceLock next;
    EXPECT_EQ(next.acquire(dir), Result::acquired);
    const int fd = ::open(gate.c_str(), O_WRONLY | O_NONBLOCK);  // lets the script end
    if (fd >= 0) ::close(fd);
    fs::remove_all(dir);
}

// A table from "words" entries, each sounding when marked with a trailing '!'.
OrderTable tableOf(std::initializer_list<std::string> orders) {
    OrderTable table;
    for (std::string words : orders) {
        Order order;
        if (!words.empty() && words.back() == '!') {
            words.pop_back();
            order.sounding = 1;
        }
        order.description = words;
        order.soundFile = "chime.wav";
        table.append(order);
    }
    return table;
}

TEST(RingingTest, AnOrderKeepsItsRingingAcrossRenumbering) {
    const struct {
        const char* what;
        OrderTable before, after;
        std::vector<int> started;
    } rows[] = {
        {"starts", tableOf({"in 1 h", "in 5 m"}), tableOf({"in 1 h", "in 5 m!"}), {2}},
        {"rings on", tableOf({"in 5 m!"}), tableOf({"in 5 m!"}), {}},
        {"renumbered by a delete", tableOf({"mark", "in 5 m!"}), tableOf({"in 5 m!"}), {}},
        {"one of two alike starts",
         tableOf({"in 5 m!", "in 5 m"}),
         tableOf({"in 5 m!", "in 5 m!"}),
         {2}},
        {"stopped", tableOf({"in 5 m!"}), tableOf({}), {}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(startedSounding(row.before, row.after), row.started) << row.what;
    }
}

// Records what the desktop was asked to show and withdraw.
struct FakeNotifier final : Notifier {
    std::vector<std::string> log;
    void show(int key, const std::string&, const std::string& body) override {
        log.push_back("show " + std::to_string(key) + " " + body);
    }
    void withdraw(int key) override { log.push_back("withdraw " + std::to_string(key)); }
};

TEST(RingingTest, OneNoticePerRingingWithdrawnWhenItStops) {
    FakeNotifier desktop;
    RingingNotices notices(desktop);
    const OrderTable quiet = tableOf({"mark", "in  5  minutes "});
    const OrderTable ringing = tableOf({"mark", "in  5  minutes !"});
    notices.ordersChanged(quiet, ringing);
    notices.ordersChanged(ringing, tableOf({"in  5  minutes !"}));      // "delete 1" while it rings
    notices.ordersChanged(tableOf({"in  5  minutes !"}), tableOf({}));  // "stop"
    notices.ordersChanged(quiet, ringing);
    EXPECT_EQ(desktop.log,
              (std::vector<std::string>{"show 1 Order 2 is ringing: in 5 minutes", "withdraw 1",
                                        "show 2 Order 2 is ringing: in 5 minutes"}));
}

}  // namespace
}  // namespace tallowick
