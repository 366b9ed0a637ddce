#include "FontTestSupport.h"

#include "OpglLib/OpglTxtFont.h"
#include "platform/system/CodePage.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <string>
#include <vector>

namespace {

// The texture font made for one test, freed (settings written, textures and
// lists released) at its end.
struct TxtFont {
    TGLTxtFont* font = TGLTxtFont::Create();
    ~TxtFont()
    {
        if (TGLTxtFont::Instance())
            font->Free();
    }
    TGLTxtFont* operator->() const { return font; }
};

// Quads drawn, as the feedback buffer reports them (two triangles each).
struct Quad {
    float left, bottom, right, top;
    float sLeft, sRight;
};

std::vector<Quad> quadsDrawn(TGLTxtFont* font, uint32_t x, uint32_t y, const char* text, float scale)
{
    const fonttest::Feedback out =
        fonttest::RecordFeedback([&] { font->DrawText(x, y, text, scale); }, /*textured=*/true);
    std::vector<Quad> quads;
    for (size_t i = 0; i + 1 < out.polygons.size(); i += 2) {
        Quad q{1e9f, 1e9f, -1e9f, -1e9f, 1e9f, -1e9f};
        for (size_t k = i; k < i + 2; ++k)
            for (const auto& v : out.polygons[k]) {
                q.left = std::min(q.left, v.x);
                q.right = std::max(q.right, v.x);
                q.bottom = std::min(q.bottom, v.y);
                q.top = std::max(q.top, v.y);
                q.sLeft = std::min(q.sLeft, v.s);
                q.sRight = std::max(q.sRight, v.s);
            }
        quads.push_back(q);
    }
    return quads;
}

} // namespace

TEST(GlyphSheetLayout, SixteenColumnsFromSixteenCharactersOn)
{
    struct Case {
        int32_t n, cols, rows;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 0}, {1, 1, 1}, {5, 5, 1}, {15, 15, 1}, {16, 16, 1}, {17, 16, 2},
                                           {256, 16, 16}}) {
        const TGlyphSheetLayout layout = GlyphSheetLayout(c.n);
        EXPECT_EQ(layout.Cols, c.cols) << c.n;
        EXPECT_EQ(layout.Rows, c.rows) << c.n;
    }
}

TEST(TGLTxtFont, SettingsDeriveTheShadesOnlyFromASettingsFile)
{
    fonttest::FontScene scene;
    {
        TxtFont font;
        EXPECT_EQ(font->FFontColor.Y, 0.8f);
        EXPECT_EQ(font->FFontColor.W, 1.0f);
        EXPECT_EQ(font->AmbientShade.Y, 0.0f);
        EXPECT_EQ(font->SpecularShade.Y, 0.0f);
        EXPECT_EQ(font->SpecularShade.W, 0.0f);
        EXPECT_EQ(font->ColorMode, 2);
    }
    EXPECT_NE(scene.sandbox.settingsText().find("FFontColor=00000000CDCC4C3FCDCC4C3F0000803F"), std::string::npos);
    EXPECT_NE(scene.sandbox.settingsText().find("mGLTxtFont=0"), std::string::npos);
    {
        TxtFont font;
        EXPECT_EQ(font->FFontColor.Y, 204.0f / 255.0f);
        EXPECT_EQ(font->FFontColor.W, 0.5f);
        EXPECT_FLOAT_EQ(font->AmbientShade.Y, 0.2f * 204.0f / 255.0f);
        EXPECT_EQ(font->AmbientShade.W, 0.5f);
        EXPECT_FLOAT_EQ(font->SpecularShade.Y, 1.2f * 204.0f / 255.0f);
        EXPECT_EQ(font->SpecularShade.X, 0.0f);
    }
    // (1, 0.5, 0.25, 1) and four bytes more: the specular shade stops at 1.
    scene.sandbox.writeSettings("[TGLTxtFont]\nFFontColor=0000803F0000003F0000803E0000803F01020304\n");
    {
        TxtFont font;
        EXPECT_EQ(font->FFontColor.X, 1.0f);
        EXPECT_EQ(font->SpecularShade.X, 1.0f);
        EXPECT_FLOAT_EQ(font->SpecularShade.Y, 1.2f * 128.0f / 255.0f);
        EXPECT_FLOAT_EQ(font->AmbientShade.Z, 0.2f * 64.0f / 255.0f);
    }
    EXPECT_EQ(scene.sandbox.settingsText().find("01020304"), std::string::npos);
}

TEST(TGLTxtFont, BuildMakesSheetTexturesAndReleaseDeletesThem)
{
    fonttest::FontScene scene;
    GLuint names[4] = {};
    {
        TxtFont font;
        // The default character, the identification text's other two, and two more.
        font->BuildFont("All English", (std::string(kIdentificationText) + "\xA4\x40\xA4\xA4").c_str());
        EXPECT_EQ(font->ChtCount, 5);
        EXPECT_EQ(font->SheetColor, 0xCCCC80u); // red 128, green and blue 204
        EXPECT_EQ(font->EngTexture.TextureName, "Eng");
        EXPECT_EQ(font->EngMaskTexture.TextureName, "EngMask");
        EXPECT_EQ(font->ChtTexture.TextureName, "Cht");
        EXPECT_EQ(font->ChtMaskTexture.TextureName, "ChtMask");
        EXPECT_EQ(font->EngTexture.Width, 512);
        EXPECT_EQ(font->EngTexture.Height, 512);
        EXPECT_EQ(font->EngMaskTexture.Width, 512);
        // 5 cells of 32 make 160 pixels, which the texture manager takes down to 128.
        EXPECT_EQ(font->ChtTexture.Width, 128);
        EXPECT_EQ(font->ChtTexture.Height, 32);
        EXPECT_EQ(font->ChtMaskTexture.Width, 128);
        const TGLTexture* textures[] = {&font->EngTexture, &font->EngMaskTexture, &font->ChtTexture,
                                        &font->ChtMaskTexture};
        for (int i = 0; i < 4; ++i) {
            names[i] = textures[i]->GLName;
            EXPECT_TRUE(glIsTexture(names[i]));
        }

        // Each double-byte character still maps to one fifth of the texture.
        const std::vector<Quad> quads = quadsDrawn(font.font, 20, 20, "\xA4\xA4" "\xB5\xF8" "\xA4\x41", 1.0f);
        ASSERT_EQ(quads.size(), 3u);
        EXPECT_NEAR(quads[0].sLeft, 4.0f / 5.0f, 1e-5f);
        EXPECT_NEAR(quads[0].sRight, 1.0f, 1e-5f);
        EXPECT_NEAR(quads[1].sLeft, 1.0f / 5.0f, 1e-5f);
        EXPECT_NEAR(quads[2].sLeft, 0.0f, 1e-5f); // not in the set: the default character
        EXPECT_NEAR(quads[1].left - quads[0].left, 64.0f / 3.0f, 1e-3f);
    }
    for (GLuint name : names)
        EXPECT_FALSE(glIsTexture(name));
}

TEST(TGLTxtFont, QuadsFollowFixedAdvancesAndSkipCharactersOutsideTheSet)
{
    fonttest::FontScene scene;
    TxtFont font;
    font->BuildFont("AB", "");
    EXPECT_EQ(font->ChtCount, 1);
    EXPECT_EQ(font->ChtTexture.Width, 32); // one cell
    std::vector<Quad> quads = quadsDrawn(font.font, 20, 30, "ABC" "\xC0\xCB" "A", 1.0f);
    ASSERT_EQ(quads.size(), 4u); // no quad for C, which still moves on by 16
    EXPECT_FLOAT_EQ(quads[0].left, 20.0f);
    EXPECT_FLOAT_EQ(quads[0].right, 52.0f);
    EXPECT_FLOAT_EQ(quads[0].bottom, 30.0f);
    EXPECT_FLOAT_EQ(quads[0].top, 62.0f);
    EXPECT_FLOAT_EQ(quads[1].left, 36.0f);
    EXPECT_FLOAT_EQ(quads[2].left, 68.0f);
    EXPECT_NEAR(quads[3].left, 68.0f + 64.0f / 3.0f, 1e-3f);
    // A and B sample the cells of the full 16 x 16 sheet.
    EXPECT_NEAR(quads[0].sLeft, ('A' % 16) / 16.0f, 1e-5f);
    EXPECT_NEAR(quads[1].sLeft, ('B' % 16) / 16.0f, 1e-5f);

    quads = quadsDrawn(font.font, 20, 30, "AB", 0.5f);
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[0].right, 36.0f);
    EXPECT_FLOAT_EQ(quads[1].left, 28.0f);

    font->ColorMode = 3; // the mask pass draws every quad once more
    EXPECT_EQ(quadsDrawn(font.font, 20, 30, "AB", 1.0f).size(), 4u);
}

TEST(TGLTxtFont, ColourModesBlendTheGlyphsEachInItsOwnWay)
{
    fonttest::FontScene scene;
    TxtFont font;
    font->BuildFont("All English", kIdentificationText);
    auto render = [&](uint8_t mode) {
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f); // a red scene
        glClear(GL_COLOR_BUFFER_BIT);
        font->ColorMode = mode;
        font->DrawText(20, 20, "H", 1.0f);
        return scene.gl.readPixels();
    };
    auto at = [](const std::vector<uint8_t>& rgb, int x, int y) {
        const uint8_t* p = &rgb[(static_cast<size_t>(y) * fonttest::kSceneSize + x) * 3];
        return std::vector<int>{p[0], p[1], p[2]};
    };
    const std::vector<uint8_t> added = render(2), dark = render(0), tinted = render(3), lit = render(1);

    // Modes 2 and 1 only add: red stays 255 everywhere, strokes gain green.
    int strokes = 0, litStrokes = 0;
    for (int y = 20; y < 52; ++y)
        for (int x = 20; x < 52; ++x) {
            const std::vector<int> a = at(added, x, y), d = at(dark, x, y);
            EXPECT_EQ(a[0], 255);
            EXPECT_EQ(at(lit, x, y)[0], 255);
            litStrokes += at(lit, x, y)[1] > 0;
            if (a[1] > 0) {
                ++strokes;
                // Mode 0 blackens what lies under a stroke, then adds the
                // stroke in white: at most the sheet's red of 128 is left.
                EXPECT_LE(d[0], 128) << x << "," << y;
            } else {
                EXPECT_EQ(d, (std::vector<int>{255, 0, 0})) << x << "," << y;
            }
        }
    EXPECT_GT(strokes, 40);
    EXPECT_GT(litStrokes, 40);
    // Mode 3 tints the whole cell by the font colour, which has no red.
    EXPECT_EQ(at(tinted, 21, 21), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(at(tinted, 50, 50), (std::vector<int>{0, 0, 0}));
    // Outside the cell no mode changes anything.
    for (const auto* image : {&added, &dark, &tinted, &lit}) {
        EXPECT_EQ(at(*image, 19, 30), (std::vector<int>{255, 0, 0}));
        EXPECT_EQ(at(*image, 30, 53), (std::vector<int>{255, 0, 0}));
    }
}

TEST(TGLTxtFont, DrawTextRestoresStateAndNilTouchesNothing)
{
    fonttest::FontScene scene;
    TxtFont font;
    font->BuildFont("All English", kIdentificationText);
    glEnable(GL_TEXTURE_GEN_S);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_COLOR_MATERIAL);
    glMatrixMode(GL_PROJECTION);

    font->DrawText(20, 20, nullptr, 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

    for (uint8_t mode : {0, 1, 2, 3}) {
        SCOPED_TRACE(int(mode));
        glEnable(GL_TEXTURE_GEN_T);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        font->ColorMode = mode;
        font->DrawText(20, 20, "Ab\xC0\xCB", 0.7f);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)); // on afterwards, whatever it was
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
        EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
        GLint src = 0, dst = 0, matrixMode = 0, bound = -1;
        glGetIntegerv(GL_BLEND_SRC, &src);
        glGetIntegerv(GL_BLEND_DST, &dst);
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(src, GL_SRC_COLOR);
        EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
        EXPECT_EQ(matrixMode, GL_PROJECTION);
        EXPECT_EQ(bound, 0);
        GLfloat emission[4];
        glGetMaterialfv(GL_FRONT, GL_EMISSION, emission);
        EXPECT_EQ(emission[1], 0.0f);
    }
    glEnable(GL_LIGHTING);
    font->DrawText(20, 20, "x", 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glMatrixMode(GL_MODELVIEW);
}

TEST(TGLTxtFont, SingleByteCodePageDrawsTheIdentificationTextAsSixQuads)
{
    fonttest::FontScene scene;
    platform::SetActiveCodePage(platform::kCodePageWestern);
    TxtFont font;
    font->BuildFont("All English", kIdentificationText);
    const std::vector<Quad> quads = quadsDrawn(font.font, 20, 20, kIdentificationText, 1.0f);
    ASSERT_EQ(quads.size(), 6u);
    for (size_t i = 0; i < quads.size(); ++i) {
        EXPECT_FLOAT_EQ(quads[i].left, 20.0f + 16.0f * i);
        const auto code = static_cast<uint8_t>(kIdentificationText[i]);
        EXPECT_NEAR(quads[i].sLeft, (code % 16) / 16.0f, 1e-5f);
    }
}
