#include "HeadlessGL.h"

#include <SDL2/SDL.h>

#include <stdexcept>
#include <string>

namespace testsupport {

HeadlessGL::HeadlessGL(int width, int height) : width_(width), height_(height)
{
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        throw std::runtime_error(std::string("SDL video: ") + SDL_GetError());
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    window_ = SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_)
        throw std::runtime_error(std::string("SDL window: ") + SDL_GetError());
    context_ = SDL_GL_CreateContext(window_);
    if (!context_)
        throw std::runtime_error(std::string("GL context: ") + SDL_GetError());
    SDL_GL_MakeCurrent(window_, static_cast<SDL_GLContext>(context_));
    glViewport(0, 0, width, height);
}

HeadlessGL::~HeadlessGL()
{
    if (context_)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    if (window_)
        SDL_DestroyWindow(window_);
}

std::vector<uint8_t> HeadlessGL::readPixels() const
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width_) * height_ * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

HeadlessGL::Rgb HeadlessGL::pixel(int x, int y) const
{
    uint8_t rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return {rgb[0], rgb[1], rgb[2]};
}

} // namespace testsupport
