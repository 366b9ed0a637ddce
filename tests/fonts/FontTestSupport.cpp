#include "FontTestSupport.h"

#include "OpglLib/OpglTexture.h"
#include "platform/system/CodePage.h"
#include "raster/RasManage.h"
#include "raster/RasProcess.h"
#include "raster/RasTransform.h"

#include <algorithm>
#include <stdexcept>

namespace fonttest {

FontScene::FontScene() : savedDesktop_(platform::DesktopSize())
{
    platform::SetDesktopSize({kSceneSize, kSceneSize});
    platform::SetActiveCodePage(platform::kCodePageBig5);
    TRasProcessor::Create();
    TRasTransformer::Create();
    TRasManager::Create();
    TGLTexturer::Create();
    ClearScene();
}

FontScene::~FontScene()
{
    TGLTexturer::Instance()->Free();
    TRasManager::Instance()->Free();
    TRasTransformer::Instance()->Free();
    TRasProcessor::Instance()->Free();
    platform::SetActiveCodePage(platform::kCodePageBig5);
    platform::SetDesktopSize(savedDesktop_);
}

Feedback RecordFeedback(const std::function<void()>& draw, bool textured)
{
    std::vector<GLfloat> buffer(1 << 18);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), textured ? GL_3D_COLOR_TEXTURE : GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    if (used < 0)
        throw std::runtime_error("feedback buffer overflow");

    // x, y, z, then RGBA and STRQ when textured.
    const size_t stride = textured ? 11 : 3;
    Feedback out;
    size_t i = 0;
    auto vertex = [&] {
        FeedbackVertex v{buffer[i], buffer[i + 1], buffer[i + 2], 0.0f, 0.0f};
        if (textured) {
            v.s = buffer[i + 7] / buffer[i + 10];
            v.t = buffer[i + 8] / buffer[i + 10];
        }
        i += stride;
        return v;
    };
    while (i < static_cast<size_t>(used)) {
        const auto token = static_cast<GLenum>(buffer[i++]);
        switch (token) {
        case GL_POLYGON_TOKEN: {
            const auto n = static_cast<size_t>(buffer[i++]);
            std::vector<FeedbackVertex> polygon;
            for (size_t k = 0; k < n; ++k)
                polygon.push_back(vertex());
            out.polygons.push_back(polygon);
            break;
        }
        case GL_BITMAP_TOKEN:
            out.bitmaps.push_back(vertex());
            break;
        case GL_POINT_TOKEN:
        case GL_DRAW_PIXEL_TOKEN:
        case GL_COPY_PIXEL_TOKEN:
            vertex();
            break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN:
            vertex();
            vertex();
            break;
        case GL_PASS_THROUGH_TOKEN:
            ++i;
            break;
        default:
            throw std::runtime_error("unknown feedback token");
        }
    }
    return out;
}

PixelBox LitPixels(const testsupport::HeadlessGL& gl, int threshold)
{
    const std::vector<uint8_t> rgb = gl.readPixels();
    PixelBox box{gl.width(), gl.height(), -1, -1, 0};
    for (int y = 0; y < gl.height(); ++y)
        for (int x = 0; x < gl.width(); ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * gl.width() + x) * 3];
            if (p[0] > threshold || p[1] > threshold || p[2] > threshold) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.bottom = std::min(box.bottom, y);
                box.top = std::max(box.top, y);
                ++box.count;
            }
        }
    return box;
}

bool GlyphImage::on(int row, int col) const
{
    const size_t stride = (metrics.gmBlackBoxX + 31) / 32 * 4;
    return (bits[stride * static_cast<size_t>(row) + static_cast<size_t>(col) / 8] & (0x80 >> (col % 8))) != 0;
}

GlyphImage GlyphImageOf(const platform::Font& font, uint32_t code, const platform::MAT2* matrix)
{
    using platform::GGO_BITMAP;
    GlyphImage image;
    const uint32_t size = platform::GetGlyphOutlineA(font, code, GGO_BITMAP, &image.metrics, 0, nullptr, matrix);
    if (size == platform::GDI_ERROR)
        throw std::runtime_error("glyph cannot be rendered");
    image.bits.resize(size);
    if (size > 0 &&
        platform::GetGlyphOutlineA(font, code, GGO_BITMAP, &image.metrics, size, image.bits.data(), matrix) != size)
        throw std::runtime_error("glyph image differs from its size");
    return image;
}

int GlyphMismatches(const testsupport::HeadlessGL& gl, const GlyphImage& image, int x0, int y0, int& lit)
{
    const std::vector<uint8_t> rgb = gl.readPixels();
    const platform::GLYPHMETRICS& m = image.metrics;
    int mismatches = 0;
    lit = 0;
    for (int y = 0; y < gl.height(); ++y)
        for (int x = 0; x < gl.width(); ++x) {
            const bool drawn = rgb[(static_cast<size_t>(y) * gl.width() + x) * 3 + 1] != 0;
            // Row 0 is the top of the box, one pixel below origin.y above the baseline.
            const int col = x - x0 - m.gmptGlyphOrigin.x;
            const int row = y0 + m.gmptGlyphOrigin.y - 1 - y;
            const bool inBox = col >= 0 && row >= 0 && col < static_cast<int>(m.gmBlackBoxX) &&
                               row < static_cast<int>(m.gmBlackBoxY);
            mismatches += drawn != (inBox && image.on(row, col));
            lit += drawn;
        }
    return mismatches;
}

void ClearScene()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, kSceneSize, 0.0, kSceneSize, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

} // namespace fonttest
