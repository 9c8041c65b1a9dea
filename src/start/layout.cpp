// SPDX-License-Identifier: GPL-3.0-or-later
#include "start/layout.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "config/build_config.h"
#include "posix/posix_adapters.h"

namespace tallowick {
namespace {

// An XDG base directory: the variable when it holds an absolute path, or HOME/`fallback`.
std::string baseDirectory(const std::string& variable, const std::string& home,
                          const char* fallback) {
    if (!variable.empty() && variable.front() == '/') return variable;
    if (!home.empty() && home.front() == '/') {
        return (home.size() > 1 && home.back() == '/' ? home.substr(0, home.size() - 1) : home) +
               fallback;
    }
    return "";
}

// `<prefix>` for an executable in `<prefix>/<bin>` or `<prefix>/<libexec>/tallowick`, the
// directories CMake installs the two programs to; nothing for any other directory.
std::optional<std::string> installPrefix(const std::string& programDir) {
    for (const std::string& tail : {"/" + std::string(kInstallBinDir),
                                    "/" + std::string(kInstallLibexecDir) + "/tallowick"}) {
        if (programDir.ends_with(tail)) {
            return programDir.substr(0, programDir.size() - tail.size());
        }
    }
    return std::nullopt;
}

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

LayoutDisk realDisk() {
    return LayoutDisk{
        [](const std::string& path) {
            struct stat info {};
            return ::stat(path.c_str(), &info) == 0;
        },
        [](const std::string& directory) { return ::access(directory.c_str(), W_OK) == 0; }};
}

LayoutEnvironment processEnvironment() {
    return LayoutEnvironment{environmentValue("HOME"), environmentValue("XDG_DATA_HOME"),
                             environmentValue("XDG_CONFIG_HOME")};
}

std::string configHome(const LayoutEnvironment& environment) {
    return baseDirectory(environment.xdgConfigHome, environment.home, "/.config");
}

bool chooseLayout(const std::string& programDir, const LayoutEnvironment& environment,
                  const LayoutDisk& disk, Layout& layout, std::string& error) {
    const Layout portable{false, programDir, programDir, programDir,
                          programDir + "/" + kProgramName};
    const std::optional<std::string> prefix = installPrefix(programDir);
    const std::string share = prefix.value_or("") + "/" + kInstallDataDir + "/tallowick";
    if ((disk.exists(programDir + "/alert.wav") && disk.writable(programDir)) || !prefix ||
        !disk.exists(share)) {
        layout = portable;
        return true;
    }
    const std::string program = *prefix + "/" + kInstallLibexecDir + "/tallowick/" + kProgramName;
    const std::string data =
        baseDirectory(environment.xdgDataHome, environment.home, "/.local/share");
    if (data.empty()) {
        error = "no home directory (HOME is not set)";
        layout.program = program;
        return false;
    }
    // Without a base for the preferences they go with the data, never to a relative path.
    const std::string config = configHome(environment);
    layout = Layout{true, data + "/tallowick", share + "/sounds",
                    config.empty() ? data + "/tallowick" : config + "/tallowick", program};
    layout.defaultDataDir = data == baseDirectory("", environment.home, "/.local/share");
    return true;
}

bool makePrivateDirectory(const std::string& directory, std::string& error) {
    struct stat info {};
    if (::stat(directory.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        error = directory + " is not a directory";
        return false;
    }
    if (errno == ENOENT && directory != "/" && !directory.empty()) {
        if (!makePrivateDirectory(parentDirectory(directory), error)) return false;
        if (::mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST) {
            return makePrivateDirectory(directory, error);
        }
    }
    error = "cannot create " + directory + " (" + std::strerror(errno) + ")";
    return false;
}

}  // namespace tallowick
