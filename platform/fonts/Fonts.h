#pragma once
// The system's font services as the GL fonts use them: a font object made
// from a face name, a height and a weight; display lists of 1-bit glyphs drawn
// at the raster position; display lists of extruded glyph outlines in em
// units; and single glyphs as 1-bit bitmaps with their metrics.
//
// Character codes are read in the active code page: a code up to 0xFF is one
// byte, a larger code is lead byte * 256 + trail byte. The 256 single-byte
// codes of the list builders are always read in the Western page, because in
// Big5 the bytes from 0x81 up are lead bytes and name no character alone.
#include "platform/fonts/FontFaces.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Character-set value of the double-byte traditional-Chinese fonts.
inline constexpr uint8_t CHINESEBIG5_CHARSET = 136;
inline constexpr int FW_NORMAL = 400;
inline constexpr int FW_BOLD = 700;
inline constexpr uint8_t OUT_TT_PRECIS = 4;
inline constexpr uint8_t CLIP_DEFAULT_PRECIS = 0;
inline constexpr uint8_t ANTIALIASED_QUALITY = 4;

// Glyph formats of GetGlyphOutlineA.
inline constexpr uint32_t GGO_METRICS = 0;
inline constexpr uint32_t GGO_BITMAP = 1;
inline constexpr uint32_t GDI_ERROR = 0xFFFFFFFFu;

// Outline list formats of wglUseFontOutlinesA.
inline constexpr int WGL_FONT_LINES = 0;
inline constexpr int WGL_FONT_POLYGONS = 1;

// The request a font object was made from.
struct LogFont {
    int height = 0; // < 0: em height in pixels; > 0: cell height in pixels
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = FW_NORMAL;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::string faceName; // in the active code page
};

// A font object: the matched face, sized for its pixel height. Glyph output
// is 1-bit whatever quality was asked for. Only upright, unscaled-width fonts
// are made: width, escapement, orientation, italic, underline and strike-out
// are kept but do not change the glyphs.
class Font {
public:
    explicit Font(const LogFont& request);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const LogFont& Request() const { return request_; }
    // True when a face was found and opened.
    bool Valid() const { return face_.Valid(); }
    FT_FaceRec_* Face() const { return face_.Get(); }
    // Bold asked for and the face is regular: glyphs are emboldened.
    bool Embolden() const { return face_.Embolden(); }

private:
    LogFont request_;
    FontFace face_;
};

// Unicode of a character code as the glyph builders read it (see above);
// 0 when the code names no character.
char32_t CodeToUnicode(uint32_t code);
// The face's glyph for a character code; 0, the missing-glyph shape, when the
// code names no character or the face lacks it.
unsigned GlyphIndexOf(const Font& font, uint32_t code);

// Makes a font object; deleting it is the end of its unique_ptr. A face that
// cannot be found still gives an object, whose glyphs all fail.
std::unique_ptr<Font> CreateFontA(int height, int width, int escapement, int orientation, int weight, bool italic,
                                  bool underline, bool strikeOut, uint8_t charSet, uint8_t outPrecision,
                                  uint8_t clipPrecision, uint8_t quality, uint8_t pitchAndFamily,
                                  const std::string& faceName);

// Compiles one display list per code first ... first + count - 1 into
// listBase + i: a glBitmap of the glyph (1 bit per pixel) placed at the
// raster position, which then moves on by the glyph's cell increment. A glyph
// that cannot be rendered leaves its list as it was. Needs a current GL
// context; returns false when the font has no face.
bool wglUseFontBitmapsA(const Font& font, uint32_t first, uint32_t count, uint32_t listBase);

struct POINTFLOAT {
    float x;
    float y;
};

// Metrics of an outline glyph in em units (the em is 1.0).
struct GLYPHMETRICSFLOAT {
    float gmfBlackBoxX;
    float gmfBlackBoxY;
    POINTFLOAT gmfptGlyphOrigin; // top-left of the black box from the origin, y up
    float gmfCellIncX;
    float gmfCellIncY;
};

// Compiles one display list per code first ... first + count - 1 into
// listBase + i: the glyph's outline filled as triangles at z = 0 (normal +z)
// and, with a non-zero extrusion, again at z = -extrusion (normal -z) joined
// by side walls; then a translation by the cell increment, so that lists
// called one after another set text. Curves are flattened so that no chord
// strays more than deviation ems from the curve (0: one font unit). Only
// WGL_FONT_POLYGONS is supported. metrics, when given, receives count records.
// A glyph that cannot be converted leaves its list as it was. Needs a current
// GL context; returns false when the font has no face or the format is not
// supported.
bool wglUseFontOutlinesA(const Font& font, uint32_t first, uint32_t count, uint32_t listBase, float deviation,
                         float extrusion, int format, GLYPHMETRICSFLOAT* metrics);

// 16.16 fixed-point number: value + fract / 65536.
struct FIXED {
    uint16_t fract;
    int16_t value;
};

// 2 x 2 transform applied to a glyph: x' = eM11 x + eM21 y, y' = eM12 x + eM22 y.
struct MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};

struct POINT {
    int32_t x;
    int32_t y;
};

// Metrics of a glyph bitmap in pixels.
struct GLYPHMETRICS {
    uint32_t gmBlackBoxX;
    uint32_t gmBlackBoxY;
    POINT gmptGlyphOrigin; // top-left of the black box from the origin, y up
    int16_t gmCellIncX;
    int16_t gmCellIncY;
};

// One glyph of the font, transformed by matrix (none: unchanged). With
// GGO_BITMAP it returns the size of the 1-bit image (rows top to bottom of the
// transformed glyph, each padded to 32 bits) and, when buffer holds at least
// that many bytes, writes the image there (a blank glyph such as the space
// is one blank pixel). GGO_METRICS fills only the metrics and returns 0. A glyph
// that cannot be rendered, an unsupported format or a buffer too small
// returns GDI_ERROR.
uint32_t GetGlyphOutlineA(const Font& font, uint32_t code, uint32_t format, GLYPHMETRICS* metrics, uint32_t size,
                          void* buffer, const MAT2* matrix);

} // namespace platform
