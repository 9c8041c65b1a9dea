// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/order_panel.h"

namespace tallowick {

void OrderPanel::drawRow(PanelCanvas& canvas, int position, bool isMark, int64_t seconds,
                         const std::string& shortWording) {
    const int top = kPanelRowHeight * (position - 1);
    canvas.fillBox(0, top, kPanelWidth, top + kPanelRowHeight, isMark ? kGreen : kWhite);
    canvas.writeText(kTextX, top, shortWording, seconds == 0 ? kRed : kBlack);
}

}  // namespace tallowick
