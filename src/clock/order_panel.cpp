#include "clock/order_panel.h"

namespace tallowick {

void OrderPanel::drawRow(PanelCanvas& canvas, int position, bool isMark, int64_t seconds,
                         const std::string& shortWording) {
    const int top = kRowHeight * (position - 1);
    canvas.setForeColor(isMark ? kGreen : kWhite);
    canvas.fillBox(0, top, kWidth, top + kRowHeight);
    canvas.setForeColor(seconds == 0 ? kRed : kBlack);
    canvas.setTextPosition(kTextX, top);
    canvas.writeText(shortWording);
}

}  // namespace tallowick
