// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tallowick {

// Isolates the starting of outside programs, so that no test can ever act on the machine.
class Shell {
  public:
    Shell() = default;
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;
    virtual ~Shell() = default;

    // Starts `/bin/sh scriptPath` detached in a session of its own, with its standard streams on
    // /dev/null, and does not wait for it; it outlives the program. Returns false when it could
    // not be started.
    virtual bool runScript(const std::string& scriptPath) = 0;
};

}  // namespace tallowick
