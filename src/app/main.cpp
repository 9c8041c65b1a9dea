// SPDX-License-Identifier: GPL-3.0-or-later
// Tallowick: a voice-first alarm and timer. Starts the window (or, with --terminal or without
// a display, the terminal front-end), its voice and its sounds, one instance per data directory.
// The `tallowick` command runs this program; it answers the options itself too, when run alone.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <unistd.h>
#include <QApplication>

#include "audio/espeak_voice.h"
#include "audio/sdl_sound_player.h"
#include "audio/speechd_voice.h"
#include "bus/bus_service.h"
#include "bus/logind_sleep.h"
#include "bus/spoken_tap.h"
#include "config/build_config.h"
#include "orders/sleep_watch.h"
#include "ports/null_adapters.h"
#include "posix/instance_lock.h"
#include "posix/posix_adapters.h"
#include "posix/second_ticker.h"
#include "posix/wake_up_timer.h"
#include "start/launcher.h"
#include "start/layout.h"
#include "start/options.h"
#include "start/preferences.h"
#include "terminal/echoing_voice.h"
#include "terminal/terminal_frontend.h"
#include "window/main_window.h"
#include "window/qt_source_watch.h"
#include "window/screen_reader_voice.h"

using namespace tallowick;

namespace {

// Tells a fault that keeps the program from starting on standard error and, where there is a
// voice, aloud, and gives the exit status.
int refuseToStart(const std::string& line) {
    writeDiagnostic(line);
    std::string error;
    if (std::unique_ptr<EspeakVoice> voice = EspeakVoice::create(error)) {
        voice->say("Tallowick cannot start: " + line);
        // The voice speaks on a thread of its own and stops when destroyed: give it the time
        // the words take at its rate, and a little more.
        const auto words = static_cast<long>(std::count(line.begin(), line.end(), ' ') + 4);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(words * 60'000 / EspeakVoice::kRate + 800));
    }
    return 1;
}

// The chosen voice and the real sound player, or stand-ins, each missing one told in one line
// on standard error: speech-dispatcher or a screen reader missing falls back to the built-in
// voice. In the terminal a screen reader reads the written lines, so nothing speaks.
struct Outputs {
    std::unique_ptr<Voice> voice;
    std::unique_ptr<SoundPlayer> player;
    ScreenReaderVoice* screenReader = nullptr;  // when the screen reader presents the replies

    Outputs(const Layout& layout, Diagnostics& diagnostics, VoiceChoice choice, bool window,
            const std::string& notice) {
        // First, before anything else in the process uses libdbus (see SdlSoundPlayer::create).
        std::string error;
        player = SdlSoundPlayer::create(SoundDirs{layout.dataDir, layout.stockSoundDir},
                                        "alert.wav", error);
        if (!error.empty()) diagnostics.report(error);
        if (!player) player = std::make_unique<SilentSoundPlayer>();
        error.clear();
        if (choice == VoiceChoice::none || (choice == VoiceChoice::screenReader && !window)) {
            voice = std::make_unique<SilentVoice>();
        } else if (choice == VoiceChoice::speechDispatcher) {
            voice = SpeechdVoice::create(error);
            if (!voice) diagnostics.report(error + "; speaking with the built-in voice");
        } else if (choice == VoiceChoice::screenReader) {
            if (ScreenReaderVoice::screenReaderRunning()) {
                auto presenter = std::make_unique<ScreenReaderVoice>();
                screenReader = presenter.get();
                voice = std::move(presenter);
            } else {
                diagnostics.report("no screen reader is running; speaking with the built-in voice");
            }
        }
        if (!voice) voice = EspeakVoice::create(error);
        if (!voice) {
            diagnostics.report(error);
            voice = std::make_unique<SilentVoice>();
        }
        if (!notice.empty()) voice->queue(notice);
    }
};

// The computer's sleep kept in step with the orders of `core` from now on: a wake-up timer for
// the next alarm, logind's hold while one rings. `resumed` runs when the computer has woken.
struct Sleep {
    PosixWakeUpTimer wakeUps;
    LogindSleep logind;
    SleepWatch watch;
    WatcherSubscription watching;

    Sleep(Core& core, Diagnostics& diagnostics, std::function<void()> resumed)
        : wakeUps(executableDirectory() + "/tallowick-wake", diagnostics),
          logind(diagnostics, std::move(resumed)),
          watch(wakeUps, logind),
          watching(core.addWatcher(watch)) {
        watch.follow(core.table());
    }
};

int runWindow(int argc, char** argv, const Layout& layout, VoiceChoice choice, int zoom,
              const std::string& notice) {
    StderrDiagnostics diagnostics;
    Outputs outputs(layout, diagnostics, choice, true, notice);  // before Qt, as it says
    QApplication app(argc, argv);
    QApplication::setApplicationName("tallowick");
    QApplication::setDesktopFileName(kAppId);
    SpokenTap voice(*outputs.voice);
    SystemClock clock;
    PosixShell shell;
    PosixFiles files;
    MainWindow window(clock, voice, *outputs.player, shell, files, diagnostics, layout.dataDir,
                      zoom);
    std::unique_ptr<WatcherSubscription> ringing;  // ends before the window
    if (outputs.screenReader != nullptr) {
        outputs.screenReader->attach(window);
        ringing.reset(new WatcherSubscription(window.core().addWatcher(*outputs.screenReader)));
    } else {
        window.keyTyped = [own = outputs.voice.get()] { own->say(""); };
    }
    QObject::connect(&window, &MainWindow::exitRequested, &app, [] { QApplication::exit(0); });
    window.start();
    std::string busError;
    auto bus = BusService::start(layout.dataDir, layout.defaultDataDir, window.core(), voice,
                                 diagnostics, busError);
    if (!busError.empty()) diagnostics.report(busError);
    std::unique_ptr<QtSourceWatch> busWatch;
    if (bus) {
        // A due tick goes first: however busy the bus, an alarm rings as its second begins.
        busWatch = std::make_unique<QtSourceWatch>(
            *bus, [] { QApplication::exit(0); }, [&window] { window.tickIfDue(); });
        bus->queued = [w = busWatch.get()] { w->rearm(); };
    }
    Sleep sleep(window.core(), diagnostics, [&window] { window.tickNow(); });
    std::unique_ptr<QtSourceWatch> logindWatch;
    if (sleep.logind.fd() >= 0) {
        logindWatch = std::make_unique<QtSourceWatch>(sleep.logind, [] {});
        sleep.logind.queued = [w = logindWatch.get()] { w->rearm(); };
    }
    window.show();
    return QApplication::exec();
}

int runInTerminal(const Layout& layout, VoiceChoice choice, const std::string& notice) {
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe must not kill a program holding alarms
    StderrDiagnostics diagnostics;
    Outputs outputs(layout, diagnostics, choice, false, notice);
    OutputQueue output(STDOUT_FILENO);
    EchoingVoice echoing(*outputs.voice, output);
    SpokenTap voice(echoing);
    SystemClock clock;
    PosixShell shell;
    PosixFiles files;
    NoPanel panel;
    Core core(Seams{clock, voice, *outputs.player, panel, shell, files, diagnostics},
              layout.dataDir);
    core.load();
    std::string busError;
    auto bus = BusService::start(layout.dataDir, layout.defaultDataDir, core, voice, diagnostics,
                                 busError);
    if (!busError.empty()) diagnostics.report(busError);
    SecondTicker ticker(diagnostics);
    if (!ticker.start()) diagnostics.report("no timerfd; ticking every 1000 ms");
    Sleep sleep(core, diagnostics, [&ticker] { ticker.hurry(); });
    TerminalOptions options;
    options.interactive = ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
    if (bus) options.extras.push_back(bus.get());
    options.extras.push_back(&sleep.logind);
    runTerminal(core, ticker, output, options);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard stream must not lend its number to the lock
    // file, which would then receive replies or diagnostics.
    if (!openClosedStandardStreams()) return 1;
    Start start;
    if (const std::optional<int> status = answerStart(argc, argv, start)) return *status;
    const CommandLine& command = start.command;
    const Layout& layout = start.layout;
    std::string error = start.error;
    // Without a place for the orders nothing starts, so that nothing typed is lost on the way.
    if (!start.chosen || !makePrivateDirectory(layout.dataDir, error)) {
        return refuseToStart(error + "; without a place for the orders Tallowick does not start");
    }

    // A second start ends here, silently, before it creates, reads or shows anything.
    InstanceLock lock;
    std::string notice;
    switch (lock.acquire(layout.dataDir)) {
        case InstanceLock::Result::heldElsewhere:
            return 0;
        case InstanceLock::Result::unavailable:
            writeDiagnostic(lock.problem());
            notice =
                "The lock file cannot be made: a second Tallowick could run on the same orders.";
            break;
        case InstanceLock::Result::acquired:
            break;
    }

    std::string voiceError, voiceNotice;
    PosixFiles preferenceFiles;
    StderrDiagnostics preferenceDiagnostics;
    const std::optional<VoiceChoice> voice = settleVoiceChoice(
        command.voice, layout.configDir, preferenceFiles, preferenceDiagnostics, voiceError,
        voiceNotice, [] { return ScreenReaderVoice::screenReaderRunning(); });
    if (!voice) {
        writeDiagnostic(voiceError);
        return 2;
    }
    if (!voiceNotice.empty()) notice += (notice.empty() ? "" : "  ") + voiceNotice;

    const bool terminal = command.terminal || !hasDisplay();
    if (!command.terminal && terminal) {
        writeDiagnostic("no graphical display; starting in the terminal");
    }
    return terminal ? runInTerminal(layout, *voice, notice)
                    : runWindow(argc, argv, layout, *voice,
                                settleZoom(command.zoom, layout.configDir, preferenceFiles,
                                           preferenceDiagnostics),
                                notice);
}
