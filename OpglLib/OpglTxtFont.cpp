#include "OpglTxtFont.h"

#include "platform/images/Bitmap.h"
#include "platform/window/Cursor.h"
#include "platform/fonts/FontFaces.h"
#include "platform/system/IniFile.h"
#include "platform/system/System.h"
#include "raster/RasTransform.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>

namespace {

constexpr const char* kFontColorKey = "FFontColor";
constexpr TGLColor4f kDefaultFontColor{0.0f, 0.8f, 0.8f, 1.0f};
constexpr uint8_t kDefaultColorMode = 2;
constexpr const char* kEnglishFace = "Arial";
// Glyphs are painted at 16 points, bold; every channel of their colour is
// raised to at least 128 so that they stand out of the black sheet.
constexpr int kSheetPointSize = 16;
constexpr TColorValue kSheetColorFloor = 0x808080;
constexpr int kEnglishSheetChars = 256;
constexpr int kSheetCols = 16;
// Pixel offsets of a glyph inside its cell; narrow capitals and lower-case
// letters move right to sit nearer the middle.
constexpr int kGlyphInset = 1;
constexpr int kNarrowGlyphInset = 5;
constexpr const char* kNarrowChars = "INXfil";
constexpr float kAmbientFactor = 0.2f;
constexpr float kSpecularFactor = 1.2f;
constexpr double kOverlayFar = 100.0;

const GLfloat* rgba(const TGLColor4f& color) { return &color.X; }

// One GL_QUADS list drawing a 32 x 32 cell mapped onto sheet cell (col, row);
// texture t = 1 is the top of the sheet.
void compileCellQuad(GLuint list, int32_t col, int32_t row, const TGlyphSheetLayout& layout)
{
    const float ds = 1.0f / static_cast<float>(layout.Cols), dt = 1.0f / static_cast<float>(layout.Rows);
    const float sLeft = static_cast<float>(col) * ds, sRight = sLeft + ds;
    const float tTop = 1.0f - static_cast<float>(row) * dt, tBottom = tTop - dt;
    constexpr GLint side = TGLTxtFont::kCellSize;
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glTexCoord2f(sLeft, tBottom);
    glVertex2i(0, 0);
    glTexCoord2f(sRight, tBottom);
    glVertex2i(side, 0);
    glTexCoord2f(sRight, tTop);
    glVertex2i(side, side);
    glTexCoord2f(sLeft, tTop);
    glVertex2i(0, side);
    glEnd();
    glEndList();
}

void releaseTexture(TGLTexture& texture)
{
    if (TGLTexturer* texturer = TGLTexturer::Instance()) {
        texturer->ReleaseTexture(texture);
        return;
    }
    if (texture.GLName != 0)
        glDeleteTextures(1, &texture.GLName);
    texture = TGLTexture{};
}

} // namespace

TGlyphSheetLayout GlyphSheetLayout(int32_t charCount)
{
    if (charCount <= 0)
        return {};
    if (charCount >= kSheetCols)
        return {kSheetCols, (charCount + kSheetCols - 1) / kSheetCols};
    return {charCount, 1};
}

void TGLTxtFont::InitDefaults()
{
    FFontColor = kDefaultFontColor;
    ColorMode = kDefaultColorMode;
}

void TGLTxtFont::LoadKeys(const platform::IniFile& ini)
{
    platform::ReadBinaryRecord(ini, kClassName, kFontColorKey, &FFontColor, sizeof FFontColor);
    // Only a settings file normalises the colour and derives the shades.
    FFontColor = NormalizeFontColor(FFontColor);
    AmbientShade = {kAmbientFactor * FFontColor.X, kAmbientFactor * FFontColor.Y, kAmbientFactor * FFontColor.Z, 0.5f};
    SpecularShade = {std::min(kSpecularFactor * FFontColor.X, 1.0f), std::min(kSpecularFactor * FFontColor.Y, 1.0f),
                     std::min(kSpecularFactor * FFontColor.Z, 1.0f), 0.5f};
}

void TGLTxtFont::SaveKeys(platform::IniFile& ini)
{
    ini.WriteBinary(kClassName, kFontColorKey, &FFontColor, sizeof FFontColor);
}

void TGLTxtFont::CleanupHook() { ReleaseAll(); }

void TGLTxtFont::deleteLists()
{
    // A base of 0 was never made; deleting from 0 would take other owners' lists.
    if (EngListBase != 0 && EngCount > 0)
        glDeleteLists(EngListBase, EngCount);
    if (ChtListBase != 0 && ChtCount > 0)
        glDeleteLists(ChtListBase, ChtCount);
    EngListBase = 0;
    ChtListBase = 0;
}

void TGLTxtFont::ReleaseAll()
{
    releaseTexture(EngTexture);
    releaseTexture(ChtTexture);
    releaseTexture(EngMaskTexture);
    releaseTexture(ChtMaskTexture);
    deleteLists();
}

void TGLTxtFont::BuildFont(const char* engChars, const char* chtChars)
{
    ++builds_;
    deleteLists();
    EngChars = engChars ? engChars : "";
    ChtChars = std::string(kDefaultChtChar) + (chtChars ? chtChars : "");
    UniqueChars(ChtChars);
    EngCount = kEnglishSheetChars;
    EngListBase = glGenLists(EngCount);
    ChtCount = CharCount(ChtChars.c_str());
    ChtListBase = glGenLists(ChtCount);

    const TColorValue color = Color4fToValue(FFontColor.X, FFontColor.Y, FFontColor.Z, FFontColor.W);
    if (!EngChars.empty()) {
        buildEngLists();
        buildSheet(true, kEnglishFace, color);
    }
    if (!ChtChars.empty()) {
        buildChtLists();
        buildSheet(false, platform::kBig5MingFaceName, color);
    }
}

void TGLTxtFont::buildEngLists()
{
    if (EngListBase == 0)
        return;
    // A partial set uses the cells of the full one, so every code keeps its place.
    const TGlyphSheetLayout layout = GlyphSheetLayout(kEnglishSheetChars);
    auto compile = [&](int32_t code) {
        compileCellQuad(EngListBase + static_cast<GLuint>(code), code % layout.Cols, code / layout.Cols, layout);
    };
    if (IsAllEnglish(EngChars)) {
        for (int32_t code = 0; code < kEnglishSheetChars; ++code)
            compile(code);
        return;
    }
    for (const char* p = EngChars.c_str(); *p != '\0'; p += CharLength(p))
        if (CharLength(p) == 1)
            compile(static_cast<uint8_t>(*p));
}

void TGLTxtFont::buildChtLists()
{
    if (ChtListBase == 0)
        return;
    const TGlyphSheetLayout layout = GlyphSheetLayout(ChtCount);
    int32_t k = 0;
    for (const char* p = ChtChars.c_str(); *p != '\0' && k < ChtCount; p += CharLength(p), ++k)
        compileCellQuad(ChtListBase + static_cast<GLuint>(k), k % layout.Cols, k / layout.Cols, layout);
}

void TGLTxtFont::buildSheet(bool english, const char* face, TColorValue color)
{
    SheetColor = color | kSheetColorFloor;
    TGLTexture& glyphTexture = english ? EngTexture : ChtTexture;
    TGLTexture& maskTexture = english ? EngMaskTexture : ChtMaskTexture;
    releaseTexture(glyphTexture);
    releaseTexture(maskTexture);
    TGLTexturer* texturer = TGLTexturer::Instance();
    const TRasTransformer* transformer = TRasTransformer::Instance();
    const TGlyphSheetLayout layout = GlyphSheetLayout(english ? kEnglishSheetChars : ChtCount);
    if (!texturer || !transformer || layout.Cols == 0)
        return;
    try {
        platform::Bitmap sheet(layout.Cols * kCellSize, layout.Rows * kCellSize, platform::PixelFormat::Bits24);
        sheet.PenColor = 0;
        sheet.BrushColor = 0;
        sheet.FillRect(0, 0, sheet.Width(), sheet.Height());
        sheet.Font = platform::BitmapFont{face, kSheetPointSize, true, SheetColor};
        auto mask = std::make_unique<platform::Bitmap>();
        mask->Assign(sheet);
        platform::BusyCursor busy;

        auto paint = [&](int32_t cell, const std::string& character, int inset) {
            sheet.TextOut((cell % layout.Cols) * kCellSize + inset, (cell / layout.Cols) * kCellSize + kGlyphInset,
                          character);
        };
        auto paintCode = [&](int32_t code) {
            const char byte = static_cast<char>(code);
            const bool narrow = byte != '\0' && std::strchr(kNarrowChars, byte) != nullptr;
            paint(code, std::string(1, byte), narrow ? kNarrowGlyphInset : kGlyphInset);
        };
        if (!english) {
            int32_t k = 0;
            for (const char* p = ChtChars.c_str(); *p != '\0'; p += CharLength(p), ++k)
                paint(k, std::string(p, static_cast<size_t>(CharLength(p))), kGlyphInset);
        } else if (IsAllEnglish(EngChars)) {
            for (int32_t code = 0; code < kEnglishSheetChars; ++code)
                paintCode(code);
        } else {
            for (const char* p = EngChars.c_str(); *p != '\0'; p += CharLength(p))
                if (CharLength(p) == 1)
                    paintCode(static_cast<uint8_t>(*p));
        }

        // Making the texture also turns the sheet into a power-of-two, 24-bit bitmap.
        texturer->TextureFromBitmap(&sheet, english ? "Eng" : "Cht", glyphTexture);
        transformer->MakeMask(&sheet, 0x000000, mask);
        texturer->TextureFromBitmap(mask.get(), english ? "EngMask" : "ChtMask", maskTexture);
    } catch (const std::exception&) {
        // The bitmaps and the cursor are put back by their owners; a texture
        // that was not made stays cleared, and its set draws nothing.
    }
}

void TGLTxtFont::drawPass(const char* text, bool maskPass)
{
    const GLuint chtTexture = maskPass ? ChtMaskTexture.GLName : ChtTexture.GLName;
    const GLuint engTexture = maskPass ? EngMaskTexture.GLName : EngTexture.GLName;
    for (const char* p = text; *p != '\0';) {
        const int length = CharLength(p);
        // A quad without its texture would paint a solid block, and list
        // numbers of a base never made belong to others: draw neither.
        if (length == 2) {
            const char ch[3] = {p[0], p[1], '\0'};
            glBindTexture(GL_TEXTURE_2D, chtTexture);
            if (ChtListBase != 0 && chtTexture != 0)
                glCallList(ChtListBase + static_cast<GLuint>(GlyphIndex(ch, ChtChars.c_str())));
            glTranslatef(kDoubleAdvance, 0.0f, 0.0f);
        } else {
            glBindTexture(GL_TEXTURE_2D, engTexture);
            if (EngListBase != 0 && engTexture != 0)
                glCallList(EngListBase + static_cast<uint8_t>(*p));
            glTranslatef(kSingleAdvance, 0.0f, 0.0f);
        }
        p += length;
    }
}

void TGLTxtFont::DrawText(uint32_t x, uint32_t y, const char* text, float scale)
{
    if (!text)
        return;
    GLint blendSrc = GL_ONE, blendDst = GL_ZERO, matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_BLEND_SRC, &blendSrc);
    glGetIntegerv(GL_BLEND_DST, &blendDst);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    const GLboolean colorMaterial = glIsEnabled(GL_COLOR_MATERIAL);
    const GLboolean texture2D = glIsEnabled(GL_TEXTURE_2D);
    const GLboolean blend = glIsEnabled(GL_BLEND);
    // Generated coordinates would replace the cells' own; they stay off.
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);

    glPushAttrib(kOverlayAttribBits);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    const platform::ScreenSize desktop = platform::DesktopSize();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, desktop.width, 0.0, desktop.height, -1.0, kOverlayFar);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    switch (ColorMode) {
    case 0:
        glDisable(GL_LIGHTING);
        glEnable(GL_COLOR_MATERIAL);
        glColor3fv(rgba(GLWhite));
        break;
    case 1:
        glEnable(GL_LIGHTING);
        glEnable(GL_COLOR_MATERIAL);
        glMaterialfv(GL_FRONT, GL_AMBIENT, rgba(AmbientShade));
        glMaterialfv(GL_FRONT, GL_DIFFUSE, rgba(FFontColor));
        glMaterialfv(GL_FRONT, GL_SPECULAR, rgba(SpecularShade));
        glMaterialf(GL_FRONT, GL_SHININESS, GLLowShininess);
        glMaterialfv(GL_FRONT, GL_EMISSION, rgba(FFontColor));
        break;
    case 2:
    case 3:
        glDisable(GL_LIGHTING);
        glEnable(GL_COLOR_MATERIAL);
        glColor3fv(rgba(FFontColor));
        break;
    default:
        break;
    }

    glTranslatef(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0.0f);
    glPushAttrib(GL_LIST_BIT);
    glEnable(GL_NORMALIZE);
    glScalef(scale, scale, scale);
    if (ColorMode == 0 || ColorMode == 3) {
        // destination x mask x colour: unchanged around the strokes, black
        // (or tinted) under them.
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        glPushMatrix();
        drawPass(text, true);
        glPopMatrix();
    }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    drawPass(text, false);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);

    glPopAttrib();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(matrixMode));
    glPopAttrib();

    if (lighting)
        glEnable(GL_LIGHTING);
    if (colorMaterial)
        glEnable(GL_COLOR_MATERIAL);
    else
        glDisable(GL_COLOR_MATERIAL);
    if (!texture2D)
        glDisable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    if (!blend)
        glDisable(GL_BLEND);
    glMaterialfv(GL_FRONT, GL_EMISSION, rgba(GLBlack));
    glBlendFunc(static_cast<GLenum>(blendSrc), static_cast<GLenum>(blendDst));
}

void OpglTxtFontInitialization() { TGLTxtFont::Create(); }

void OpglTxtFontFinalization()
{
    if (TGLTxtFont* font = TGLTxtFont::Instance())
        font->Free();
}
