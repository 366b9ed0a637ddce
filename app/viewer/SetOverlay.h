#pragma once
// The overlay of a character set that brings its own lines: laid out in the
// window's pixels (wrapped to the window's width in the GL font, cut to its
// height) and drawn from the top left on a dark translucent panel, one size
// whatever the size of the desktop.
#include <string>
#include <vector>

struct SetOverlayLayout {
    std::vector<std::string> rows; // the lines as drawn, one per row
    int widest = 0;                // pixels of the widest row
    int height = 0;                // pixels from the window's top the overlay takes
};

// Lays lines out for a width x height window: each wrapped at the last space
// that lets it fit (else after the last character that fits), and the rows
// that do not fit left out for a last row "...". Needs the GL font's
// component.
SetOverlayLayout LayOutSetOverlay(const std::vector<std::string>& lines, int width, int height);

// Draws a layout over a width x height window, on its panel; the GL state it
// changes is put back.
void DrawSetOverlay(const SetOverlayLayout& layout, int width, int height);
