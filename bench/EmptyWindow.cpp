// The start-up floor: a process that opens a window of the viewer's default
// size with a GL context, clears it, shows it once and exits.
#include "platform/window/BareGLWindow.h"

#include <GL/gl.h>

#include <cstdio>
#include <exception>

int main()
{
    try {
        platform::BareGLWindow window(696, 480, false);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        window.Swap();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quillmo_bench_empty_window: %s\n", e.what());
        return 1;
    }
    return 0;
}
