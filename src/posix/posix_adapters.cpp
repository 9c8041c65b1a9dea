// SPDX-License-Identifier: GPL-3.0-or-later
#include "posix/posix_adapters.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tallowick {
namespace {

// The grandchild of startDetached, after fork: the standard streams on /dev/null, the signals as
// a new program has them, then `program`; when exec fails, its errno goes to `report`. Only
// async-signal-safe calls.
[[noreturn]] void execDetached(const char* program, char* const argv[], int report) {
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0) ::_exit(127);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    if (null > 2) ::close(null);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal : {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGCHLD}) {
        ::sigaction(signal, &defaults, nullptr);
    }
    ::execve(program, argv, environ);
    const int error = errno;
    [[maybe_unused]] ssize_t ignored = ::write(report, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

Instant SystemClock::now() {
    // Not std::time: glibc reads a coarse clock there, which at a second boundary can still
    // show the second before, and every alarm would ring a second late.
    timespec precise{};
    ::clock_gettime(CLOCK_REALTIME, &precise);
    return Instant(precise.tv_sec);
}

int64_t SystemClock::utcOffset(Instant instant) {
    const std::time_t t = instant.secondsSince1970();
    std::tm local{};
    return localtime_r(&t, &local) ? local.tm_gmtoff : 0;
}

ReadResult PosixFiles::read(const std::string& path, std::string& contents, std::size_t maxBytes) {
    contents.clear();
    // Looked at before it is opened: opening a FIFO or a device can wait forever or act on it.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? ReadResult::missing : ReadResult::failed;
    }
    if (!S_ISREG(info.st_mode)) return ReadResult::notRegular;
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return ReadResult::tooLarge;
    // Non-blocking and checked again once open, for a name swapped in between.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadResult::missing : ReadResult::failed;
    ReadResult result = ReadResult::ok;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) result = ReadResult::notRegular;
    char buffer[65536];
    while (result == ReadResult::ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) result = ReadResult::failed;
        if (n <= 0) break;
        contents.append(buffer, static_cast<size_t>(n));
        if (contents.size() > maxBytes) result = ReadResult::tooLarge;  // it grew meanwhile
    }
    ::close(fd);
    if (result != ReadResult::ok) contents.clear();
    return result;
}

bool PosixFiles::replace(const std::string& path, const std::string& contents, int mode) {
    // One fixed temporary name: one program per directory writes it, and a save cut short by
    // a crash leaves at most this one file behind. A leftover is removed and the name made
    // anew, so that one left by another user, or a FIFO, never blocks or fails the save.
    const std::string temp = path + ".tmp";
    ::unlink(temp.c_str());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC,
                          static_cast<mode_t>(mode));
    if (fd < 0) return false;
    // The user's own choice of mode (chmod 600) survives the save.
    struct stat old {};
    bool written = true;
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        written = ::fchmod(fd, old.st_mode & static_cast<mode_t>(mode) & 07777) == 0;
    }
    written = written && writeAll(fd, contents) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temp.c_str());
        errno = error;
        return false;
    }
    // The rename itself reaches the disk only with the directory.
    const int dir = ::open(parentDirectory(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

CreateResult PosixFiles::createNew(const std::string& path, const std::string& contents) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? CreateResult::exists : CreateResult::failed;
    const bool written = writeAll(fd, contents) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written) {
        ::unlink(path.c_str());
        return CreateResult::failed;
    }
    return CreateResult::ok;
}

CreateResult PosixFiles::keepAside(const std::string& path, const std::string& newPath) {
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, newPath.c_str(), RENAME_NOREPLACE) == 0) {
        return CreateResult::ok;
    }
    if (errno == EEXIST) return CreateResult::exists;
    if (errno != EINVAL && errno != ENOSYS) return CreateResult::failed;
    // A file system without RENAME_NOREPLACE: a hard link never overwrites either.
    if (::link(path.c_str(), newPath.c_str()) != 0) {
        return errno == EEXIST ? CreateResult::exists : CreateResult::failed;
    }
    ::unlink(path.c_str());
    return CreateResult::ok;
}

bool startDetached(std::vector<std::string> argv) {
    // Everything the children need is made before fork: after it, in a program with threads,
    // only async-signal-safe calls are allowed until exec.
    std::vector<char*> arguments;
    for (std::string& argument : argv) arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    int report[2];  // the grandchild writes its errno here when exec fails
    if (::pipe2(report, O_CLOEXEC) != 0) return false;

    // Two forks: the program runs as a grandchild in a session of its own, so that it outlives
    // this one and its terminal, and this one never has to reap it.
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        if (::setsid() < 0) ::_exit(127);
        const pid_t grandchild = ::fork();
        if (grandchild != 0) ::_exit(grandchild < 0 ? 127 : 0);
        execDetached(arguments[0], arguments.data(), report[1]);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int execError = 0;
    ssize_t n;
    while ((n = ::read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool PosixShell::runScript(const std::string& scriptPath) {
    return startDetached({"/bin/sh", scriptPath});
}

void writeDiagnostic(const std::string& message) {
    std::fprintf(stderr, "%s%s\n", kDiagnosticPrefix, message.c_str());
    std::fflush(stderr);
}

void StderrDiagnostics::report(const std::string& line) {
    writeDiagnostic(line);
}

std::string parentDirectory(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool openClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free number: this one, as those below it are open.
        const int null = ::open("/dev/null", O_RDWR);
        if (null < 0) return false;
        if (null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    return true;
}

bool writeAll(int fd, const std::string& contents) {
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string executableDirectory() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    return parentDirectory(std::string(buffer.data(), static_cast<size_t>(n)));
}

}  // namespace tallowick
