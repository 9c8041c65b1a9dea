// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace tallowick {

// Where sound names are looked up: the user's own sounds first, then the program's stock sounds
// (the same directory in the portable layout). Never the current directory.
struct SoundDirs {
    std::string userDir;
    std::string stockDir;
};

// The files to try, best first, for the sound `name` an order carries ("alarm 2 is bell" stores
// " bell.wav"): the name as it is, then without the blanks around it, each in `dirs.userDir` and
// then `dirs.stockDir`, and last `fallback` the same way. An absolute name is its own path; any
// other name, with a '/' or without, is taken inside the two directories.
std::vector<std::string> soundCandidates(const SoundDirs& dirs, const std::string& name,
                                         const std::string& fallback);

}  // namespace tallowick
