#pragma once
// Device-independent bitmaps with a drawing canvas, in the layout the raster
// code walks by pointer: 8 bits per pixel (indices into a fixed 256-colour
// palette) or 24 bits per pixel (blue, green, red), every row padded to a
// multiple of 4 bytes, rows stored bottom-up so that row 0 (the top of the
// image) has the highest address and each following row lies one stride lower.
//
// The canvas draws in 32-bit colour values 0x00BBGGRR. Text is rasterised with
// FreeType using the character-cell conventions of the system's text output:
// the point given is the top-left corner of the character cell and the
// baseline lies one ascent below it.
#include "platform/system/Errors.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class FontFace;

// A colour value: byte 0 red, byte 1 green, byte 2 blue, byte 3 unused.
using ColorRef = uint32_t;
// What Pixel returns for a point outside the bitmap.
inline constexpr ColorRef kInvalidColor = 0xFFFFFFFFu;

enum class PixelFormat { Bits8, Bits24 };

// A bitmap operation that cannot be done: a size beyond the limits, a row
// index outside the image.
class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

// The canvas font: face name in the active code page, size in points (at 96
// pixels per inch), weight and colour.
struct BitmapFont {
    std::string name = "Arial";
    int size = 8;
    bool bold = false;
    ColorRef color = 0;
};

class Bitmap {
public:
    // Sides beyond these are refused, so a bad request cannot take gigabytes.
    static constexpr int kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = int64_t{64} * 1024 * 1024;

    Bitmap() = default;
    // A bitmap of the given size and format, all black. Throws
    // EInvalidGraphicOperation for a negative or too large size.
    Bitmap(int width, int height, PixelFormat format = PixelFormat::Bits24);

    // The class name the texture records keep for the source of a texture.
    static const char* ClassName() { return "TBitmap"; }

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Resize keeping the pixels that old and new size share (anchored at the
    // top-left corner); new pixels are black. Throws EInvalidGraphicOperation
    // for a negative or too large size, leaving the bitmap as it was.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);
    // True when the bitmap has no pixels (width or height 0).
    bool Empty() const { return width_ == 0 || height_ == 0; }

    PixelFormat Format() const { return format_; }
    // Converts the pixels in place: 24 to 8 bits maps each colour to the
    // nearest palette entry, 8 to 24 bits expands the indices through it.
    void SetPixelFormat(PixelFormat format);
    int BytesPerPixel() const { return format_ == PixelFormat::Bits8 ? 1 : 3; }
    // Bytes per row including the padding to a multiple of 4.
    int Stride() const { return StrideFor(width_, format_); }
    static int StrideFor(int width, PixelFormat format);

    // First byte of image row `row` (0 = top). Throws EInvalidGraphicOperation
    // "Scan line index out of range" outside 0 .. Height() - 1.
    uint8_t* ScanLine(int row);
    const uint8_t* ScanLine(int row) const;

    // Makes this bitmap a copy of source: size, format, pixels and canvas settings.
    void Assign(const Bitmap& source);

    // The fixed palette of 8-bit bitmaps: a 6 x 7 x 6 colour cube (index =
    // red level * 42 + green level * 6 + blue level, red and blue levels
    // 0, 51, ..., 255, green levels 0, 43, 85, 128, 170, 213, 255), then the
    // greys 51, 102, 153 and 204 at 252 .. 255. Black is entry 0, white 251.
    static const std::array<ColorRef, 256>& Palette();
    // Index of the palette entry nearest to colour (smallest squared RGB
    // distance; ties go to the lower index). Exact entries map to themselves.
    static uint8_t NearestPaletteIndex(ColorRef color);

    // Canvas state. The brush fills, the pen outlines; the font writes text.
    ColorRef PenColor = 0;
    ColorRef BrushColor = 0xFFFFFF;
    BitmapFont Font;

    // Fills left <= x < right, top <= y < bottom with the brush colour, clipped.
    void FillRect(int left, int top, int right, int bottom);
    // Fills the same area with the brush and outlines its border pixels with the pen.
    void Rectangle(int left, int top, int right, int bottom);
    // Colour of a pixel (0 = top row); kInvalidColor outside the bitmap.
    ColorRef Pixel(int x, int y) const;
    // Sets a pixel (an 8-bit bitmap takes the nearest palette entry); points
    // outside the bitmap are ignored.
    void SetPixel(int x, int y, ColorRef color);
    // Copies the whole of source onto the whole of this bitmap, taking for
    // each destination pixel the source pixel under its centre (a plain
    // source copy without blending, which is what shrinking and stretching do
    // by default on the window system). Source may be this bitmap.
    void StretchDraw(const Bitmap& source);
    // Writes text (in the active code page: one byte per character, two when
    // the first is a lead byte) with the canvas font, the cell's top-left at
    // (x, y). Glyphs are anti-aliased and blended in the font colour over the
    // pixels already there: the background is left as it is (transparent
    // text), clipped to the bitmap. Characters the face lacks draw its
    // missing-glyph shape; a face that cannot be found draws nothing.
    void TextOut(int x, int y, const std::string& text);
    // Ascent of the canvas font in pixels: the distance from the top of the
    // character cell to the baseline. 0 when the face cannot be found.
    int TextAscent();

private:
    size_t offsetOf(int row) const;
    void resize(int width, int height);
    void blendPixel(int x, int y, ColorRef color, unsigned coverage);
    FontFace* fontFace();

    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::Bits24;
    std::vector<uint8_t> bits_;

    // The face last opened for the canvas font, shared by copies.
    std::shared_ptr<FontFace> face_;
    std::string faceName_;
    bool faceBold_ = false;
};

} // namespace platform
