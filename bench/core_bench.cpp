// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the program's hot paths, each timed per iteration so that the median and
// the 99th percentile can be given (counters median_us and p99_us):
//
//   line/orders:N       one typed line ("time") handled in full with N orders standing: the
//                       dispatch, the atomic save of settings.ini through PosixFiles (written,
//                       flushed to disk, renamed, directory flushed) and the speak request
//   bare_replace/orders:N  the baseline: the same bytes written, flushed, renamed and the
//                       directory flushed by hand, without the program
//   tick_logic/orders:50   one tick over 50 orders with a panel that draws nothing
//   tick_logic_stub_clock/orders:50  the same on a clock that costs nothing to read
//   tick_qt_panel/orders:50  one tick over 50 orders drawn into the window's QImage canvas
//   parse_settings/orders:50  the bytes of a 50-order settings file parsed in memory
//   load_settings/orders:50   a 50-order settings.ini loaded from disk by Core::load
//
// The files go to a fresh directory under $TALLOWICK_BENCH_DIR (default /var/tmp), which is
// removed at the end; it should be on a real disk, not a tmpfs, for the flushes to mean
// anything. The Qt canvas needs fonts: the benchmarks run on Qt's offscreen platform.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "commands/core.h"
#include "fakes.h"
#include "orders/settings_file.h"
#include "ports/null_adapters.h"
#include "posix/posix_adapters.h"
#include "window/qt_panel_canvas.h"

using namespace tallowick;

namespace {

std::string g_root;  // the directory that holds every benchmark's files

// A fresh, empty directory under the root for one benchmark.
std::string freshDirectory(const std::string& name) {
    const std::string dir = g_root + "/" + name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Runs `body` once per iteration, timing each run on its own, and reports the median and the
// 99th percentile in microseconds.
template <typename Body>
void timeEach(benchmark::State& state, Body&& body) {
    std::vector<double> us;
    us.reserve(static_cast<size_t>(state.max_iterations));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        body();
        const auto end = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    if (us.empty()) return;
    state.counters["median_us"] = bench::percentile(us, 0.5);
    state.counters["p99_us"] = bench::percentile(us, 0.99);
}

// The real clock and files; everything else a stand-in that keeps nothing.
struct DiskRig {
    SystemClock clock;
    bench::LastTextVoice voice;
    SilentSoundPlayer player;
    NoPanel panel;
    FakeShell shell;
    PosixFiles files;
    FakeDiagnostics diagnostics;
    Core core;

    explicit DiskRig(const std::string& dir)
        : core(Seams{clock, voice, player, panel, shell, files, diagnostics}, dir) {}
};

void BM_Line(benchmark::State& state) {
    const int standing = static_cast<int>(state.range(0));
    const std::string dir = freshDirectory("line" + std::to_string(standing));
    if (standing > 0 && !writeFile(dir + "/settings.ini", bench::makeSettings(standing))) {
        state.SkipWithError("cannot write settings.ini");
        return;
    }
    DiskRig rig(dir);
    rig.core.load();
    if (rig.core.table().orderCount() != standing) {
        state.SkipWithError("the settings file did not load");
        return;
    }
    timeEach(state, [&] { rig.core.line("time"); });
    if (rig.voice.last.empty() || !rig.diagnostics.lines.empty())
        state.SkipWithError("the line was not answered, or not saved");
}
BENCHMARK(BM_Line)->Name("line")->ArgName("orders")->Arg(0)->Arg(50)->Iterations(300);

// What any program pays to replace a file durably: a temporary file written and flushed, renamed
// over the target, and the directory flushed.
void BM_BareReplace(benchmark::State& state) {
    const int standing = static_cast<int>(state.range(0));
    const std::string dir = freshDirectory("bare" + std::to_string(standing));
    const std::string path = dir + "/settings.ini";
    const std::string temp = path + ".tmp";
    const std::string bytes = bench::makeSettings(standing);
    bool ok = true;
    timeEach(state, [&] {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ok = ok && fd >= 0 &&
             ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
             ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
        const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ok = ok && dirFd >= 0 && ::fsync(dirFd) == 0;
        ::close(dirFd);
    });
    if (!ok) state.SkipWithError("write, fsync or rename failed");
}
BENCHMARK(BM_BareReplace)
    ->Name("bare_replace")
    ->ArgName("orders")
    ->Arg(0)
    ->Arg(50)
    ->Iterations(300);

// A core holding the orders of a 50-order settings file, with `panel` as its panel.
struct TickRig {
    SystemClock clock;
    bench::LastTextVoice voice;
    SilentSoundPlayer player;
    FakeShell shell;
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    Core core;

    TickRig(PanelCanvas& panel, int standing)
        : core(Seams{clock, voice, player, panel, shell, files, diagnostics}, "/bench") {
        files.files["/bench/settings.ini"] = bench::makeSettings(standing);
        core.load();
    }
};

void BM_TickLogic(benchmark::State& state) {
    const int standing = static_cast<int>(state.range(0));
    NoPanel panel;
    TickRig rig(panel, standing);
    if (rig.core.table().orderCount() != standing) {
        state.SkipWithError("the settings file did not load");
        return;
    }
    timeEach(state, [&] { rig.core.tick(); });
}
BENCHMARK(BM_TickLogic)->Name("tick_logic")->ArgName("orders")->Arg(50)->Iterations(20000);

// The same tick on a clock that costs nothing to read: what the tick's own logic costs without
// the two readings of the system clock that it takes per order.
void BM_TickLogicStubClock(benchmark::State& state) {
    const int standing = static_cast<int>(state.range(0));
    NoPanel panel;
    FakeClock clock;
    bench::LastTextVoice voice;
    SilentSoundPlayer player;
    FakeShell shell;
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    Core core(Seams{clock, voice, player, panel, shell, files, diagnostics}, "/bench");
    files.files["/bench/settings.ini"] = bench::makeSettings(standing);
    core.load();
    if (core.table().orderCount() != standing) {
        state.SkipWithError("the settings file did not load");
        return;
    }
    timeEach(state, [&] { core.tick(); });
}
BENCHMARK(BM_TickLogicStubClock)
    ->Name("tick_logic_stub_clock")
    ->ArgName("orders")
    ->Arg(50)
    ->Iterations(20000);

void BM_TickQtPanel(benchmark::State& state) {
    const int standing = static_cast<int>(state.range(0));
    // The size of the window's panel; the callback stands in for scheduling a repaint.
    long changes = 0;
    QtPanelCanvas panel(161, 241, [&changes] { ++changes; });
    TickRig rig(panel, standing);
    if (rig.core.table().orderCount() != standing) {
        state.SkipWithError("the settings file did not load");
        return;
    }
    timeEach(state, [&] { rig.core.tick(); });
    benchmark::DoNotOptimize(changes);
}
BENCHMARK(BM_TickQtPanel)->Name("tick_qt_panel")->ArgName("orders")->Arg(50)->Iterations(2000);

void BM_ParseSettings(benchmark::State& state) {
    const int standing = static_cast<int>(state.range(0));
    const std::string bytes = bench::makeSettings(standing);
    SystemClock clock;  // the dues are read in the local time zone
    bool ok = true;
    timeEach(state, [&] {
        ParsedSettings parsed = parseSettings(bytes, clock);
        ok = ok && !parsed.damaged && parsed.table.orderCount() == standing;
        benchmark::DoNotOptimize(parsed);
    });
    if (!ok) state.SkipWithError("the settings file did not parse");
}
BENCHMARK(BM_ParseSettings)->Name("parse_settings")->ArgName("orders")->Arg(50)->Iterations(5000);

void BM_LoadSettings(benchmark::State& state) {
    const int standing = static_cast<int>(state.range(0));
    const std::string dir = freshDirectory("load" + std::to_string(standing));
    if (!writeFile(dir + "/settings.ini", bench::makeSettings(standing))) {
        state.SkipWithError("cannot write settings.ini");
        return;
    }
    bool ok = true;
    timeEach(state, [&] {
        DiskRig rig(dir);
        rig.core.load();
        ok = ok && rig.core.table().orderCount() == standing && rig.diagnostics.lines.empty();
    });
    if (!ok) state.SkipWithError("the settings file did not load");
}
BENCHMARK(BM_LoadSettings)->Name("load_settings")->ArgName("orders")->Arg(50)->Iterations(2000);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

    const char* base = std::getenv("TALLOWICK_BENCH_DIR");
    std::string pattern = std::string(base && *base ? base : "/var/tmp") + "/core_bench.XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("core_bench: mkdtemp");
        return 1;
    }
    g_root = pattern;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(g_root);
    return 0;
}
