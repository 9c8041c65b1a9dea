#include "start/autostart.h"
#include "config/build_config.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

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

bool writeWhole(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written =
        ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
        ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        errno = error;
        return false;
    }
    return true;
}

}  // namespace

bool setAutostart(bool on, const Layout& layout, const std::string& executable,
                  const LayoutEnvironment& environment, std::string& message) {
    const std::string config = configHome(environment);
    if (config.empty()) {
        message = "tallowick: no home directory (HOME is not set) to keep the autostart entry in";
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
        message = "tallowick: cannot remove " + path + " (" + std::strerror(errno) + ")";
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
    if (!writeWhole(path, entry)) {
        message = "tallowick: cannot write " + path + " (" + std::strerror(errno) + ")";
        return false;
    }
    message = "Tallowick will start at login: wrote " + path;
    return true;
}

}  // namespace tallowick
