// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/qt_panel_canvas.h"

#include <QFontMetrics>
#include <QPainter>

namespace tallowick {

QtPanelCanvas::QtPanelCanvas(int width, int height, std::function<void()> changed, int zoom)
    : image_(width * zoom, height * zoom, QImage::Format_RGB32),
      font_(rowFont(kPanelRowHeight * zoom)),
      zoom_(zoom),
      changed_(std::move(changed)) {
    image_.fill(Qt::white);
}

QFont QtPanelCanvas::rowFont(int rowHeight) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    // About 12 points in a row of 18 pixels, but never taller than a row, whatever fonts the
    // machine has.
    for (int pixels = 16 * rowHeight / kPanelRowHeight; pixels > 6; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).height() <= rowHeight) break;
    }
    return font;
}

void QtPanelCanvas::fillBox(int x1, int y1, int x2, int y2, Rgb color) {
    // Both corners belong to the box; where two rows share an edge, the later one covers it.
    QPainter painter(&image_);
    const QRect box = QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized();
    painter.fillRect(
        QRect(box.topLeft() * zoom_, box.bottomRight() * zoom_ + QPoint(zoom_ - 1, zoom_ - 1)),
        QColor(color.red, color.green, color.blue));
    painter.end();
    if (changed_) changed_();
}

void QtPanelCanvas::writeText(int x, int y, const std::string& text, Rgb color) {
    QPainter painter(&image_);
    painter.setFont(font_);
    painter.setPen(QColor(color.red, color.green, color.blue));
    painter.drawText(x * zoom_, y * zoom_ + QFontMetrics(font_).ascent(),
                     QString::fromStdString(text));
    painter.end();
    if (changed_) changed_();
}

void QtPanelCanvas::clear() {
    image_.fill(Qt::white);
    if (changed_) changed_();
}

}  // namespace tallowick
