// SPDX-License-Identifier: GPL-3.0-or-later
// The terminal front-end on fakes, fed and read by threads as by pipes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fakes.h"
#include "posix/posix_adapters.h"
#include "terminal/echoing_voice.h"
#include "terminal/terminal_frontend.h"

namespace tallowick {
namespace {

using namespace std::chrono_literals;

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
            OutputQueue queue(out[1]);
            EchoingVoice voice(fakes.voice, queue);
            Core core(Seams{fakes.clock, voice, *player, fakes.canvas, fakes.shell, *files,
                            fakes.diagnostics},
                      "/prog");
            SecondTicker unstarted(fakes.diagnostics);  // the run ends long before a second passes
            runTerminal(core, ticker ? *ticker : unstarted, queue,
                        TerminalOptions{in[0], interactive, {}});
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
    Rig& fakes;
    SecondTicker ticker{fakes.diagnostics, [this] { return second.load(); }};
    std::atomic<int64_t> second{0};
    std::atomic<int> saves{0};
    std::vector<int> rangAfterSaves;

    explicit SecondEvery1000Saves(Rig& r) : fakes(r) {}
    bool replace(const std::string& path, const std::string& contents, int mode) override {
        if (++saves % 1000 == 0) {
            fakes.clock.advance(1);
            ++second;
            const itimerspec past{{0, 0}, {1, 0}};  // long gone: the timer fires at once
            ::timerfd_settime(ticker.fd(), TFD_TIMER_ABSTIME, &past, nullptr);
        }
        return MemoryFiles::replace(path, contents, mode);
    }
    bool play(int, const std::string&) override {
        rangAfterSaves.push_back(saves);
        return true;
    }
    void stop(int) override {}
    void stopAll() override {}
};

TEST(TerminalFrontendTest, ALongBatchIntoABlockedPipeLetsEveryTickRingOnTime) {
    TerminalRun t;
    SecondEvery1000Saves world(t.fakes);
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

}  // namespace
}  // namespace tallowick
