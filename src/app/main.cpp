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

#include "app/form1.h"
#include "app/instance_lock.h"
#include "app/layout.h"
#include "app/preferences.h"
#include "app/screen_reader_voice.h"
#include "app/second_ticker.h"
#include "app/terminal_frontend.h"
#include "platform/espeak_voice.h"
#include "platform/null_adapters.h"
#include "platform/posix_adapters.h"
#include "platform/sdl_sound_player.h"
#include "platform/speechd_voice.h"

using namespace tallowick;

namespace {

constexpr const char* kUsage =
    "Usage: tallowick [--terminal] [--voice=VOICE]\n"
    "A voice-first alarm and timer. Type a command, press Enter, hear the answer.\n"
    "\n"
    "  --terminal  read commands from standard input and write every spoken text to\n"
    "              standard output, one line each, instead of opening a window\n"
    "  --voice=VOICE\n"
    "              who speaks the replies, kept for later starts: espeak (the built-in\n"
    "              voice, the default), speech-dispatcher (your own voice, rate and volume),\n"
    "              screen-reader (your screen reader presents them, in speech and braille)\n"
    "              or none\n"
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

// The chosen voice and the real sound player, or stand-ins, each missing one told in one line
// on standard error: speech-dispatcher or a screen reader missing falls back to the built-in
// voice. In the terminal a screen reader reads the written lines, so nothing speaks.
struct Outputs {
    std::unique_ptr<Voice> voice;
    std::unique_ptr<SoundPlayer> player;
    ScreenReaderVoice* screenReader = nullptr;  // when the screen reader presents the replies

    Outputs(const Layout& layout, Diagnostics& diagnostics, VoiceChoice choice, bool window) {
        std::string error;
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
                diagnostics.report(
                    "tallowick: no screen reader is running; speaking with the built-in voice");
            }
        }
        if (!voice) voice = EspeakVoice::create(error);
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

int runWindow(int argc, char** argv, const Layout& layout, VoiceChoice choice) {
    QApplication app(argc, argv);
    StderrDiagnostics diagnostics;
    Outputs outputs(layout, diagnostics, choice, true);
    SystemClock clock;
    PosixShell shell;
    PosixFiles files;
    Form1 window(clock, *outputs.voice, *outputs.player, shell, files, diagnostics, layout.dataDir);
    if (outputs.screenReader != nullptr) outputs.screenReader->attach(window.addNotice());
    QObject::connect(&window, &Form1::exitRequested, &app, [] { QApplication::exit(0); });
    window.Form_Load();
    window.show();
    return QApplication::exec();
}

int runInTerminal(const Layout& layout, VoiceChoice choice) {
    std::signal(SIGPIPE, SIG_IGN);  // a closed pipe must not kill a program holding alarms
    StderrDiagnostics diagnostics;
    Outputs outputs(layout, diagnostics, choice, false);
    EchoingVoice voice(*outputs.voice, STDOUT_FILENO);
    SystemClock clock;
    PosixShell shell;
    PosixFiles files;
    NoPanel panel;
    Core core(Seams{clock, voice, *outputs.player, panel, shell, files, diagnostics},
              layout.dataDir);
    core.load();
    SecondTicker ticker;
    if (!ticker.start()) diagnostics.report("tallowick: no timerfd; ticking every 1000 ms");
    TerminalOptions options;
    options.interactive = ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
    runTerminal(core, ticker, options);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool terminal = false;
    std::string voiceGiven;
    for (int i = 1; i < argc; ++i) {
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
        if (std::strncmp(argv[i], "--voice=", 8) == 0) {
            voiceGiven = argv[i] + 8;
            if (parseVoiceChoice(voiceGiven)) continue;
            std::fprintf(stderr,
                         "tallowick: unknown voice '%s' (choose %s)\nTry 'tallowick --help'.\n",
                         voiceGiven.c_str(), kVoiceChoices);
            return 2;
        }
        std::fprintf(stderr, "tallowick: unknown option '%s'\nTry 'tallowick --help'.\n", argv[i]);
        return 2;
    }

    const std::string programDir = executableDirectory();
    if (programDir.empty()) {
        std::fprintf(stderr, "tallowick: cannot find the program's own directory\n");
        return 1;
    }
    const Layout layout{false, programDir, programDir, programDir};
    // A second start ends here, silently, before it creates, reads or shows anything.
    InstanceLock lock;
    if (lock.acquire(layout.dataDir) == InstanceLock::Result::heldElsewhere) return 0;

    std::string voiceError;
    PosixFiles preferenceFiles;
    StderrDiagnostics preferenceDiagnostics;
    const std::optional<VoiceChoice> voice = settleVoiceChoice(
        voiceGiven, layout.configDir, preferenceFiles, preferenceDiagnostics, voiceError);
    if (!voice) {
        std::fprintf(stderr, "%s\n", voiceError.c_str());
        return 2;
    }

    if (!terminal && !hasDisplay()) {
        std::fprintf(stderr, "tallowick: no graphical display; starting in the terminal\n");
        terminal = true;
    }
    return terminal ? runInTerminal(layout, *voice) : runWindow(argc, argv, layout, *voice);
}
