#pragma once

#include <string>

namespace tallowick {

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

    // Sets the colour that the next box and text are drawn in.
    virtual void setForeColor(Rgb color) = 0;
    // Fills the box from (x1, y1) to (x2, y2) with the foreground colour.
    virtual void fillBox(int x1, int y1, int x2, int y2) = 0;
    // Moves the top-left corner of the next text to (x, y).
    virtual void setTextPosition(int x, int y) = 0;
    // Writes `text` (UTF-8) at the text position in the foreground colour and the panel's font.
    virtual void writeText(const std::string& text) = 0;
    // Wipes the whole panel to its white background.
    virtual void clear() = 0;
};

}  // namespace tallowick
