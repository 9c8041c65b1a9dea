// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "ports/clock.h"
#include "ports/diagnostics.h"
#include "ports/files.h"
#include "ports/shell.h"

namespace tallowick {

// The system's real-time clock, and the offsets of its time zone (TZ, or /etc/localtime).
class SystemClock final : public Clock {
  public:
    Instant now() override;
    int64_t utcOffset(Instant instant) override;
};

// Files on the local file system. replace() writes the temporary file `path`.tmp beside the
// target, flushes it to disk, renames it over the target and flushes the directory, so that a
// crash or a power cut leaves the old file or the new one, never a torn one. A stale temporary
// file of any kind, owner or mode is removed first, never written into. When replace() fails,
// errno tells why.
class PosixFiles final : public Files {
  public:
    ReadResult read(const std::string& path, std::string& contents, std::size_t maxBytes) override;
    bool replace(const std::string& path, const std::string& contents, int mode) override;
    CreateResult createNew(const std::string& path, const std::string& contents) override;
    CreateResult keepAside(const std::string& path, const std::string& newPath) override;
};

// Starts the program at the path `argv[0]` with the arguments `argv` (the first included) as a
// grandchild in a session of its own, its standard streams on /dev/null and the signals as a new
// program has them, so that it outlives this program and its terminal and is never reaped here.
// False when it could not be started, an exec that failed included.
bool startDetached(std::vector<std::string> argv);

// Starts scripts with /bin/sh through startDetached().
class PosixShell final : public Shell {
  public:
    bool runScript(const std::string& scriptPath) override;
};

// What every line the program writes of itself starts with: the diagnostics on standard error and
// the terminal's notice of dropped output. The messages are made without it; writeDiagnostic()
// and StderrDiagnostics put it before them.
inline constexpr const char* kDiagnosticPrefix = "tallowick: ";

// Writes `message` on standard error after kDiagnosticPrefix, and a line end.
void writeDiagnostic(const std::string& message);

// Writes each report with writeDiagnostic().
class StderrDiagnostics final : public Diagnostics {
  public:
    void report(const std::string& line) override;
};

// The directory that holds `path`: all before its last '/', "/" for a name right under the root
// and "." for a name without a '/'.
std::string parentDirectory(const std::string& path);

// Opens each of descriptors 0, 1 and 2 that is closed on /dev/null, so that no file opened
// later takes its number and receives what is meant for a standard stream. Call first thing;
// false when /dev/null cannot be opened.
bool openClosedStandardStreams();

// Writes all of `contents` to `fd`, going on after interruptions; false when it could not.
bool writeAll(int fd, const std::string& contents);

// The directory that holds the running executable, without a trailing slash; empty when it
// cannot be found.
std::string executableDirectory();

}  // namespace tallowick
