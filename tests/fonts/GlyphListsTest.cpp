#include "FontTestSupport.h"

#include "platform/system/CodePage.h"
#include "platform/fonts/Fonts.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

using namespace platform;

namespace {

std::unique_ptr<Font> boldFont(const std::string& face, uint8_t charSet)
{
    return CreateFontA(-16, 0, 0, 0, FW_BOLD, false, false, false, charSet, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       ANTIALIASED_QUALITY, 0, face);
}

constexpr MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
constexpr MAT2 kFlip{{0, 1}, {0, 0}, {0, 0}, {0, -1}};

using fonttest::GlyphImage;

GlyphImage glyphImage(const Font& font, uint32_t code, const MAT2& matrix)
{
    return fonttest::GlyphImageOf(font, code, &matrix);
}

double signedArea(const std::vector<fonttest::FeedbackVertex>& p)
{
    double area = 0.0;
    for (size_t i = 0; i < p.size(); ++i) {
        const auto& a = p[i];
        const auto& b = p[(i + 1) % p.size()];
        area += double(a.x) * b.y - double(b.x) * a.y;
    }
    return area / 2.0;
}

} // namespace

// The 1-bit glyphs land exactly where their black box says, upright, whatever
// unpack state is in force while the lists are compiled.
TEST(GlyphBitmaps, PaintTheGlyphAtTheRasterPositionAndAdvanceByTheCell)
{
    fonttest::FontScene scene;
    auto font = boldFont("Arial", 0);
    ASSERT_TRUE(font->Valid());
    const GLuint base = glGenLists(256);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 3);
    ASSERT_TRUE(wglUseFontBitmapsA(*font, 0, 256, base));
    GLint alignment = 0, rowLength = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(rowLength, 3);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);

    for (char c : std::string("AgjW@i")) {
        SCOPED_TRACE(std::string(1, c));
        fonttest::ClearScene();
        const GlyphImage image = glyphImage(*font, static_cast<uint8_t>(c), kIdentity);
        const int x0 = 40, y0 = 100;
        glColor3f(1.0f, 1.0f, 1.0f);
        glRasterPos2i(x0, y0);
        glCallList(base + static_cast<uint8_t>(c));
        GLfloat raster[4];
        glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
        EXPECT_EQ(raster[0], x0 + image.metrics.gmCellIncX);
        EXPECT_EQ(raster[1], y0);
        EXPECT_GT(image.metrics.gmCellIncX, 0);

        int lit = 0;
        EXPECT_EQ(fonttest::GlyphMismatches(scene.gl, image, x0, y0, lit), 0);
        EXPECT_GT(lit, 10);
    }
    glDeleteLists(base, 256);
}

TEST(GlyphBitmaps, FlipMatrixTurnsRowsBottomUpAndPadsThemTo32Bits)
{
    fonttest::FontScene scene;
    auto font = boldFont(kBig5MingFaceName, CHINESEBIG5_CHARSET);
    ASSERT_TRUE(font->Valid());
    EXPECT_TRUE(font->Embolden()); // the Ming face has no bold of its own
    const uint32_t code = 0xC0CB;
    const GlyphImage upright = glyphImage(*font, code, kIdentity);
    const GlyphImage flipped = glyphImage(*font, code, kFlip);
    const GLYPHMETRICS& m = upright.metrics;
    ASSERT_GT(m.gmBlackBoxX, 8u);
    ASSERT_GT(m.gmBlackBoxY, 8u);
    EXPECT_EQ(upright.bits.size(), (m.gmBlackBoxX + 31) / 32 * 4 * m.gmBlackBoxY);
    EXPECT_EQ(flipped.metrics.gmBlackBoxX, m.gmBlackBoxX);
    EXPECT_EQ(flipped.metrics.gmBlackBoxY, m.gmBlackBoxY);
    EXPECT_EQ(flipped.metrics.gmCellIncX, m.gmCellIncX);
    EXPECT_EQ(flipped.metrics.gmCellIncY, 0);
    // The flipped box's top is the upright box's bottom, mirrored.
    EXPECT_EQ(flipped.metrics.gmptGlyphOrigin.y, int(m.gmBlackBoxY) - m.gmptGlyphOrigin.y);
    int differences = 0;
    for (uint32_t r = 0; r < m.gmBlackBoxY; ++r)
        for (uint32_t c = 0; c < m.gmBlackBoxX; ++c)
            differences += upright.on(r, c) != flipped.on(m.gmBlackBoxY - 1 - r, c);
    EXPECT_EQ(differences, 0);

    GLYPHMETRICS metrics{};
    std::vector<uint8_t> small(upright.bits.size() - 1);
    EXPECT_EQ(GetGlyphOutlineA(*font, code, GGO_BITMAP, &metrics, uint32_t(small.size()), small.data(), &kFlip),
              GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(*font, code, 2 /* grey levels */, &metrics, 0, nullptr, &kFlip), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(*font, code, GGO_METRICS, &metrics, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(metrics.gmBlackBoxX, m.gmBlackBoxX);
    // A space shows no pixel, only an advance.
    const GlyphImage space = glyphImage(*font, ' ', kFlip);
    for (uint32_t r = 0; r < space.metrics.gmBlackBoxY; ++r)
        for (uint32_t c = 0; c < space.metrics.gmBlackBoxX; ++c)
            EXPECT_FALSE(space.on(r, c));
    EXPECT_GT(space.metrics.gmCellIncX, 0);
}

// Outline lists: front face at z = 0 facing +z, back face at -extrusion,
// walls between them, in ems, followed by a move to the next glyph.
TEST(GlyphOutlines, AreExtrudedPolygonsInEmUnits)
{
    fonttest::FontScene scene;
    auto font = boldFont("Arial", 0);
    const GLuint base = glGenLists(256);
    std::vector<GLYPHMETRICSFLOAT> metrics(256);
    ASSERT_TRUE(wglUseFontOutlinesA(*font, 0, 256, base, 0.0f, 0.5f, WGL_FONT_POLYGONS, metrics.data()));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    const GLYPHMETRICSFLOAT& h = metrics['H'];
    EXPECT_GT(h.gmfCellIncX, 0.6f);
    EXPECT_LT(h.gmfCellIncX, 0.9f);
    EXPECT_NEAR(h.gmfBlackBoxY, 0.69f, 0.05f); // cap height of the face
    EXPECT_NEAR(h.gmfptGlyphOrigin.y, h.gmfBlackBoxY, 1e-6f);
    EXPECT_EQ(h.gmfCellIncY, 0.0f);

    // One em spans 100 pixels; depth maps z = 0 to 0.5 and z = -0.5 to 0.75.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 2.56, 0.0, 2.56, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const fonttest::Feedback out = fonttest::RecordFeedback([&] { glCallList(base + 'H'); });
    double frontArea = 0.0, backArea = 0.0;
    size_t faces = 0;
    float minX = 1e9f, maxX = -1e9f;
    for (const auto& polygon : out.polygons) {
        std::set<float> depths;
        for (const auto& v : polygon) {
            depths.insert(std::round(v.z * 1000.0f) / 1000.0f);
            minX = std::min(minX, v.x);
            maxX = std::max(maxX, v.x);
        }
        if (depths == std::set<float>{0.5f})
            frontArea += signedArea(polygon);
        else if (depths == std::set<float>{0.75f})
            backArea += signedArea(polygon);
        else
            ADD_FAILURE() << "vertex outside both faces"; // walls are edge-on here and not drawn
        ++faces;
    }
    const double boxArea = 100.0 * h.gmfBlackBoxX * 100.0 * h.gmfBlackBoxY;
    EXPECT_GT(frontArea, 0.3 * boxArea); // counter-clockwise seen from +z
    EXPECT_LT(frontArea, boxArea);
    EXPECT_NEAR(backArea, -frontArea, 1e-3 * boxArea);
    EXPECT_GT(faces, 0u);
    glClear(GL_COLOR_BUFFER_BIT);
    // Seen from the side (+x), the faces are edge-on and only the walls show,
    // 0.5 em = 50 pixels deep, as high as the glyph.
    glPushMatrix();
    glTranslatef(1.0f, 0.5f, 0.0f);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glCallList(base + 'H');
    glPopMatrix();
    const fonttest::PixelBox side = fonttest::LitPixels(scene.gl);
    EXPECT_NEAR(side.right - side.left + 1, 50, 1);
    EXPECT_NEAR(side.top - side.bottom + 1, 100.0f * h.gmfBlackBoxY, 1.5f);
    EXPECT_NEAR(minX, 100.0f * h.gmfptGlyphOrigin.x, 0.5f);
    EXPECT_NEAR(maxX, 100.0f * (h.gmfptGlyphOrigin.x + h.gmfBlackBoxX), 0.5f);

    GLfloat modelview[16];
    glLoadIdentity();
    glCallList(base + 'H');
    glCallList(base + ' ');
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_NEAR(modelview[12], h.gmfCellIncX + metrics[' '].gmfCellIncX, 1e-5f);

    // Overlapping contours go through the combine callback; the result must
    // still be a filled glyph.
    const fonttest::Feedback ring = fonttest::RecordFeedback([&] { glCallList(base + 0xC5); });
    EXPECT_GT(ring.polygons.size(), 10u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDeleteLists(base, 256);
}

TEST(GlyphOutlines, RefuseWhatTheyCannotBuild)
{
    fonttest::FontScene scene;
    auto font = boldFont("Arial", 0);
    const GLuint list = glGenLists(1);
    EXPECT_FALSE(wglUseFontOutlinesA(*font, 'A', 1, list, 0.0f, 0.5f, WGL_FONT_LINES, nullptr));
    EXPECT_FALSE(wglUseFontOutlinesA(*font, 'A', 1, list, 0.0f, -1.0f, WGL_FONT_POLYGONS, nullptr));
    const fonttest::Feedback out = fonttest::RecordFeedback([&] { glCallList(list); });
    EXPECT_TRUE(out.polygons.empty());
    glDeleteLists(list, 1);
}
