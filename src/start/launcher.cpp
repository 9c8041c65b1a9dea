// SPDX-License-Identifier: GPL-3.0-or-later
#include "start/launcher.h"

#include <cstdio>
#include <cstdlib>

#include "bus/bus_sender.h"
#include "config/build_config.h"
#include "posix/posix_adapters.h"
#include "start/autostart.h"

namespace tallowick {
namespace {

constexpr const char* kUsage =
    "Usage: tallowick [--terminal] [--voice=VOICE] [--zoom N]\n"
    "       tallowick COMMAND...\n"
    "       tallowick --autostart on|off\n"
    "A voice-first alarm and timer. Type a command, press Enter, hear the answer.\n"
    "\n"
    "  COMMAND...          hand the words, as one typed line, to the running Tallowick\n"
    "                      (started first when there is a display) and print what it\n"
    "                      says\n"
    "  --terminal          read commands from standard input and write every spoken\n"
    "                      text to standard output, one line each, instead of opening\n"
    "                      a window\n"
    "  --voice=VOICE       who speaks the replies, kept for later starts: espeak (the\n"
    "                      built-in voice, the default), speech-dispatcher (your own\n"
    "                      voice, rate and volume), screen-reader (your screen reader\n"
    "                      presents them, in speech and braille) or none\n"
    "  --zoom N            the window N times as large (1 to 4, at first 1), kept\n"
    "                      for later starts\n"
    "  --autostart on|off  start Tallowick when you log in (on), or no longer (off)\n"
    "  --help              show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Type help in the program to hear its commands.\n";

// Where the orders are kept, for --help.
std::string dataDirectoryLine(const Start& start) {
    if (!start.chosen) {
        return "No data directory: " + start.error + ".\n";
    }
    return "The orders, temp.bat and your own sounds are kept in " + start.layout.dataDir +
           (start.layout.installed ? "" : " (beside the program)") + ".\n";
}

}  // namespace

bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

std::optional<int> answerStart(int argc, char** argv, Start& start) {
    std::string usageError;
    if (!parseCommandLine(argc, argv, start.command, usageError)) {
        writeDiagnostic(usageError);
        return 2;
    }
    const CommandLine& command = start.command;
    if (command.version) {
        std::printf("tallowick %s\n", kVersion);
        return 0;
    }
    const std::string programDir = executableDirectory();
    if (programDir.empty()) {
        writeDiagnostic("cannot find the program's own directory");
        return 1;
    }
    const LayoutEnvironment environment = processEnvironment();
    start.chosen = chooseLayout(programDir, environment, realDisk(), start.layout, start.error);
    if (command.help) {
        std::fputs(kUsage, stdout);
        std::fputs(dataDirectoryLine(start).c_str(), stdout);
        return 0;
    }
    if (command.autostart) {
        // A portable copy's entry names the command beside the program.
        std::string message;
        const bool done = setAutostart(*command.autostart, start.layout, programDir + "/tallowick",
                                       environment, message);
        if (done) {
            std::printf("%s\n", message.c_str());
        } else {
            writeDiagnostic(message);
        }
        return done ? 0 : 1;
    }
    if (command.words) {
        if (!start.chosen) {
            writeDiagnostic(start.error);
            return 1;
        }
        return sendLine(start.layout.dataDir, start.layout.defaultDataDir, *command.words,
                        start.layout.program, hasDisplay());
    }
    return std::nullopt;
}

}  // namespace tallowick
