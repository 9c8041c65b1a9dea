#pragma once

#include <string>

namespace tallowick {

// The program's application ID: the desktop entry, the AppStream metadata, the icon, the
// autostart entry and the name on the session bus all carry it.
inline constexpr const char* kAppId = "io.github.tallowick.Tallowick";

// Where the program keeps its files. In the portable layout (the build tree, or any copy whose
// own directory holds the stock sounds and can be written) all three are the program's own
// directory; in the installed layout they follow the XDG Base Directory rules.
struct Layout {
    bool installed = false;
    std::string dataDir;        // settings.ini, temp.bat, the instance lock, the user's sounds
    std::string stockSoundDir;  // the program's own wave files
    std::string configDir;      // the user's preferences (the voice), created when first written
};

}  // namespace tallowick
