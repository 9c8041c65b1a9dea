// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tallowick {

// Isolates where the program reports faults of the machine (a damaged or unwritable settings
// file): standard error in the program, a list in tests.
class Diagnostics {
  public:
    Diagnostics() = default;
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;
    virtual ~Diagnostics() = default;

    // Reports one line, without a line end of its own and without the program's name: the
    // writer puts that before it.
    virtual void report(const std::string& line) = 0;
};

}  // namespace tallowick
