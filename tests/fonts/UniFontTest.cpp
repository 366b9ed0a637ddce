#include "FontTestSupport.h"

#include "OpglLib/OpglUniFont.h"
#include "platform/system/CodePage.h"
#include "platform/fonts/Fonts.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The GL font made for one test, freed (settings written, lists deleted) at its end.
struct UniFont {
    TGLUniFont* font = TGLUniFont::Create();
    ~UniFont()
    {
        if (TGLUniFont::Instance())
            font->Free();
    }
    TGLUniFont* operator->() const { return font; }
};

std::vector<uint8_t> drawn(const fonttest::FontScene& scene, TGLUniFont* font, const char* text)
{
    fonttest::ClearScene();
    glColor3f(1.0f, 1.0f, 1.0f);
    font->DrawText(20, 20, text);
    return scene.gl.readPixels();
}

size_t bitmapsDrawn(TGLUniFont* font, const char* text)
{
    return fonttest::RecordFeedback([&] { font->DrawText(20, 20, text); }).bitmaps.size();
}

bool listsExist(GLuint base, int32_t count)
{
    for (int32_t i = 0; i < count; ++i)
        if (!glIsList(base + i))
            return false;
    return true;
}

} // namespace

TEST(CharacterRules, CountFindAndDeduplicateMixedText)
{
    platform::SetActiveCodePage(platform::kCodePageBig5);
    EXPECT_EQ(CountChars(nullptr), 0);
    EXPECT_EQ(CountChars(""), 0);
    EXPECT_EQ(CountChars("A\xC0\xCB" "b\xB5\xF8"), 4);
    EXPECT_EQ(CountChars(kIdentificationText), 3);
    // A lead byte that ends the text stands alone; the terminator is not a trail byte.
    EXPECT_EQ(CountChars("AB\xC0"), 3);

    const char* set = "\xC0\xCB" "x" "\xB5\xF8" "\xA4" "A" "A";
    EXPECT_EQ(FindGlyphIndex("\xC0\xCB", set), 0);
    EXPECT_EQ(FindGlyphIndex("x", set), 1);
    EXPECT_EQ(FindGlyphIndex("\xB5\xF8", set), 2);
    EXPECT_EQ(FindGlyphIndex("A", set), 4); // not the trail byte of \xA4 A
    EXPECT_EQ(FindGlyphIndex("\xC0\xF8", set), 0); // lead of one, trail of another
    EXPECT_EQ(FindGlyphIndex("\xB5\xCB", set), 0);
    EXPECT_EQ(FindGlyphIndex("\xBE\xB9", set), 0);
    EXPECT_EQ(FindGlyphIndex(nullptr, set), 0);
    EXPECT_EQ(FindGlyphIndex("x", nullptr), 0);

    std::string unique = "aAbB" "\xA4\x61" "\xA4\x41" "\xC0\xCB" "\xC0\xCB" "c";
    RemoveDuplicateChars(unique);
    EXPECT_EQ(unique, "ab" "\xA4\x61" "\xC0\xCB" "c");
    std::string withNul("A\0B\0A", 5);
    RemoveDuplicateChars(withNul);
    EXPECT_EQ(withNul, "AB");

    EXPECT_TRUE(IsAllEnglish("all english"));
    EXPECT_TRUE(IsAllEnglish("ALL ENGLISH"));
    EXPECT_FALSE(IsAllEnglish("All English "));

    platform::SetActiveCodePage(platform::kCodePageWestern);
    EXPECT_EQ(CountChars(kIdentificationText), 6);
    EXPECT_EQ(FindGlyphIndex("\xCB", "\xC0\xCB"), 1);
    platform::SetActiveCodePage(platform::kCodePageBig5);
}

TEST(TGLUniFont, SettingsKeepTheColourOnFirstRunAndNormaliseItAfterwards)
{
    fonttest::FontScene scene;
    {
        UniFont font;
        EXPECT_EQ(font->FFontColor.X, 0.0f);
        EXPECT_EQ(font->FFontColor.Y, 0.5f);
        EXPECT_EQ(font->FFontColor.Z, 0.5f);
        EXPECT_EQ(font->FFontColor.W, 1.0f);
        EXPECT_EQ(font->Extrusion, 0.5f);
    }
    const std::string saved = scene.sandbox.settingsText();
    EXPECT_NE(saved.find("[TGLUniFont]"), std::string::npos);
    EXPECT_NE(saved.find("mGLUniFont=0"), std::string::npos);
    EXPECT_NE(saved.find("FFontColor=000000000000003F0000003F0000803F"), std::string::npos);
    {
        UniFont font;
        EXPECT_EQ(font->FFontColor.X, 0.0f);
        EXPECT_EQ(font->FFontColor.Y, 128.0f / 255.0f);
        EXPECT_EQ(font->FFontColor.Z, 128.0f / 255.0f);
        EXPECT_EQ(font->FFontColor.W, 0.5f);
    }
    // A longer value gives its first 16 bytes; 16 are written back.
    scene.sandbox.writeSettings("[TGLUniFont]\nFFontColor=0000803F0000003F000000000000803FDEADBEEF\n");
    {
        UniFont font;
        EXPECT_EQ(font->FFontColor.X, 1.0f);
        EXPECT_EQ(font->FFontColor.Y, 128.0f / 255.0f);
        EXPECT_EQ(font->FFontColor.Z, 0.0f);
    }
    EXPECT_NE(scene.sandbox.settingsText().find("FFontColor=0000803F"), std::string::npos);
    EXPECT_EQ(scene.sandbox.settingsText().find("DEADBEEF"), std::string::npos);
}

TEST(TGLUniFont, BuildsAllCodesForAllEnglishInAnyCaseAndOnlyTheGivenOthers)
{
    fonttest::FontScene scene;
    UniFont font;
    font->BuildFont(nullptr, "aLL eNGLISH", kIdentificationText);
    EXPECT_EQ(font->EngCount, 256);
    EXPECT_EQ(font->ChtChars, kIdentificationText); // the default character is its first
    EXPECT_EQ(font->ChtCount, 3);
    EXPECT_TRUE(listsExist(font->EngBitmapBase, 256));
    EXPECT_EQ(bitmapsDrawn(font.font, "ABC"), 3u);
    // Bytes that are no lead bytes, above 127, have glyphs too (euro, y diaeresis).
    EXPECT_EQ(bitmapsDrawn(font.font, "\x80\xFF"), 2u);
    drawn(scene, font.font, "\x80\xFF");
    EXPECT_GT(fonttest::LitPixels(scene.gl).count, 40);
    const std::vector<uint8_t> abcAll = drawn(scene, font.font, "ABC");

    font->BuildFont(nullptr, "AB", "");
    EXPECT_EQ(font->ChtChars, kDefaultChtChar);
    EXPECT_EQ(font->ChtCount, 1);
    EXPECT_EQ(bitmapsDrawn(font.font, "ABC"), 2u);
    // C neither draws nor moves the raster position: "ABC" looks like "AB".
    EXPECT_EQ(drawn(scene, font.font, "ABC"), drawn(scene, font.font, "AB"));
    EXPECT_NE(drawn(scene, font.font, "ABC"), abcAll);

    font->BuildFont(nullptr, "AB", "\xB5\xF8" "\xC0\xCB" "\xB5\xF8");
    EXPECT_EQ(font->ChtChars, "\xC0\xCB" "\xB5\xF8");
    EXPECT_EQ(font->ChtCount, 2);
}

TEST(TGLUniFont, BuildsExtrudedOutlineListsForBothSets)
{
    fonttest::FontScene scene;
    UniFont font;
    font->BuildFont(nullptr, "All English", kIdentificationText);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.0, 2.0, -1.0, 2.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    for (GLuint list : {font->EngOutlineBase + 'A', font->ChtOutlineBase + 0, font->ChtOutlineBase + 2}) {
        SCOPED_TRACE(list);
        float nearest = 1.0f, farthest = 0.0f;
        const fonttest::Feedback out = fonttest::RecordFeedback([&] { glCallList(list); });
        EXPECT_GT(out.polygons.size(), 10u);
        for (const auto& polygon : out.polygons)
            for (const auto& v : polygon) {
                nearest = std::min(nearest, v.z);
                farthest = std::max(farthest, v.z);
            }
        // z = 0 and z = -Extrusion under glOrtho(..., -1, 1).
        EXPECT_NEAR(nearest, 0.5f, 1e-4f);
        EXPECT_NEAR(farthest, 0.75f, 1e-4f);
    }
    EXPECT_GT(OutlineGlyphMetrics[0].gmfCellIncX, 0.9f); // the last glyph built: a full-width character
}

TEST(TGLUniFont, SecondBuildAndReleaseDeleteThePreviousRanges)
{
    fonttest::FontScene scene;
    UniFont font;
    font->BuildFont(nullptr, "All English", kIdentificationText);
    struct Range {
        GLuint base;
        int32_t count;
    };
    const std::vector<Range> first = {{font->EngBitmapBase, 256},
                                      {font->EngOutlineBase, 256},
                                      {font->ChtBitmapBase, font->ChtCount},
                                      {font->ChtOutlineBase, font->ChtCount}};
    font->BuildFont(nullptr, "AB", "");
    const std::vector<Range> second = {{font->EngBitmapBase, 256},
                                       {font->EngOutlineBase, 256},
                                       {font->ChtBitmapBase, 1},
                                       {font->ChtOutlineBase, 1}};
    auto inRanges = [](const std::vector<Range>& ranges, GLuint name) {
        for (const Range& r : ranges)
            if (name >= r.base && name < r.base + GLuint(r.count))
                return true;
        return false;
    };
    int leftovers = 0, checked = 0;
    for (const Range& r : first)
        for (int32_t i = 0; i < r.count; ++i)
            if (!inRanges(second, r.base + i)) {
                ++checked;
                leftovers += glIsList(r.base + i) ? 1 : 0;
            }
    EXPECT_GT(checked, 0);
    EXPECT_EQ(leftovers, 0);

    font->ReleaseLists();
    for (const Range& r : second)
        for (int32_t i = 0; i < r.count; ++i)
            EXPECT_FALSE(glIsList(r.base + i));
    font->ReleaseLists(); // nothing left to delete: no other owner's lists go
}

TEST(TGLUniFont, DrawTextPlacesGlyphsInOverlayCoordinates)
{
    fonttest::FontScene scene;
    UniFont font;
    font->BuildFont(nullptr, "All English", kIdentificationText);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    font->DrawText(20, 20, "H");
    fonttest::PixelBox box = fonttest::LitPixels(scene.gl);
    EXPECT_EQ(box.bottom, 36); // the baseline is 16 above y
    EXPECT_GE(box.left, 20);
    EXPECT_LE(box.left, 22);
    EXPECT_NEAR(box.top, 36 + 11, 1); // cap height of a 16-pixel em

    // A desktop twice the viewport halves every overlay unit.
    platform::SetDesktopSize({2 * fonttest::kSceneSize, 2 * fonttest::kSceneSize});
    fonttest::ClearScene();
    font->DrawText(40, 4, "H");
    box = fonttest::LitPixels(scene.gl);
    EXPECT_EQ(box.bottom, 10);
    EXPECT_GE(box.left, 20);
    EXPECT_LE(box.left, 22);

    // With lighting on the glyphs shine in the font colour.
    platform::SetDesktopSize({fonttest::kSceneSize, fonttest::kSceneSize});
    fonttest::ClearScene();
    glEnable(GL_LIGHTING);
    font->DrawText(20, 20, "H");
    glDisable(GL_LIGHTING);
    const testsupport::HeadlessGL::Rgb stroke = scene.gl.pixel(box.left, 37);
    EXPECT_EQ(stroke.r, 0);
    EXPECT_EQ(stroke.g, 128);
    EXPECT_EQ(stroke.b, 128);
}

TEST(TGLUniFont, DoubleByteCharactersDrawTheirGlyphOrTheDefault)
{
    fonttest::FontScene scene;
    UniFont font;
    font->BuildFont(nullptr, "All English", std::string(kIdentificationText).append("\xA4\xA4").c_str());
    const std::vector<uint8_t> fallback = drawn(scene, font.font, kDefaultChtChar);
    EXPECT_EQ(drawn(scene, font.font, "\xA4\x40"), fallback); // not in the set
    EXPECT_EQ(drawn(scene, font.font, "\xC0\xB9"), fallback); // lead of one, trail of another
    EXPECT_NE(drawn(scene, font.font, "\xB5\xF8"), fallback);

    // The glyph lands where its metrics put it, upright, right of the origin.
    auto ming = platform::CreateFontA(-16, 0, 0, 0, platform::FW_BOLD, false, false, false,
                                      platform::CHINESEBIG5_CHARSET, 0, 0, 0, 0, platform::kBig5MingFaceName);
    const fonttest::GlyphImage image = fonttest::GlyphImageOf(*ming, 0xA4A4, nullptr);
    ASSERT_GT(image.metrics.gmptGlyphOrigin.x, 0); // the fault this guards would show as a shift of twice this
    glDisable(GL_LIGHTING);
    drawn(scene, font.font, "\xA4\xA4");
    int lit = 0;
    EXPECT_EQ(fonttest::GlyphMismatches(scene.gl, image, 20, 36, lit), 0);
    EXPECT_GT(lit, 40);

    // A lead byte at the very end stands alone and draws its single-byte list.
    EXPECT_EQ(bitmapsDrawn(font.font, "A\xB5"), 2u);
}

TEST(TGLUniFont, DrawTextRestoresStateAndNilTouchesNothing)
{
    fonttest::FontScene scene;
    UniFont font;
    font->BuildFont(nullptr, "All English", kIdentificationText);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    GLfloat projection[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    const GLfloat emission[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    glMaterialfv(GL_FRONT, GL_EMISSION, emission);

    font->DrawText(20, 20, nullptr);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    GLfloat readEmission[4];
    glGetMaterialfv(GL_FRONT, GL_EMISSION, readEmission);
    EXPECT_EQ(readEmission[2], 0.75f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);

    for (const char* text : {"", "Hi \xC0\xCB"}) {
        SCOPED_TRACE(text);
        glDisable(GL_TEXTURE_2D);
        font->DrawText(20, 20, text);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D)); // texturing is left on
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
        glGetMaterialfv(GL_FRONT, GL_EMISSION, readEmission);
        EXPECT_EQ(readEmission[0], 0.0f);
        EXPECT_EQ(readEmission[2], 0.0f);
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        EXPECT_EQ(mode, GL_PROJECTION);
        glGetFloatv(GL_PROJECTION_MATRIX, after);
        EXPECT_EQ(std::vector<GLfloat>(after, after + 16), std::vector<GLfloat>(projection, projection + 16));
    }
    glDisable(GL_COLOR_MATERIAL);
    font->DrawText(20, 20, "x");
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
}

TEST(TGLUniFont, SingleByteCodePageDrawsTheIdentificationTextAsSixGlyphs)
{
    fonttest::FontScene scene;
    platform::SetActiveCodePage(platform::kCodePageWestern);
    UniFont font;
    font->BuildFont(nullptr, "All English", kIdentificationText);
    EXPECT_EQ(font->ChtCount, 6);
    const fonttest::Feedback out = fonttest::RecordFeedback([&] { font->DrawText(20, 20, kIdentificationText); });
    ASSERT_EQ(out.bitmaps.size(), 6u);
    auto arial = platform::CreateFontA(-16, 0, 0, 0, platform::FW_BOLD, false, false, false, 0, 0, 0, 0, 0, "Arial");
    float x = 20.0f;
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(out.bitmaps[i].x, x);
        platform::GLYPHMETRICS metrics{};
        platform::GetGlyphOutlineA(*arial, static_cast<uint8_t>(kIdentificationText[i]), platform::GGO_METRICS,
                                   &metrics, 0, nullptr, nullptr);
        x += metrics.gmCellIncX;
    }
}
