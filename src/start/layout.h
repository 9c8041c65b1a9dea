// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

namespace tallowick {

// The file of the program itself: the window, the terminal front-end, the voice and the sounds.
// The `tallowick` command answers what needs none of them and runs this file for the rest.
inline constexpr const char* kProgramName = "tallowick-app";

// Where the program keeps its files. In the portable layout (the build tree, or any copy whose
// own directory holds the stock sounds and can be written) all three are the program's own
// directory; in the installed layout they follow the XDG Base Directory rules.
struct Layout {
    bool installed = false;
    std::string dataDir;        // settings.ini, temp.bat, the instance lock, the user's sounds
    std::string stockSoundDir;  // the program's own wave files
    std::string configDir;      // the user's preferences (the voice), created when first written
    std::string program;        // the program the `tallowick` command runs (kProgramName)
    // Installed, with the data where an unset XDG_DATA_HOME puts it: the copy with the plain
    // bus name.
    bool defaultDataDir = false;
};

// What chooseLayout() needs from the environment; an empty value counts as unset.
struct LayoutEnvironment {
    std::string home;           // HOME
    std::string xdgDataHome;    // XDG_DATA_HOME
    std::string xdgConfigHome;  // XDG_CONFIG_HOME
};

// What chooseLayout() needs from the disk, so that the choice can be tested without one.
struct LayoutDisk {
    std::function<bool(const std::string& path)> exists;
    std::function<bool(const std::string& directory)> writable;
};

// The real disk, for chooseLayout().
LayoutDisk realDisk();

// The environment of this process.
LayoutEnvironment processEnvironment();

// Chooses the layout for an executable in `programDir` (absolute, without a trailing '/'):
// - portable when that directory holds the stock sounds (alert.wav) and can be written;
// - installed when it is `<prefix>/<bin>` or `<prefix>/<libexec>/tallowick` and
//   `<prefix>/<share>/tallowick` exists, where <bin>, <libexec> and <share> are the directories
//   CMake installs to (kInstallBinDir, kInstallLibexecDir, kInstallDataDir; by default bin,
//   libexec and share): the program in `<prefix>/<libexec>/tallowick`, the stock sounds in
//   `<prefix>/<share>/tallowick/sounds`, the data in `$XDG_DATA_HOME/tallowick` (by default
//   `$HOME/.local/share/tallowick`), the preferences in `$XDG_CONFIG_HOME/tallowick` (by default
//   `$HOME/.config/tallowick`, or the data directory when neither is set); a relative XDG value
//   is ignored, as the XDG rules say;
// - otherwise portable, as every copy was before there was an installed layout.
// Returns false, with `error` set to one line for standard error, when the installed layout
// has no home to put the data in (`layout.program` is set even then). Touches nothing.
bool chooseLayout(const std::string& programDir, const LayoutEnvironment& environment,
                  const LayoutDisk& disk, Layout& layout, std::string& error);

// Creates `directory` and any missing parents with mode 0700. Returns false, with `error` set to
// one line for standard error, when it is not a directory or cannot be created.
bool makePrivateDirectory(const std::string& directory, std::string& error);

// $XDG_CONFIG_HOME (by default $HOME/.config), or "" when there is neither an absolute
// XDG_CONFIG_HOME nor a HOME.
std::string configHome(const LayoutEnvironment& environment);

}  // namespace tallowick
