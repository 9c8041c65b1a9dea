// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/qt_panel_canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtMath>

namespace tallowick {

QtPanelCanvas::QtPanelCanvas(int width, int height, std::function<void()> changed, qreal scale,
                             qreal ratio)
    : size_(qCeil(width * scale), qCeil(height * scale)),
      scale_(scale),
      image_(size_, QImage::Format_RGB32),
      changed_(std::move(changed)) {
    image_.fill(Qt::white);
    setDeviceRatio(ratio);
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

void QtPanelCanvas::setDeviceRatio(qreal ratio) {
    if (scale_ * ratio == pixels_) return;
    pixels_ = scale_ * ratio;
    // Rows are a pixel taller or shorter at a fractional ratio: the text fits the shorter.
    font_ = rowFont(qFloor(kPanelRowHeight * pixels_));
    const QSize covering(qCeil(size_.width() * ratio), qCeil(size_.height() * ratio));
    if (image_.size() != covering) {
        image_ = image_.scaled(covering, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    image_.setDevicePixelRatio(ratio);
}

void QtPanelCanvas::fillBox(int x1, int y1, int x2, int y2, Rgb color) {
    // Both corners belong to the box; where two rows share an edge, the later one covers it.
    QPainter painter(&image_);
    toDevicePixels(painter);
    const QRect box = QRect(QPoint(x1, y1), QPoint(x2, y2)).normalized();
    const QPoint end = box.bottomRight() + QPoint(1, 1);  // where the next panel pixel begins
    painter.fillRect(QRect(QPoint(toPicture(box.left()), toPicture(box.top())),
                           QPoint(toPicture(end.x()) - 1, toPicture(end.y()) - 1)),
                     QColor(color.red, color.green, color.blue));
    painter.end();
    if (changed_) changed_();
}

void QtPanelCanvas::writeText(int x, int y, const std::string& text, Rgb color) {
    QPainter painter(&image_);
    toDevicePixels(painter);
    painter.setFont(font_);
    painter.setPen(QColor(color.red, color.green, color.blue));
    painter.drawText(toPicture(x), toPicture(y) + QFontMetrics(font_).ascent(),
                     QString::fromStdString(text));
    painter.end();
    if (changed_) changed_();
}

void QtPanelCanvas::clear() {
    image_.fill(Qt::white);
    if (changed_) changed_();
}

void QtPanelCanvas::toDevicePixels(QPainter& painter) const {
    painter.scale(1 / image_.devicePixelRatio(), 1 / image_.devicePixelRatio());
}

}  // namespace tallowick
