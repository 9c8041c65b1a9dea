// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/sound_names.h"

namespace tallowick {
namespace {

void addLookups(const SoundDirs& dirs, const std::string& name, std::vector<std::string>& paths) {
    if (name.find_first_not_of(' ') == std::string::npos) return;
    if (name.front() == '/') {
        paths.push_back(name);
        return;
    }
    paths.push_back(dirs.userDir + "/" + name);
    if (dirs.stockDir != dirs.userDir) paths.push_back(dirs.stockDir + "/" + name);
}

}  // namespace

std::vector<std::string> soundCandidates(const SoundDirs& dirs, const std::string& name,
                                         const std::string& fallback) {
    std::vector<std::string> paths;
    addLookups(dirs, name, paths);
    const size_t first = name.find_first_not_of(' ');
    const size_t last = name.find_last_not_of(' ');
    if (first != std::string::npos && (first > 0 || last + 1 < name.size())) {
        addLookups(dirs, name.substr(first, last - first + 1), paths);
    }
    addLookups(dirs, fallback, paths);
    return paths;
}

}  // namespace tallowick
