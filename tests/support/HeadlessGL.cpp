#include "HeadlessGL.h"

namespace testsupport {

HeadlessGL::HeadlessGL(int width, int height) : window_(width, height, true), width_(width), height_(height)
{
    glViewport(0, 0, width, height);
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
