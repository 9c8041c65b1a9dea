// The two front-ends on fakes: the window on Qt's offscreen platform (typed lines reach the core,
// the panel's pixels follow the ticks of a fake clock) and the terminal on pipes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>

#include "app/form1.h"
#include "app/terminal_frontend.h"
#include "fakes.h"
#include "platform/posix_adapters.h"

namespace tallowick {
namespace {

const QColor white(255, 255, 255), green(0, 255, 0), black(0, 0, 0), red(255, 0, 0);

struct Form1Test : ::testing::Test {
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() { delete app; }  // before Qt's own statics go
    static inline QApplication* app = nullptr;
    FakeClock clock;
    FakeVoice voice;
    FakeSoundPlayer player;
    FakeShell shell;
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    Form1 form{clock, voice, player, shell, files, diagnostics, "/prog"};

    void SetUp() override { form.Timer1->stop(); }  // the tests tick by hand
    void type(const char* text, Qt::KeyboardModifiers modifiers = {}, int key = Qt::Key_Return) {
        form.Text1->setText(QString::fromUtf8(text));
        QTest::keyClick(form.Text1, static_cast<Qt::Key>(key), modifiers);
    }
    // How many pixels of the panel's row at `top` have exactly `color`.
    int count(int top, QColor color) const {
        int n = 0;
        for (int y = top + 1; y < top + 18; ++y) {
            for (int x = 0; x < 161; ++x) n += form.canvas().image().pixelColor(x, y) == color;
        }
        return n;
    }
};

// The first column with anything but white in the top row of `image`.
int firstInk(const QImage& image) {
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < 18; ++y) {
            if (image.pixelColor(x, y) != white) return x;
        }
    }
    return -1;
}

TEST_F(Form1Test, EitherEnterHandsTheLineToTheCoreAndClearsTheBoxButExitEndsAsItIs) {
    type("In 5 M");
    EXPECT_EQ(form.core().table().orderCount(), 1);
    EXPECT_EQ(form.Text1->text(), QString());
    EXPECT_EQ(voice.last(), "say:Alarm number 1 set for  5  minutes ");
    type("mark", Qt::ControlModifier, Qt::Key_Enter);
    type("mark", Qt::ShiftModifier);
    EXPECT_EQ(form.core().table().orderCount(), 3);
    EXPECT_EQ(files.replaces, 3);
    QSignalSpy exits(&form, &Form1::exitRequested);
    type("exit");
    EXPECT_EQ(exits.count(), 1);
    EXPECT_EQ(form.Text1->text(), QStringLiteral("exit"));
}

TEST_F(Form1Test, ThePanelShowsAlarmsWhiteRingingRedAndMarksGreenUntilAnOrderIsRemoved) {
    type("in 1 h");
    type("in 1 s");
    type("mark");
    clock.advance(1);
    form.Timer1_Timer();
    const QFont font = form.canvas().font();
    EXPECT_TRUE(font.bold() && QFontMetrics(font).height() <= 18);
    EXPECT_GT(count(0, black), 20);  // a waiting alarm, black on white
    EXPECT_EQ(count(0, red) + count(0, green), 0);
    EXPECT_GT(count(18, red), 5);  // the alarm going off, red 0 s on white
    EXPECT_EQ(count(18, black), 0);
    EXPECT_GT(count(36, green), 1000);  // a mark, black on green
    EXPECT_GT(count(36, black), 5);
    EXPECT_EQ(count(36, white), 0);
    EXPECT_EQ(form.canvas().image().pixelColor(80, 54), green);  // a box takes in its lower edge
    EXPECT_EQ(count(54, white), 161 * 17);                       // below the last row, untouched
    // Text starts 2 pixels in: 2 columns right of where the same text alone starts at 0.
    QImage alone(161, 18, QImage::Format_RGB32);
    alone.fill(white);
    QPainter painter(&alone);
    painter.setFont(font);
    painter.drawText(0, QFontMetrics(font).ascent(), QStringLiteral("59 m 59 s"));
    painter.end();
    EXPECT_EQ(firstInk(form.canvas().image()), firstInk(alone) + 2);

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.Picture1->grab().toImage().pixelColor(150, 40), green);
    type("delete 1");
    EXPECT_EQ(count(0, white), 161 * 17);  // cleared until the next tick
    form.Timer1_Timer();
    EXPECT_GT(count(18, green), 1000);
    EXPECT_EQ(count(36, white), 161 * 17);
}

// Runs the terminal front-end over `input` on fakes and returns what it wrote. The input is
// fed and the output read by threads of their own, as a shell pipe would; the output is read
// only once `startReading` says so.
struct TerminalRun {
    FakeClock clock;
    FakeVoice spoken;
    FakeSoundPlayer fakePlayer;
    FakeCanvas canvas;
    FakeShell shell;
    MemoryFiles memoryFiles;
    FakeDiagnostics diagnostics;
    Files* files = &memoryFiles;
    SoundPlayer* player = &fakePlayer;
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
            EchoingVoice voice(spoken, out[1]);
            Core core(Seams{clock, voice, *player, canvas, shell, *files, diagnostics}, "/prog");
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

// What each line prints, CR LF line ends, a last line without one and "exit" are the
// end-to-end transcripts' and cli.sh's part; these cases hold what only a unit test can reach.
TEST(TerminalFrontendTest, AnInteractiveTerminalGetsAPromptAfterEachAnswer) {
    TerminalRun t;
    t.run("time\n", true);
    EXPECT_EQ(t.output, "> 14:05:09\n> ");
}

// A line over the cap is answered as an incorrect entry, and its bytes are never kept: an
// endless line costs no memory.
TEST(TerminalFrontendTest, ALineOverTheCapIsIncorrectAndItsBytesAreDropped) {
    const std::string incorrect = std::string(Core::kIncorrectEntryReply) + "\n";
    struct Row {
        std::string input;
        std::string output;
    } rows[] = {
        {std::string(Core::kMaxLineBytes, 'x') + "\r\ntime\n", incorrect + "14:05:09\n"},
        {std::string(Core::kMaxLineBytes + 1, 'x') + "\ntime", incorrect + "14:05:09\n"},
        {std::string(16 << 20, 'x'), incorrect},  // no line end before the input ends
    };
    for (const Row& row : rows) {
        rusage before{}, after{};
        ::getrusage(RUSAGE_SELF, &before);
        TerminalRun t;
        t.run(row.input);
        ::getrusage(RUSAGE_SELF, &after);
        EXPECT_EQ(t.output, row.output) << row.input.size();
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 8 << 10)
            << "KiB more for " << row.input.size();
    }
}

// Saves that, every 1000th time, let a wall-clock second pass: the ticker's timer fires and
// the fake clock moves on. Notes how many saves came before each sound.
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
            itimerspec past{};
            past.it_value.tv_sec = 1;  // long gone: the timer fires at once
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
    SecondEvery1000Saves world(t.clock);
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

// The ticker's decision on each wake-up: never two ticks in one wall-clock second, and a tick
// at once when the clock was set.
TEST(SecondTickerTest, TicksOncePerSecondAndAtOnceWhenTheClockIsSet) {
    constexpr ssize_t kExpired = sizeof(uint64_t);
    struct Row {
        ssize_t readBytes;
        int readError;
        int64_t second;
        bool tick;
    } rows[] = {
        {kExpired, 0, 100, true},     // the boundary of second 100
        {kExpired, 0, 100, false},    // woken again within it
        {-1, ECANCELED, 100, false},  // the clock set within the same second
        {-1, ECANCELED, 40, true},    // the clock set back a minute
        {-1, EIO, 41, false},         // no expiry read
        {kExpired, 0, 41, true},      // the next boundary
        {-1, ECANCELED, 3641, true},  // set forward an hour
    };
    SecondTicker ticker;
    for (const Row& row : rows) {
        EXPECT_EQ(ticker.decide(row.readBytes, row.readError, row.second), row.tick)
            << row.second << " " << row.readError;
    }
}

}  // namespace
}  // namespace tallowick
