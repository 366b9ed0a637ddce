#pragma once
// A real OpenGL context for tests: a hidden window on SDL's offscreen driver
// (no display needed) with Mesa behind it. The context stays current for the
// life of the object. The offscreen context is single-buffered: read pixels
// before any swap.
#include "platform/window/BareGLWindow.h"

#include <GL/gl.h>

#include <cstdint>
#include <vector>

namespace testsupport {

class HeadlessGL {
public:
    explicit HeadlessGL(int width = 256, int height = 256);

    platform::WindowHandle window() const { return window_.Handle(); }
    int width() const { return width_; }
    int height() const { return height_; }

    // RGB bytes of the colour buffer, bottom row first.
    std::vector<uint8_t> readPixels() const;
    // RGB of one pixel, (x, y) from the bottom-left corner.
    struct Rgb {
        uint8_t r, g, b;
    };
    Rgb pixel(int x, int y) const;

private:
    platform::BareGLWindow window_;
    int width_;
    int height_;
};

} // namespace testsupport
