#pragma once

#include <string>

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
// file of any kind, owner or mode is removed first, never written into.
class PosixFiles final : public Files {
  public:
    ReadResult read(const std::string& path, std::string& contents, std::size_t maxBytes) override;
    bool replace(const std::string& path, const std::string& contents, int mode) override;
    CreateResult createNew(const std::string& path, const std::string& contents) override;
    CreateResult keepAside(const std::string& path, const std::string& newPath) override;
};

// Starts scripts with /bin/sh in a new session, detached, streams on /dev/null.
class PosixShell final : public Shell {
  public:
    bool runScript(const std::string& scriptPath) override;
};

// Writes each report as one line on standard error.
class StderrDiagnostics final : public Diagnostics {
  public:
    void report(const std::string& line) override;
};

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
