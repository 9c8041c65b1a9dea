// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tallowick {

// One line of tallowick-wake's input, without its line end: the second since the epoch to wake
// the computer at (1 to 12 digits, the first not 0), or "none", read as 0: no wake-up. Nothing
// else: nullopt.
inline std::optional<int64_t> readWakeLine(std::string_view line) {
    if (line == "none") return 0;
    if (line.empty() || line.size() > 12 || line[0] == '0') return std::nullopt;
    int64_t second = 0;
    for (const char ch : line) {
        if (ch < '0' || ch > '9') return std::nullopt;
        second = second * 10 + (ch - '0');
    }
    return second;
}

}  // namespace tallowick
