// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "start/layout.h"

namespace tallowick {

// Starts the program at login, or no longer, for the current user: writes or removes
// `$XDG_CONFIG_HOME/autostart/<kAppId>.desktop` (the XDG Autostart rules). Its Exec line is
// `tallowick` in the installed layout and `executable` (this copy's absolute path) in the
// portable one. Returns false when it could not; `message` is one line either way, for standard
// output on success and standard error on failure.
bool setAutostart(bool on, const Layout& layout, const std::string& executable,
                  const LayoutEnvironment& environment, std::string& message);

}  // namespace tallowick
