// Tallowick: a voice-first alarm and timer. Starts the window (or, with --terminal or without
// a display, the terminal front-end), its voice and its sounds, one instance per program
// directory and user.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <unistd.h>
#include <QApplication>

#include "app/bus_sender.h"
#include "app/bus_service.h"
#include "app/form1.h"
#include "app/instance_lock.h"
#include "app/layout.h"
#include "app/qt_source_watch.h"
#include "app/second_ticker.h"
#include "app/terminal_frontend.h"
#include "platform/espeak_voice.h"
#include "platform/null_adapters.h"
#include "platform/posix_adapters.h"
#include "platform/sdl_sound_player.h"

using namespace tallowick;

namespace {

constexpr const char* kUsage =
    "Usage: tallowick [--terminal]\n"
    "       tallowick COMMAND...\n"
    "A voice-first alarm and timer. Type a command, press Enter, hear the answer.\n"
    "\n"
    "  COMMAND...  hand the words, as one typed line, to the running Tallowick (started\n"
    "              first when there is a display) and print what it says\n"
    "  --terminal  read commands from standard input and write every spoken text to\n"
    "              standard output, one line each, instead of opening a window\n"
    "  --help      show this help and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Type help in the program to hear its commands. The orders are kept in settings.ini\n"
    "beside the program.\n";

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// The real voice and sound player, or silent stand-ins, each missing one told in one line on
// standard error.
struct Outputs {
    std::unique_ptr<Voice> voice;
    std::unique_ptr<SoundPlayer> player;

    Outputs(const Layout& layout, Diagnostics& diagnostics) {
        std::string error;
        voice = EspeakVoice::create(error);
        if (!voice) {
            diagnostics.report(error);
            voice = std::make_unique<SilentVoice>();
        }
        player = SdlSoundPlayer::create(layout.dataDir, "alert.wav", error);
        if (!player) {
            diagnostics.report(error);
            player = std::make_unique<SilentSoundPlayer>();
        }
    }
};

int runWindow(int argc, char** argv, const Layout& layout) {
    QApplication app(argc, argv);
    StderrDiagnostics diagnostics;
    Outputs outputs(layout, diagnostics);
    SpokenTap voice(*outputs.voice);
    SystemClock clock;
    PosixShell shell;
    PosixFiles files;
    Form1 window(clock, voice, *outputs.player, shell, files, diagnostics, layout.dataDir);
    QObject::connect(&window, &Form1::exitRequested, &app, [] { QApplication::exit(0); });
    window.Form_Load();
    std::string busError;
    auto bus = BusService::start(layout, window.core(), voice, diagnostics, busError);
    if (!busError.empty()) diagnostics.report("tallowick: " + busError);
    std::unique_ptr<QtSourceWatch> busWatch;
    if (bus) {
        busWatch = std::make_unique<QtSourceWatch>(*bus, [] { QApplication::exit(0); });
        bus->queued = [w = busWatch.get()] { w->rearm(); };
    }
    window.show();
    return QApplication::exec();
}

int runInTerminal(const Layout& layout) {
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe must not kill a program holding alarms
    StderrDiagnostics diagnostics;
    Outputs outputs(layout, diagnostics);
    EchoingVoice echoing(*outputs.voice, STDOUT_FILENO);
    SpokenTap voice(echoing);
    SystemClock clock;
    PosixShell shell;
    PosixFiles files;
    NoPanel panel;
    Core core(Seams{clock, voice, *outputs.player, panel, shell, files, diagnostics},
              layout.dataDir);
    core.load();
    std::string busError;
    auto bus = BusService::start(layout, core, voice, diagnostics, busError);
    if (!busError.empty()) diagnostics.report("tallowick: " + busError);
    SecondTicker ticker;
    if (!ticker.start()) diagnostics.report("tallowick: no timerfd; ticking every 1000 ms");
    TerminalOptions options;
    options.interactive = ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
    options.extra = bus.get();
    runTerminal(core, ticker, options);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool terminal = false;
    bool sending = false;  // words after the options: one typed line for the running program
    std::string words;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-' || std::strcmp(argv[i], "--") == 0) {
            const int first = argv[i][0] == '-' ? i + 1 : i;
            for (int w = first; w < argc; ++w) {
                words += (w > first ? " " : "") + std::string(argv[w]);
            }
            sending = first < argc;
            break;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("tallowick 1.2");
            return 0;
        }
        if (std::strcmp(argv[i], "--terminal") == 0) {
            terminal = true;
            continue;
        }
        std::fprintf(stderr, "tallowick: unknown option '%s'\nTry 'tallowick --help'.\n", argv[i]);
        return 2;
    }

    if (sending && terminal) {
        std::fprintf(stderr,
                     "tallowick: --terminal takes no command words\nTry 'tallowick --help'.\n");
        return 2;
    }

    const std::string programDir = executableDirectory();
    if (programDir.empty()) {
        std::fprintf(stderr, "tallowick: cannot find the program's own directory\n");
        return 1;
    }
    const Layout layout{false, programDir, programDir, programDir};
    if (sending) return sendLine(layout, words, programDir + "/tallowick", hasDisplay());
    // A second start ends here, silently, before it creates, reads or shows anything.
    InstanceLock lock;
    if (lock.acquire(layout.dataDir) == InstanceLock::Result::heldElsewhere) return 0;

    if (!terminal && !hasDisplay()) {
        std::fprintf(stderr, "tallowick: no graphical display; starting in the terminal\n");
        terminal = true;
    }
    return terminal ? runInTerminal(layout) : runWindow(argc, argv, layout);
}
