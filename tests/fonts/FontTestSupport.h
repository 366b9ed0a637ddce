#pragma once
// A GL scene for the font tests: a 256 x 256 headless context whose desktop
// is the same size (so overlay units are pixels), the settings file in a
// temporary folder, the raster and texture components the texture font needs,
// and readers for feedback-mode output.
#include "support/HeadlessGL.h"
#include "support/Sandbox.h"

#include "platform/fonts/Fonts.h"
#include "platform/system/System.h"

#include <GL/gl.h>

#include <functional>
#include <vector>

namespace fonttest {

constexpr int kSceneSize = 256;

class FontScene {
public:
    FontScene();
    ~FontScene();
    FontScene(const FontScene&) = delete;
    FontScene& operator=(const FontScene&) = delete;

    testsupport::Sandbox sandbox;
    testsupport::HeadlessGL gl{kSceneSize, kSceneSize};

private:
    platform::ScreenSize savedDesktop_;
};

// Vertex of a polygon in feedback mode: window coordinates, depth 0 ... 1,
// and the texture coordinates when they were asked for.
struct FeedbackVertex {
    float x, y, z;
    float s, t;
};

struct Feedback {
    std::vector<std::vector<FeedbackVertex>> polygons;
    std::vector<FeedbackVertex> bitmaps; // raster position of each glBitmap
};

// Runs draw in feedback mode and reads back what it produced. With
// textured, vertices carry texture coordinates (GL_3D_COLOR_TEXTURE).
Feedback RecordFeedback(const std::function<void()>& draw, bool textured = false);

// Bounding box and number of the lit pixels (any channel above threshold),
// from the bottom-left.
struct PixelBox {
    int left = 0, bottom = 0, right = -1, top = -1; // inclusive; empty when right < left
    int count = 0;
};
PixelBox LitPixels(const testsupport::HeadlessGL& gl, int threshold = 0);

// A glyph as GetGlyphOutlineA gives it: 1-bit rows padded to 32 bits.
struct GlyphImage {
    platform::GLYPHMETRICS metrics{};
    std::vector<uint8_t> bits;
    bool on(int row, int col) const;
};
GlyphImage GlyphImageOf(const platform::Font& font, uint32_t code, const platform::MAT2* matrix);

// Compares the colour buffer with the upright glyph drawn with its origin at
// pixel (x0, y0): returns the pixels that differ and sets lit to the pixels drawn.
int GlyphMismatches(const testsupport::HeadlessGL& gl, const GlyphImage& image, int x0, int y0, int& lit);

// Clears the colour buffer to black and sets a pixel-sized ortho view.
void ClearScene();

} // namespace fonttest
