// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tallowick {

// `tallowick COMMAND...`: hands `line` to the Tallowick of `layout` over the session bus, as if
// typed there, and writes each text spoken for it on standard output, one line each. When none
// answers and `program` can show a window (`canStartWindow`), starts it detached and waits for
// it a few seconds. Returns the exit status: 0 delivered, 1 not (the reason told in one line on
// standard error).
int sendLine(const std::string& dataDir, bool defaultDataDir, const std::string& line,
             const std::string& program, bool canStartWindow);

}  // namespace tallowick
