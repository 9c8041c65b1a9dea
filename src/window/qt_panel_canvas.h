// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include <QFont>
#include <QImage>

#include "ports/panel_canvas.h"

namespace tallowick {

// The order panel drawn into an image that keeps its picture: the widget that shows it only
// copies it to the screen, so covering and uncovering the window loses nothing.
class QtPanelCanvas final : public PanelCanvas {
  public:
    // `changed` is called after every drawing call, so that the owner can schedule a repaint.
    // The picture is `zoom` times as large as the panel's `width` and `height` in each
    // direction: the boxes, and the text drawn in a font fitting a row as large.
    QtPanelCanvas(int width, int height, std::function<void()> changed, int zoom = 1);

    void fillBox(int x1, int y1, int x2, int y2, Rgb color) override;
    void writeText(int x, int y, const std::string& text, Rgb color) override;
    void clear() override;

    const QImage& image() const { return image_; }

    // A bold sans-serif font, as large as fits a row of `rowHeight` pixels.
    static QFont rowFont(int rowHeight);

  private:
    QImage image_;
    QFont font_;
    int zoom_;
    std::function<void()> changed_;
};

}  // namespace tallowick
