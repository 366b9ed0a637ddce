// Font objects, 1-bit glyph lists and single glyph bitmaps. The outline lists
// are in FontOutlines.cpp.
#include "Fonts.h"

#include "platform/system/CodePage.h"

#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace platform {

namespace {

// A height of 0 asks for the system's default size.
constexpr int kDefaultEmPixels = 16;
// Semi-bold and heavier weights ask for the bold face.
constexpr int kBoldWeight = 600;

// A glyph as 1-bit rows, top row first, most significant bit leftmost.
struct MonoGlyph {
    int width = 0;
    int rows = 0;
    int left = 0; // black box left from the origin, pixels
    int top = 0;  // black box top from the baseline, pixels, y up
    int advanceX = 0;
    int advanceY = 0;
    int pitch = 0; // bytes per row
    std::vector<uint8_t> bits;
};

int roundToPixels(FT_Pos value26dot6) { return static_cast<int>((value26dot6 + 32) >> 6); }

bool pixelOn(const FT_Bitmap& bitmap, const uint8_t* row, unsigned x)
{
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
        return (row[x >> 3] & (0x80u >> (x & 7))) != 0;
    return row[x] >= 128; // grey: an emboldened strike comes back as 8 bits per pixel
}

// Renders the glyph of code with hinting for 1-bit output, transformed by
// transform (null: unchanged) and emboldened when the font asks for it.
std::optional<MonoGlyph> renderMono(const Font& font, uint32_t code, const FT_Matrix* transform)
{
    FT_Face face = font.Face();
    if (!face)
        return std::nullopt;
    FT_Matrix matrix = transform ? *transform : FT_Matrix{0x10000, 0, 0, 0x10000};
    FT_Set_Transform(face, &matrix, nullptr);
    // Outlines only: FreeType does not transform embedded bitmaps.
    FT_Error error = FT_Load_Glyph(face, GlyphIndexOf(font, code), FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP);
    FT_Set_Transform(face, nullptr, nullptr);
    if (error != 0)
        return std::nullopt;
    FT_GlyphSlot slot = face->glyph;
    if (font.Embolden())
        FT_GlyphSlot_Embolden(slot);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
        return std::nullopt;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
        return std::nullopt;

    MonoGlyph glyph;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.rows = static_cast<int>(bitmap.rows);
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.advanceX = roundToPixels(slot->advance.x);
    glyph.advanceY = roundToPixels(slot->advance.y);
    glyph.pitch = (glyph.width + 7) / 8;
    glyph.bits.assign(static_cast<size_t>(glyph.pitch) * glyph.rows, 0);
    // FreeType's rows are padded to its own pitch, and a negative pitch
    // stores them bottom row first.
    const size_t stride = static_cast<size_t>(std::abs(bitmap.pitch));
    for (int r = 0; r < glyph.rows; ++r) {
        const int stored = bitmap.pitch >= 0 ? r : glyph.rows - 1 - r;
        const uint8_t* src = bitmap.buffer + stride * static_cast<size_t>(stored);
        uint8_t* dst = glyph.bits.data() + static_cast<size_t>(glyph.pitch) * r;
        for (unsigned x = 0; x < bitmap.width; ++x)
            if (pixelOn(bitmap, src, x))
                dst[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    }
    return glyph;
}

// glPixelStore is not compiled into display lists: the unpack state in force
// when glBitmap is compiled decides how its data is read. This sets a known
// state for the life of the object and restores the caller's afterwards.
class UnpackState {
public:
    explicit UnpackState(GLint alignment)
    {
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
        glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    }
    ~UnpackState() { glPopClientAttrib(); }
    UnpackState(const UnpackState&) = delete;
    UnpackState& operator=(const UnpackState&) = delete;
};

// Turns a glyph upside down about its baseline.
void flipRows(MonoGlyph& glyph)
{
    const size_t pitch = static_cast<size_t>(glyph.pitch);
    for (int top = 0, bottom = glyph.rows - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(glyph.bits.begin() + static_cast<std::ptrdiff_t>(pitch * top),
                         glyph.bits.begin() + static_cast<std::ptrdiff_t>(pitch * (top + 1)),
                         glyph.bits.begin() + static_cast<std::ptrdiff_t>(pitch * bottom));
    // The box that ran from top down to top - rows now runs from rows - top down.
    glyph.top = glyph.rows - glyph.top;
    glyph.advanceY = -glyph.advanceY;
}

FT_Fixed toFixed(FIXED f) { return static_cast<FT_Fixed>(f.value) * 0x10000 + f.fract; }

} // namespace

char32_t CodeToUnicode(uint32_t code)
{
    if (code <= 0xFF)
        return WesternToUnicode(static_cast<uint8_t>(code));
    if (code > 0xFFFF)
        return 0;
    return CharToUnicode(std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)});
}

unsigned GlyphIndexOf(const Font& font, uint32_t code)
{
    char32_t unicode = CodeToUnicode(code);
    // A code that names no character, or one the face lacks, shows the
    // face's missing-glyph shape, glyph 0.
    if (unicode == 0 || !font.Face())
        return 0;
    return FT_Get_Char_Index(font.Face(), unicode);
}

Font::Font(const LogFont& request)
    : request_(request), face_(MatchFont(request.faceName, request.weight >= kBoldWeight))
{
    FT_Face face = face_.Get();
    if (!face)
        return;
    if (request.height > 0) {
        // A positive height is the cell: ascent plus descent.
        FT_Size_RequestRec size{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0, static_cast<FT_Long>(request.height) * 64, 0, 0};
        FT_Request_Size(face, &size);
    } else {
        FT_Set_Pixel_Sizes(face, 0, request.height < 0 ? static_cast<FT_UInt>(-request.height) : kDefaultEmPixels);
    }
}

std::unique_ptr<Font> CreateFontA(int height, int width, int escapement, int orientation, int weight, bool italic,
                                  bool underline, bool strikeOut, uint8_t charSet, uint8_t outPrecision,
                                  uint8_t clipPrecision, uint8_t quality, uint8_t pitchAndFamily,
                                  const std::string& faceName)
{
    LogFont request{height,  width,        escapement,    orientation, weight,         italic,  underline, strikeOut,
                    charSet, outPrecision, clipPrecision, quality,     pitchAndFamily, faceName};
    return std::make_unique<Font>(request);
}

bool wglUseFontBitmapsA(const Font& font, uint32_t first, uint32_t count, uint32_t listBase)
{
    if (!font.Valid())
        return false;
    UnpackState unpack(1);
    std::vector<uint8_t> bottomUp;
    for (uint32_t i = 0; i < count; ++i) {
        std::optional<MonoGlyph> glyph = renderMono(font, first + i, nullptr);
        if (!glyph)
            continue;
        // glBitmap takes the bottom row first.
        bottomUp.resize(glyph->bits.size());
        const size_t pitch = static_cast<size_t>(glyph->pitch);
        for (int r = 0; r < glyph->rows; ++r)
            std::memcpy(bottomUp.data() + pitch * static_cast<size_t>(glyph->rows - 1 - r),
                        glyph->bits.data() + pitch * static_cast<size_t>(r), pitch);
        glNewList(listBase + i, GL_COMPILE);
        // The bitmap's lower-left corner goes to the raster position minus
        // (xorig, yorig): left of the origin by -left, below it by rows - top.
        glBitmap(glyph->width, glyph->rows, static_cast<GLfloat>(-glyph->left),
                 static_cast<GLfloat>(glyph->rows - glyph->top), static_cast<GLfloat>(glyph->advanceX),
                 static_cast<GLfloat>(glyph->advanceY), bottomUp.empty() ? nullptr : bottomUp.data());
        glEndList();
    }
    return true;
}

uint32_t GetGlyphOutlineA(const Font& font, uint32_t code, uint32_t format, GLYPHMETRICS* metrics, uint32_t size,
                          void* buffer, const MAT2* matrix)
{
    if (format != GGO_BITMAP && format != GGO_METRICS)
        return GDI_ERROR;
    FT_Matrix transform{0x10000, 0, 0, 0x10000};
    if (matrix)
        transform = {toFixed(matrix->eM11), toFixed(matrix->eM21), toFixed(matrix->eM12), toFixed(matrix->eM22)};
    // Upright glyphs and upside-down ones are rendered upright and the rows
    // reversed, so that both show exactly the same pixels; FreeType's own
    // transform (used for any other matrix) rasterises the turned outline anew.
    const bool upright = transform.xx == 0x10000 && transform.xy == 0 && transform.yx == 0;
    const bool flipped = upright && transform.yy == -0x10000;
    const bool plain = upright && transform.yy == 0x10000;
    std::optional<MonoGlyph> glyph = renderMono(font, code, plain || flipped ? nullptr : &transform);
    if (!glyph)
        return GDI_ERROR;
    if (flipped)
        flipRows(*glyph);
    if (metrics) {
        metrics->gmBlackBoxX = static_cast<uint32_t>(glyph->width);
        metrics->gmBlackBoxY = static_cast<uint32_t>(glyph->rows);
        metrics->gmptGlyphOrigin = {glyph->left, glyph->top};
        metrics->gmCellIncX = static_cast<int16_t>(glyph->advanceX);
        metrics->gmCellIncY = static_cast<int16_t>(glyph->advanceY);
    }
    if (format == GGO_METRICS)
        return 0;
    const size_t stride = static_cast<size_t>((glyph->width + 31) / 32) * 4;
    const size_t needed = stride * static_cast<size_t>(glyph->rows);
    if (size == 0 || !buffer)
        return static_cast<uint32_t>(needed);
    if (size < needed)
        return GDI_ERROR;
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, needed);
    const size_t pitch = static_cast<size_t>(glyph->pitch);
    for (int r = 0; r < glyph->rows; ++r)
        std::memcpy(out + stride * static_cast<size_t>(r), glyph->bits.data() + pitch * static_cast<size_t>(r), pitch);
    return static_cast<uint32_t>(needed);
}

} // namespace platform
