#pragma once
// A window with a GL context of its own and nothing else: no message loop,
// no device-context bookkeeping. It serves code that needs a GL context to
// draw into, not a viewer: the headless fixture of the tests (hidden, on the
// offscreen driver) and the empty-window floor of the start-up benchmark.
#include "GLContext.h"

namespace platform {

class BareGLWindow {
public:
    // Opens a width x height window with a 24-bit depth and 8-bit stencil
    // buffer and makes its context current. hidden: an invisible window on
    // SDL's offscreen driver, whatever display there is. Throws
    // std::runtime_error with SDL's reason when any step fails.
    BareGLWindow(int width, int height, bool hidden);
    ~BareGLWindow();
    BareGLWindow(const BareGLWindow&) = delete;
    BareGLWindow& operator=(const BareGLWindow&) = delete;

    WindowHandle Handle() const { return window_; }
    // Shows the back buffer (a single-buffered offscreen context has none to show).
    void Swap();

private:
    WindowHandle window_ = nullptr;
    void* context_ = nullptr;
};

} // namespace platform
