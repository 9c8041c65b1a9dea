// SPDX-License-Identifier: GPL-3.0-or-later
// How late alarms ring: the time from the start of an alarm's due wall-clock second to the
// sound's play request, over many one-shot alarms ("in 1 s", then "stop" once it rang), for
// three tick sources run side by side:
//
//   ticker-poll   the terminal front-end's: SecondTicker (a timerfd at every wall-clock second
//                 boundary) watched with poll(), in a thread of its own.
//   ticker-qt     the window's: SecondTimer (the same ticker behind a QSocketNotifier) in Qt's
//                 event loop, in the main thread.
//   free-running  the baseline: a plain 1000 ms timer (timerfd on CLOCK_MONOTONIC), as a program
//                 that starts a one-second timer at an arbitrary moment has, in a thread of its
//                 own. It is re-started at a new random phase after every alarm, so that the
//                 samples cover every phase of the timer against the second boundary.
//
//   firing_latency [--samples N]     prints one JSON object on standard output
//
// Each source drives a Core of its own on the program's SystemClock. The play request is
// stamped with CLOCK_REALTIME inside SoundPlayer::play(); the program's files, voice, panel and
// shell are stand-ins. At every tick it also checks that SystemClock shows the same second as
// clock_gettime(CLOCK_REALTIME): a clock that lags at the boundary makes every alarm a second
// late.

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QTimer>

#include "bench_support.h"
#include "commands/core.h"
#include "fakes.h"
#include "ports/null_adapters.h"
#include "posix/posix_adapters.h"
#include "posix/second_ticker.h"
#include "window/second_timer.h"

using namespace tallowick;

namespace {

// The second that the real-time clock shows now, since 1970.
int64_t realTimeSecond() {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec;
}

// Stamps every play request with the real-time clock.
class StampingPlayer final : public SoundPlayer {
  public:
    bool played = false;
    timespec stamp{};
    bool play(int, const std::string&) override {
        ::clock_gettime(CLOCK_REALTIME, &stamp);
        played = true;
        return true;
    }
    void stop(int) override {}
    void stopAll() override {}
};

enum class Source { tickerPoll, tickerQt, freeRunning };

const char* nameOf(Source source) {
    switch (source) {
        case Source::tickerPoll:
            return "ticker-poll";
        case Source::tickerQt:
            return "ticker-qt";
        case Source::freeRunning:
            return "free-running";
    }
    return "?";
}

struct Run {
    Source source = Source::tickerPoll;
    int wanted = 0;
    std::vector<double> latenciesMs;
    long ticks = 0;
    // Ticks at which SystemClock showed another second than the real-time clock did.
    long staleTicks = 0;
    std::string error;
};

// Arms `fd` (a CLOCK_MONOTONIC timerfd) to expire every 1000 ms from a random moment within the
// next second.
bool armFreeRunning(int fd, std::mt19937_64& random) {
    std::uniform_int_distribution<long> phase(1, 999'999'999);
    itimerspec timer{};
    timer.it_value.tv_nsec = phase(random);
    timer.it_interval.tv_sec = 1;
    return ::timerfd_settime(fd, 0, &timer, nullptr) == 0;
}

// A Core on the program's SystemClock with one alarm always set, due in the next second. Call
// tick() at every tick; it records how late the alarm rang, stops it and sets the next one.
class Rig {
  public:
    explicit Rig(Run& run)
        : run_(run),
          core_(Seams{clock_, voice_, player_, panel_, shell_, files_, diagnostics_}, "/bench") {}

    bool setAlarm() {
        core_.line("in 1 s");
        const OrderTable& table = core_.table();
        if (table.orderCount() != 1) {
            run_.error = "\"in 1 s\" set no alarm";
            return false;
        }
        due_ = table.at(1).due.secondsSince1970();
        return true;
    }

    // Returns true when the alarm rang.
    bool tick() {
        ++run_.ticks;
        if (clock_.now().secondsSince1970() != realTimeSecond()) ++run_.staleTicks;
        player_.played = false;
        core_.tick();
        if (!player_.played) return false;
        const double ms = static_cast<double>(player_.stamp.tv_sec - due_) * 1e3 +
                          static_cast<double>(player_.stamp.tv_nsec) / 1e6;
        run_.latenciesMs.push_back(ms);
        core_.line("stop");
        return true;
    }

    bool done() const { return static_cast<int>(run_.latenciesMs.size()) >= run_.wanted; }

  private:
    Run& run_;
    SystemClock clock_;
    bench::LastTextVoice voice_;
    StampingPlayer player_;
    NoPanel panel_;
    FakeShell shell_;
    MemoryFiles files_;
    FakeDiagnostics diagnostics_;
    Core core_;
    std::time_t due_ = 0;
};

// Drives `run` from SecondTicker (Source::tickerPoll) or from a free-running timer, with poll()
// as the terminal front-end does.
void measureWithPoll(Run& run) {
    Rig rig(run);
    StderrDiagnostics diagnostics;
    SecondTicker ticker(diagnostics);
    int freeFd = -1;
    std::mt19937_64 random(std::random_device{}());
    if (run.source == Source::freeRunning) {
        freeFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
        if (freeFd < 0 || !armFreeRunning(freeFd, random)) {
            run.error = "cannot start a timerfd";
            return;
        }
    } else if (!ticker.start()) {
        run.error = "cannot start the second ticker";
        return;
    }
    const int fd = run.source == Source::freeRunning ? freeFd : ticker.fd();

    bool ok = rig.setAlarm();
    while (ok && !rig.done()) {
        pollfd watched{fd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, 5000);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            run.error = "no tick for 5 s";
            break;
        }
        if (run.source == Source::freeRunning) {
            std::uint64_t expirations = 0;
            if (::read(fd, &expirations, sizeof expirations) != sizeof expirations) continue;
        } else if (!ticker.due()) {
            continue;
        }
        if (!rig.tick()) continue;
        if (run.source == Source::freeRunning && !armFreeRunning(fd, random)) {
            run.error = "cannot re-arm the timerfd";
            break;
        }
        ok = rig.setAlarm();
    }
    if (freeFd >= 0) ::close(freeFd);
}

// Drives `run` from the window's SecondTimer in Qt's event loop; returns when it has its
// samples.
void measureWithQt(Run& run, QCoreApplication& app) {
    Rig rig(run);
    if (!rig.setAlarm()) return;
    StderrDiagnostics diagnostics;
    SecondTimer timer(diagnostics, nullptr);
    QObject::connect(&timer, &SecondTimer::timeout, &app, [&] {
        if (rig.tick() && (rig.done() || !rig.setAlarm())) QCoreApplication::quit();
    });
    // Gives up when no tick has come for 5 s.
    long ticksSeen = -1;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &app, [&] {
        if (run.ticks == ticksSeen) {
            run.error = "no tick for 5 s";
            QCoreApplication::quit();
        }
        ticksSeen = run.ticks;
    });
    watchdog.start(5000);
    timer.start();
    QCoreApplication::exec();
}

void printRun(Run& run, bool last) {
    std::printf("    \"%s\": {", nameOf(run.source));
    if (!run.error.empty()) std::printf("\"error\": \"%s\", ", run.error.c_str());
    std::printf("\"n\": %zu, \"ticks\": %ld, \"stale_ticks\": %ld", run.latenciesMs.size(),
                run.ticks, run.staleTicks);
    if (!run.latenciesMs.empty()) {
        std::vector<double>& v = run.latenciesMs;
        const double median = bench::percentile(v, 0.5);
        const double p99 = bench::percentile(v, 0.99);
        std::printf(", \"median_ms\": %.3f, \"p99_ms\": %.3f, \"min_ms\": %.3f, \"max_ms\": %.3f",
                    median, p99, v.front(), v.back());
    }
    std::printf("}%s\n", last ? "" : ",");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int samples = 110;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--samples") == 0 && i + 1 < argc) {
            samples = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: firing_latency [--samples N]\n");
            return 2;
        }
    }
    if (samples < 1) {
        std::fprintf(stderr, "firing_latency: --samples must be at least 1\n");
        return 2;
    }

    std::vector<Run> runs(3);
    runs[0].source = Source::tickerPoll;
    runs[1].source = Source::tickerQt;
    runs[2].source = Source::freeRunning;
    for (Run& run : runs) run.wanted = samples;
    std::thread poll(measureWithPoll, std::ref(runs[0]));
    std::thread freeRunning(measureWithPoll, std::ref(runs[2]));
    measureWithQt(runs[1], app);
    poll.join();
    freeRunning.join();

    std::printf("{\n  \"samples\": %d,\n  \"sources\": {\n", samples);
    for (size_t i = 0; i < runs.size(); ++i) printRun(runs[i], i + 1 == runs.size());
    std::printf("  }\n}\n");
    bool failed = false;
    for (const Run& run : runs) {
        if (!run.error.empty()) {
            std::fprintf(stderr, "firing_latency: %s: %s\n", nameOf(run.source), run.error.c_str());
            failed = true;
        }
    }
    return failed ? 1 : 0;
}
