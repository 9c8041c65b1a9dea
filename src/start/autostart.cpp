// SPDX-License-Identifier: GPL-3.0-or-later
#include "start/autostart.h"
#include "config/build_config.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "posix/posix_adapters.h"

namespace tallowick {
namespace {

// A path as one argument of an Exec line, by the Desktop Entry rules: quoted when it needs to
// be, with ", `, $ and \ inside the quotes each after a backslash (and % doubled); then the whole
// is written as a string value, every backslash twice and a line end as \n. So a backslash of
// the path is four in the file.
std::string execArgument(const std::string& path) {
    if (path.find_first_of(" \t\n\"'\\><~|&;$*?#()`%=") == std::string::npos) return path;
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) value += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
    return value;
}

}  // namespace

bool setAutostart(bool on, const Layout& layout, const std::string& executable,
                  const LayoutEnvironment& environment, std::string& message) {
    const std::string config = configHome(environment);
    if (config.empty()) {
        message = "no home directory (HOME is not set) to keep the autostart entry in";
        return false;
    }
    const std::string directory = config + "/autostart";
    const std::string path = directory + "/" + kAppId + ".desktop";
    if (!on) {
        if (::unlink(path.c_str()) == 0) {
            message = "Tallowick will no longer start at login: removed " + path;
            return true;
        }
        if (errno == ENOENT) {
            message = "Tallowick was not set to start at login; nothing to remove";
            return true;
        }
        message = "cannot remove " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    if (!makePrivateDirectory(directory, message)) return false;
    const std::string entry =
        std::string("[Desktop Entry]\n") +
        "Type=Application\n"
        "Name=Tallowick\n"
        "Comment=Voice-first alarm and timer, started at login\n"
        "Exec=" +
        (layout.installed ? std::string("tallowick") : execArgument(executable)) +
        "\n"
        "Icon=" +
        kAppId +
        "\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    if (!PosixFiles().replace(path, entry, 0644)) {
        message = "cannot write " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    message = "Tallowick will start at login: wrote " + path;
    return true;
}

}  // namespace tallowick
