// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tallowick {

// The order panel is this many pixels wide and shows one order a row, this many pixels high.
inline constexpr int kPanelWidth = 161;
inline constexpr int kPanelRowHeight = 18;

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Isolates the order panel's drawing surface: pixel coordinates, origin at the top-left corner,
// y growing downwards, a white background. Drawing outside the surface is clipped, not an error.
class PanelCanvas {
  public:
    PanelCanvas() = default;
    PanelCanvas(const PanelCanvas&) = delete;
    PanelCanvas& operator=(const PanelCanvas&) = delete;
    virtual ~PanelCanvas() = default;

    // Fills the box from (x1, y1) to (x2, y2) with `color`.
    virtual void fillBox(int x1, int y1, int x2, int y2, Rgb color) = 0;
    // Writes `text` (UTF-8) in `color` and the panel's font, its top-left corner at (x, y).
    virtual void writeText(int x, int y, const std::string& text, Rgb color) = 0;
    // Wipes the whole panel to its white background.
    virtual void clear() = 0;
};

}  // namespace tallowick
