#include "BareGLWindow.h"

#include <SDL2/SDL.h>

#include <stdexcept>
#include <string>

namespace platform {

namespace {

[[noreturn]] void fail(const char* step) { throw std::runtime_error(std::string(step) + ": " + SDL_GetError()); }

} // namespace

BareGLWindow::BareGLWindow(int width, int height, bool hidden)
{
    if (hidden)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        fail("SDL video");
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    window_ = SDL_CreateWindow("Form1", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                               SDL_WINDOW_OPENGL | (hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN));
    if (!window_)
        fail("SDL window");
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
        SDL_DestroyWindow(window_);
        fail("GL context");
    }
    SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
}

BareGLWindow::~BareGLWindow()
{
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    SDL_DestroyWindow(window_);
}

void BareGLWindow::Swap() { SDL_GL_SwapWindow(window_); }

} // namespace platform
