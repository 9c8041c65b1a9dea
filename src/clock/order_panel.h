// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "ports/panel_canvas.h"

namespace tallowick {

// The order panel shows one row per order, top to bottom in table order: alarms on
// white, marks on green, the time in the short wording, black, or red once it reaches 0.
struct OrderPanel {
    static constexpr int kTextX = 2;
    static constexpr Rgb kWhite{255, 255, 255};
    static constexpr Rgb kGreen{0, 255, 0};
    static constexpr Rgb kBlack{0, 0, 0};
    static constexpr Rgb kRed{255, 0, 0};

    // Draws the row of the order at `position` (1-based), wiping what the row showed before.
    static void drawRow(PanelCanvas& canvas, int position, bool isMark, int64_t seconds,
                        const std::string& shortWording);
};

}  // namespace tallowick
