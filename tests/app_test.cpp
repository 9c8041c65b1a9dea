// The desktop side: layout, preferences, the lock, notices, the two front-ends, what is heard.

#include <SDL_mixer.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <span>
#include <thread>

#include "audio/espeak_voice.h"
#include "audio/sdl_sound_player.h"
#include "audio/sound_names.h"
#include "fakes.h"
#include "orders/ringing.h"
#include "posix/instance_lock.h"
#include "posix/posix_adapters.h"
#include "start/layout.h"
#include "start/preferences.h"
#include "terminal/terminal_frontend.h"
#include "wav.h"
#include "window/form1.h"

namespace tallowick {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// "portable DIR" (all three directories the same), "installed DATA CONFIG" or "error".
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

// Under /proc no directory can be made, whatever the code tries.
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
    Rig rig;
    std::string error;
    rig.files.writesFail = true;
    EXPECT_EQ(settleVoiceChoice("none", dir, rig.files, rig.diagnostics, error), VoiceChoice::none);
    rig.files.readsFail = true;
    EXPECT_EQ(settleVoiceChoice("", dir, rig.files, rig.diagnostics, error), VoiceChoice::espeak);
    EXPECT_EQ(rig.diagnostics.lines,
              (std::vector<std::string>{
                  "tallowick: " + path +
                      " could not be written; the voice is not kept for the next start",
                  "tallowick: " + path + " could not be read"}));
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

// A table from "words" entries, each sounding when marked with a trailing '!'.
OrderTable tableOf(std::initializer_list<std::string> orders) {
    OrderTable table;
    for (const std::string& words : orders) {
        const bool sounding = words.ends_with('!');
        table.append({words.substr(0, words.size() - sounding), {}, 0, "chime.wav", sounding});
    }
    return table;
}

TEST(RingingTest, AnOrderKeepsItsRingingAcrossRenumbering) {
    const std::tuple<const char*, OrderTable, OrderTable, std::vector<int>> rows[] = {
        {"starts", tableOf({"in 1 h", "in 5 m"}), tableOf({"in 1 h", "in 5 m!"}), {2}},
        {"rings on", tableOf({"in 5 m!"}), tableOf({"in 5 m!"}), {}},
        {"renumbered by a delete", tableOf({"mark", "in 5 m!"}), tableOf({"in 5 m!"}), {}},
        {"one of two alike", tableOf({"in 5 m!", "in 5 m"}), tableOf({"in 5 m!", "in 5 m!"}), {2}},
        {"stopped", tableOf({"in 5 m!"}), tableOf({}), {}},
    };
    for (const auto& [what, before, after, started] : rows) {
        EXPECT_EQ(startedSounding(before, after), started) << what;
    }
}

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

const QColor white(255, 255, 255), green(0, 255, 0), black(0, 0, 0), red(255, 0, 0);

struct Form1Test : ::testing::Test {
    static void SetUpTestSuite() {
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("app_tests"), nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete app; }  // before Qt's own statics go
    static inline QApplication* app = nullptr;
    Rig fakes;  // its own core stays unused
    Form1 form{fakes.clock, fakes.voice,       fakes.player, fakes.shell,
               fakes.files, fakes.diagnostics, "/prog"};

    void SetUp() override { form.Timer1->stop(); }  // the tests tick by hand
    void type(const char* text, Qt::KeyboardModifiers modifiers = {}, int key = Qt::Key_Return) {
        form.Text1->setText(QString::fromUtf8(text));
        QTest::keyClick(form.Text1, static_cast<Qt::Key>(key), modifiers);
    }
    // The panel's 18 pixel rows from `top` as they must be: `text` in `ink` on `fill`, 2 pixels in.
    void expectRow(int top, QColor fill, QColor ink = white, const char* text = "") {
        QImage row(161, 18, form.canvas().image().format());
        row.fill(fill);
        QPainter painter(&row);
        painter.setFont(form.canvas().font());
        painter.setPen(ink);
        painter.drawText(2, QFontMetrics(painter.font()).ascent(), QString::fromUtf8(text));
        painter.end();
        EXPECT_EQ(form.canvas().image().copy(0, top, 161, 18), row) << top << " " << text;
    }
};

TEST_F(Form1Test, EitherEnterHandsTheLineToTheCoreAndClearsTheBoxButExitEndsAsItIs) {
    type("In 5 M");
    EXPECT_EQ(form.Text1->text(), QString());
    EXPECT_EQ(fakes.voice.last(), "say:Alarm number 1 set for  5  minutes ");
    type("mark", Qt::ControlModifier, Qt::Key_Enter);
    type("mark", Qt::ShiftModifier);
    EXPECT_EQ(form.core().table().orderCount(), 3);
    EXPECT_EQ(fakes.files.replaces, 3);
    QSignalSpy exits(&form, &Form1::exitRequested);
    type("exit");
    EXPECT_TRUE(exits.count() == 1 && form.Text1->text() == QStringLiteral("exit"));
}

TEST_F(Form1Test, ThePanelShowsAlarmsWhiteRingingRedAndMarksGreenUntilAnOrderIsRemoved) {
    type("in 1 h");
    type("in 1 s");
    type("mark");
    fakes.clock.advance(1);
    form.Timer1_Timer();
    const QFont font = form.canvas().font();
    EXPECT_TRUE(font.bold() && QFontMetrics(font).height() <= 18);
    expectRow(0, white, black, "59 m 59 s");
    expectRow(18, white, red, "0 s");
    expectRow(36, green, black, "1 s");
    EXPECT_EQ(form.canvas().image().pixelColor(80, 54), green);  // a box takes in its lower edge
    expectRow(55, white);                                        // below the last row, untouched

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.Picture1->grab().toImage().pixelColor(150, 40), green);
    type("delete 1");
    expectRow(0, white);  // cleared until the next tick
    form.Timer1_Timer();
    expectRow(18, green, black, "1 s");
    expectRow(37, white);
}

// The terminal front-end on fakes, fed and read (once `startReading`) by threads, as by pipes.
struct TerminalRun {
    Rig fakes;  // its own core stays unused
    Files* files = &fakes.files;
    SoundPlayer* player = &fakes.player;
    std::function<bool()> startReading = [] { return true; };
    std::string output;

    void run(const std::string& input, bool interactive = false, SecondTicker* ticker = nullptr,
             int prefilledOutputBytes = 0) {
        int in[2], out[2];
        ASSERT_EQ(::pipe(in), 0);
        ASSERT_EQ(::pipe(out), 0);
        std::thread writer([&] {
            writeAll(in[1], input);
            ::close(in[1]);
        });
        std::thread reader([&] {
            while (!startReading()) std::this_thread::yield();
            char buffer[65536];
            for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
                output.append(buffer, static_cast<size_t>(n));
            }
            output.erase(0, static_cast<size_t>(prefilledOutputBytes));
        });
        if (prefilledOutputBytes > 0) {
            ::fcntl(out[1], F_SETPIPE_SZ, prefilledOutputBytes);
            writeAll(out[1], std::string(static_cast<size_t>(prefilledOutputBytes), '#'));
        }
        {
            EchoingVoice voice(fakes.voice, out[1]);
            Core core(Seams{fakes.clock, voice, *player, fakes.canvas, fakes.shell, *files,
                            fakes.diagnostics},
                      "/prog");
            SecondTicker unstarted;  // the run ends long before a second passes
            runTerminal(core, ticker ? *ticker : unstarted,
                        TerminalOptions{in[0], out[1], interactive, {}});
        }
        ::close(out[1]);
        writer.join();
        reader.join();
        ::close(in[0]);
        ::close(out[0]);
    }
};

// What each line prints is the e2e tests' part; these hold what only a unit test reaches: the
// prompt, and an endless line that costs no memory, its bytes over the cap never kept.
TEST(TerminalFrontendTest, APromptOnlyOnATerminalAndALineOverTheCapIsIncorrectAndDropped) {
    const std::string incorrect = std::string(Core::kIncorrectEntryReply) + "\n";
    const std::tuple<std::string, std::string, bool> rows[] = {
        {"time\n", "> 14:05:09\n> ", true},
        {std::string(Core::kMaxLineBytes, 'x') + "\r\ntime\n", incorrect + "14:05:09\n", false},
        {std::string(Core::kMaxLineBytes + 1, 'x') + "\ntime", incorrect + "14:05:09\n", false},
        {std::string(16 << 20, 'x'), incorrect, false},  // no line end before the input ends
    };
    for (const auto& [input, output, interactive] : rows) {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        TerminalRun t;
        t.run(input, interactive);
        ::getrusage(RUSAGE_SELF, &after);
        EXPECT_EQ(t.output, output) << input.size();
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 8 << 10) << "KiB more for " << input.size();
    }
}

// Every 1000th save lets a wall-clock second pass; notes the saves before each sound.
struct SecondEvery1000Saves final : MemoryFiles, SoundPlayer {
    FakeClock& clock;
    SecondTicker ticker{[this] { return second.load(); }};
    std::atomic<int64_t> second{0};
    std::atomic<int> saves{0};
    std::vector<int> rangAfterSaves;

    explicit SecondEvery1000Saves(FakeClock& c) : clock(c) {}
    bool replace(const std::string& path, const std::string& contents, int mode) override {
        if (++saves % 1000 == 0) {
            clock.advance(1);
            ++second;
            const itimerspec past{{0, 0}, {1, 0}};  // long gone: the timer fires at once
            ::timerfd_settime(ticker.fd(), TFD_TIMER_ABSTIME, &past, nullptr);
        }
        return MemoryFiles::replace(path, contents, mode);
    }
    bool play(const std::string&) override {
        rangAfterSaves.push_back(saves);
        return true;
    }
    void stop() override {}
};

TEST(TerminalFrontendTest, ALongBatchIntoABlockedPipeLetsEveryTickRingOnTime) {
    TerminalRun t;
    SecondEvery1000Saves world(t.fakes.clock);
    ASSERT_TRUE(world.ticker.start());
    t.files = &world;
    t.player = &world;
    // Nothing reads the output, whose pipe is already full, until 15 s of the batch are gone.
    t.startReading = [&] { return world.saves >= 15000; };
    std::string batch = "in 1 s\n";
    for (int i = 0; i < 20000; ++i) batch += "time\n";
    ::alarm(60);  // a loop that waits on its output never ends: fail rather than hang
    t.run(batch, false, &world.ticker, 4096);
    ::alarm(0);

    EXPECT_EQ(world.saves, 20001);  // every line handled, each with its own save
    ASSERT_EQ(world.rangAfterSaves.size(), 20u);
    for (size_t i = 0; i < world.rangAfterSaves.size(); ++i) {
        const int late = world.rangAfterSaves[i] - 1000 * static_cast<int>(i + 1);
        EXPECT_TRUE(late >= 0 && late < 200)
            << "tick " << i + 1 << " came " << late << " lines late";
    }
    EXPECT_NE(t.output.find(" lines of output dropped while nothing read it\n"), std::string::npos);
    EXPECT_TRUE(t.output.ends_with("14:05:29\n")) << t.output.substr(t.output.size() - 40);
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
    SecondTicker ticker;
    for (const auto& [readBytes, readError, second, tick] : rows) {
        EXPECT_EQ(ticker.decide(readBytes, readError, second), tick) << second << " " << readError;
    }
}

// 1.8 s pins voice and rate (2.5 s at the normal 175 words a minute, 2.1 s in German).
TEST(EspeakVoiceTest, AReplyIsBriskEnglishSpeechClearOfClipping) {
    std::vector<short> samples;
    int sampleRate = 0;
    std::string error;
    if (!EspeakVoice::renderToMemory("", samples, sampleRate, error)) {
        GTEST_SKIP() << "eSpeak NG cannot start on this machine: " << error;
    }
    ASSERT_TRUE(EspeakVoice::renderToMemory("Alarm number 1 set for  2  hours  10  minutes ",
                                            samples, sampleRate, error))
        << error;
    const double seconds = static_cast<double>(samples.size()) / sampleRate;
    int peak = 0;
    for (short s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_TRUE(seconds > 1.65 && seconds < 1.95) << seconds;
    EXPECT_TRUE(peak > 32767 * 8 / 10 && peak < 32767) << "below full volume or clipping: " << peak;

    // The engine, once taken for rendering, is refused to speech with a one-line reason.
    EXPECT_EQ(EspeakVoice::create(error), nullptr);
    EXPECT_TRUE(error.starts_with("tallowick: ") && error.find('\n') == std::string::npos) << error;
}

// A wave file of `frames` frames of a tone, 16-bit mono at 44.1 kHz.
std::string tone(int frames) {
    std::vector<std::int16_t> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) samples[i] = static_cast<std::int16_t>(8000 * std::sin(i));
    const std::vector<std::uint8_t> bytes = wav::encodeMono16(samples, 44100);
    return {bytes.begin(), bytes.end()};
}

// An AIFF file, which the mixer decodes too: 4410 mono 16-bit frames at 44.1 kHz.
const std::string aiff = std::string(
                             "FORM\0\0\x22\xA2"
                             "AIFFCOMM\0\0\0\x12\0\x01\0\0\x11\x3A\0\x10"
                             "\x40\x0E\xAC\x44\0\0\0\0\0\0"
                             "SSND\0\0\x22\x7C\0\0\0\0\0\0\0\0",
                             54) +
                         std::string(8820, '\x10');

struct SdlSoundPlayerTest : ::testing::Test {
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);  // opens and paces like a device, silently
        dir = freshDirectory("tallowick-sound");
        write("alert.wav", tone(alertFrames));
        std::string error;
        // The real player keeps its device three seconds after a sound; this one a twentieth.
        player = SdlSoundPlayer::create(dir.string(), "alert.wav", error, 50ms);
        ASSERT_NE(player, nullptr) << error;
    }
    void TearDown() override {
        player.reset();
        fs::remove_all(dir);
    }
    void write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // Plays `name` and checks what started: `frames` of the file `path`, decoded for the mixer.
    void expectPlays(const std::string& name, const fs::path& path, int frames) {
        EXPECT_TRUE(player->play(name) && player->playing()) << name;
        int frequency = 0, channels = 0;
        Uint16 format = 0;
        Mix_QuerySpec(&frequency, &format, &channels);
        EXPECT_EQ(player->lastStarted().path, path.string()) << name;
        EXPECT_EQ(player->lastStarted().bytes, frames * channels * (SDL_AUDIO_BITSIZE(format) / 8))
            << name;
    }
    bool closesWhenIdle() {
        for (int i = 0; i < 200 && player->deviceOpen(); ++i) std::this_thread::sleep_for(10ms);
        return !player->deviceOpen();
    }

    static constexpr int alertFrames = 11025;
    fs::path dir;
    std::unique_ptr<SdlSoundPlayer> player;
};

TEST_F(SdlSoundPlayerTest, AnythingButAWholeWaveFileAsItIsNowPlaysTheDefaultAlert) {
    const std::string whole = tone(22050);
    const std::pair<const char*, std::string> files[] = {
        {"empty.wav", ""},
        {"cut.wav", whole.substr(0, whole.size() / 2)},
        {"header.wav", whole.substr(0, 30)},
        {"text.wav", "This is not a sound.\n"},
        {"riff.wav", std::string("RIFF\x14\0\0\0WAVEjunkjunkjunkjunk", 28)},  // nothing sound
        {"silent.wav", tone(0)},
        // The mixer decodes more than wave files; only wave files are taken.
        {"sound.aiff.wav", aiff},
    };
    for (const auto& [name, bytes] : files) {
        write(name, bytes);
        expectPlays(name, dir / "alert.wav", alertFrames);
    }
    fs::create_directories(dir / "folder.wav");
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);  // opening it would block
    for (const char* name : {"nothing.wav", "folder.wav", "pipe.wav"}) {
        expectPlays(name, dir / "alert.wav", alertFrames);
    }
    // A file changed on disk is played as it is now, never as it was.
    write("tone.wav", tone(4410));
    expectPlays("tone.wav", dir / "tone.wav", 4410);
    expectPlays("tone.wav", dir / "tone.wav", 4410);
    write("tone.wav", tone(8820));
    expectPlays("tone.wav", dir / "tone.wav", 8820);
    write("tone.wav", "broken");  // no stale sound: the default alert
    expectPlays("tone.wav", dir / "alert.wav", alertFrames);
    write("alert.wav", "damaged");
    // The output works; there is nothing to play.
    EXPECT_TRUE(player->play("nothing.wav") && player->lastStarted().path.empty());
    EXPECT_FALSE(player->playing());
}

TEST_F(SdlSoundPlayerTest, StopCutsASoundOffAndTheIdleDeviceClosesUntilTheNextSoundOrAheadOfIt) {
    write("long.wav", tone(441000));
    player->stop();  // nothing playing: nothing happens
    ASSERT_TRUE(player->play("long.wav"));
    std::this_thread::sleep_for(200ms);  // four times the idle time
    EXPECT_TRUE(player->playing()) << "the device closed under a sound";
    player->stop();
    EXPECT_FALSE(player->playing());
    ASSERT_TRUE(closesWhenIdle());
    player->stop();  // the device closed: nothing happens either
    expectPlays("long.wav", dir / "long.wav", 441000);
    EXPECT_TRUE(player->deviceOpen());
    player->stop();
    ASSERT_TRUE(closesWhenIdle());
    player->prepare();
    EXPECT_TRUE(player->deviceOpen());
    EXPECT_TRUE(closesWhenIdle());  // and closes again if no sound comes
}

TEST_F(SdlSoundPlayerTest, ADeviceThatWillNotOpenIsReportedByEveryPlayUntilItOpens) {
    player->useDevice("no such device");
    ASSERT_TRUE(closesWhenIdle());
    for (int i = 0; i < 2; ++i) {
        player->prepare();
        EXPECT_FALSE(player->play("alert.wav") || player->deviceOpen());
        EXPECT_EQ(player->lastStarted().path, "");
    }
    player->stop();
    player->useDevice("");
    expectPlays("alert.wav", dir / "alert.wav", alertFrames);

    // No output at start (no sound server yet at login) is told, then tried at every sound.
    player.reset();
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    setenv("AUDIODEV", "no such device", 1);
    std::string error;
    player = SdlSoundPlayer::create(dir.string(), "alert.wav", error);
    ASSERT_NE(player, nullptr) << error;
    EXPECT_NE(error.find("tries it again"), std::string::npos) << error;
    EXPECT_FALSE(player->play("alert.wav"));
    player.reset();
    unsetenv("AUDIODEV");
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(SdlSoundPlayer::create(dir.string(), "alert.wav", error), nullptr);
    EXPECT_TRUE(error.starts_with("tallowick: ") && error.find('\n') == std::string::npos) << error;
}

constexpr double fullScale = 32768.0;

double rms(std::span<const std::int16_t> s) {
    double sum = 0.0;
    for (std::int16_t v : s) sum += static_cast<double>(v) * v;
    return std::sqrt(sum / static_cast<double>(s.size()));
}

// A one-shot alarm restarts its sound every second, so chime and windup must fit in one.
TEST(SoundFilesTest, EachIsAClearClickFreeWaveOfItsLengthAndPitch) {
    constexpr size_t twoMs = 88;
    const auto dbfs = [](double amplitude) { return 20.0 * std::log10(amplitude / fullScale); };
    // The file, its length in seconds and its zero crossings a second, each from and to.
    const std::tuple<const char*, double, double, double, double> sounds[] = {
        {"chime.wav", 0.8, 1.2, 2500, 3400},
        {"windup.wav", 0.8, 1.2, 5000, 6500},
        {"deepbell.wav", 2.5, 3.5, 250, 500},
        {"alert.wav", 0.5, 0.8, 1800, 2500},
    };
    for (const auto& [file, minSeconds, maxSeconds, minCrossings, maxCrossings] : sounds) {
        SCOPED_TRACE(file);
        std::ifstream in(std::string(TALLOWICK_SOUNDS_DIR "/") + file, std::ios::binary);
        const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
        ASSERT_GT(bytes.size(), 44 + 20 * twoMs);
        std::vector<std::int16_t> s((bytes.size() - 44) / 2);
        for (size_t i = 0; i < s.size(); ++i) s[i] = bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8;
        EXPECT_EQ(wav::encodeMono16(s, 44100), bytes) << "not the canonical header at 44.1 kHz";

        const double seconds = static_cast<double>(s.size()) / 44100;
        int peak = 0, crossings = 0;
        double sum = 0.0;
        for (size_t i = 0; i < s.size(); ++i) {
            peak = std::max(peak, std::abs(static_cast<int>(s[i])));
            sum += s[i];
            crossings += i > 0 && (s[i - 1] < 0) != (s[i] < 0);
        }
        EXPECT_TRUE(seconds >= minSeconds && seconds <= maxSeconds) << seconds;
        EXPECT_TRUE(crossings / seconds >= minCrossings && crossings / seconds <= maxCrossings)
            << crossings / seconds;
        EXPECT_TRUE(dbfs(peak) >= -4.0 && dbfs(peak) <= -2.5) << dbfs(peak);
        // A click followed by near-silence can still peak at -3 dB; the overall level tells.
        EXPECT_GT(dbfs(rms(s)), -26.0);
        EXPECT_LT(std::abs(sum / static_cast<double>(s.size())), 0.001 * fullScale) << "DC offset";
        // From silence, ramping in over a few milliseconds, and back to silence at the end.
        const std::span<const std::int16_t> all = s;
        EXPECT_LT(std::max(std::abs(s.front()), std::abs(s.back())), 0.01 * fullScale);
        EXPECT_LT(rms(all.first(twoMs)),
                  std::min(0.15 * fullScale, 0.5 * rms(all.subspan(twoMs, 4 * twoMs))));
        EXPECT_LT(rms(all.last(twoMs)), 0.01 * fullScale);
    }
}

}  // namespace
}  // namespace tallowick
