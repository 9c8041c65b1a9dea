// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QFont>
#include <QImage>

#include "ports/panel_canvas.h"

class QPainter;

namespace tallowick {

// The order panel drawn into an image that keeps its picture: the widget that shows it only
// copies it to the screen, so covering and uncovering the window loses nothing.
class QtPanelCanvas final : public PanelCanvas {
  public:
    // `changed` is called after every drawing call, so that the owner can schedule a repaint.
    // The picture is `scale` times as large as the panel's `width` and `height` in each
    // direction in the window's pixels, and is drawn on `ratio` times as many device pixels
    // (the screen's device pixel ratio), so that the screen shows it 1:1: the boxes, and the
    // text drawn in a font fitting a row as large.
    QtPanelCanvas(int width, int height, std::function<void()> changed, qreal scale = 1,
                  qreal ratio = 1);

    void fillBox(int x1, int y1, int x2, int y2, Rgb color) override;
    void writeText(int x, int y, const std::string& text, Rgb color) override;
    void clear() override;

    // Makes the picture for a screen of another device pixel ratio. Until the rows are drawn
    // again (the next tick draws them all), it shows the present picture stretched.
    void setDeviceRatio(qreal ratio);

    const QImage& image() const { return image_; }

    // A bold sans-serif font, as large as fits a row of `rowHeight` pixels.
    static QFont rowFont(int rowHeight);

  private:
    // Where the panel's coordinate `v` falls in the picture's pixels: rounded, so that boxes
    // sharing an edge in the panel share one in the picture too, at any ratio.
    int toPicture(int v) const { return qRound(v * pixels_); }
    // Undoes the painter's scaling to the picture's ratio: toPicture() places on its pixels.
    void toDevicePixels(QPainter& painter) const;

    const QSize size_;  // the panel's size in the window's pixels
    const qreal scale_;
    qreal pixels_ = 0;  // the picture's pixels to the panel's
    QImage image_;
    QFont font_;
    std::function<void()> changed_;
};

}  // namespace tallowick
