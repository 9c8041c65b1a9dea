// SPDX-License-Identifier: GPL-3.0-or-later
// The `tallowick` command. It answers what needs no window, voice or sound (the options, --help,
// --autostart and a typed line for the running Tallowick) with a few small libraries, so that
// `tallowick stop` from a keyboard shortcut is quick, and runs the program for everything else.

#include <cerrno>
#include <cstring>
#include <optional>

#include <unistd.h>

#include "posix/posix_adapters.h"
#include "start/launcher.h"

int main(int argc, char** argv) {
    using namespace tallowick;
    if (!openClosedStandardStreams()) return 1;
    Start start;
    if (const std::optional<int> status = answerStart(argc, argv, start)) return *status;
    ::execv(start.layout.program.c_str(), argv);
    const int error = errno;
    writeDiagnostic("cannot run " + start.layout.program + " (" + std::strerror(error) + ")");
    return 1;
}
