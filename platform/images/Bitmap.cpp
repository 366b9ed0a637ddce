#include "Bitmap.h"

#include "platform/fonts/FontFaces.h"
#include "platform/system/CodePage.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

namespace {

constexpr int kScreenDpi = 96;
constexpr int kPointsPerInch = 72;
// Far beyond any text the program writes; keeps FreeType's sizes sane.
constexpr int kMaxEmPixels = 1024;

constexpr int kRedLevels = 6;
constexpr int kGreenLevels = 7;
constexpr int kBlueLevels = 6;
constexpr int kCubeSize = kRedLevels * kGreenLevels * kBlueLevels; // 252
constexpr uint8_t kExtraGreys[] = {51, 102, 153, 204};

constexpr uint8_t redOf(ColorRef c) { return c & 0xFF; }
constexpr uint8_t greenOf(ColorRef c) { return (c >> 8) & 0xFF; }
constexpr uint8_t blueOf(ColorRef c) { return (c >> 16) & 0xFF; }
constexpr ColorRef rgb(unsigned r, unsigned g, unsigned b) { return r | g << 8 | b << 16; }

uint8_t levelValue(int level, int levels) { return static_cast<uint8_t>((level * 255 + (levels - 1) / 2) / (levels - 1)); }

// Nearest level of an evenly spaced channel for every byte value.
std::array<uint8_t, 256> nearestLevels(int levels)
{
    std::array<uint8_t, 256> table{};
    for (int v = 0; v < 256; ++v) {
        int best = 0;
        for (int l = 1; l < levels; ++l)
            if (std::abs(levelValue(l, levels) - v) < std::abs(levelValue(best, levels) - v))
                best = l;
        table[v] = static_cast<uint8_t>(best);
    }
    return table;
}

int distanceSquared(ColorRef a, ColorRef b)
{
    int dr = redOf(a) - redOf(b), dg = greenOf(a) - greenOf(b), db = blueOf(a) - blueOf(b);
    return dr * dr + dg * dg + db * db;
}

void checkSize(int width, int height)
{
    if (width < 0 || height < 0 || width > Bitmap::kMaxSide || height > Bitmap::kMaxSide ||
        int64_t{width} * height > Bitmap::kMaxPixels)
        throw EInvalidGraphicOperation("Bitmap size " + std::to_string(width) + "*" + std::to_string(height) +
                                       " is out of range");
}

// 16 points at 96 dpi is a 21-pixel em: the system rounds size * 96 / 72.
int emPixels(int points)
{
    int64_t scaled = (int64_t{std::abs(points)} * kScreenDpi * 2 + kPointsPerInch) / (2 * kPointsPerInch);
    return static_cast<int>(std::clamp<int64_t>(scaled, 1, kMaxEmPixels));
}

// Splits text of the active code page into its characters.
std::vector<std::string> splitCharacters(const std::string& text)
{
    std::vector<std::string> characters;
    for (size_t i = 0; i < text.size();) {
        size_t length = IsDBCSLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

} // namespace

Bitmap::Bitmap(int width, int height, PixelFormat format) : format_(format)
{
    checkSize(width, height);
    resize(width, height);
}

int Bitmap::StrideFor(int width, PixelFormat format)
{
    int bits = format == PixelFormat::Bits8 ? 8 : 24;
    return ((width * bits + 31) / 32) * 4;
}

size_t Bitmap::offsetOf(int row) const
{
    if (row < 0 || row >= height_)
        throw EInvalidGraphicOperation("Scan line index out of range");
    return static_cast<size_t>(height_ - 1 - row) * static_cast<size_t>(Stride());
}

uint8_t* Bitmap::ScanLine(int row) { return bits_.data() + offsetOf(row); }
const uint8_t* Bitmap::ScanLine(int row) const { return bits_.data() + offsetOf(row); }

void Bitmap::resize(int width, int height)
{
    int newStride = StrideFor(width, format_);
    std::vector<uint8_t> bits(static_cast<size_t>(newStride) * static_cast<size_t>(height), 0);
    int keepRows = std::min(height, height_);
    size_t keepBytes = static_cast<size_t>(std::min(width, width_)) * BytesPerPixel();
    for (int row = 0; row < keepRows; ++row) {
        const uint8_t* from = ScanLine(row);
        uint8_t* to = bits.data() + static_cast<size_t>(height - 1 - row) * newStride;
        std::copy(from, from + keepBytes, to);
    }
    bits_ = std::move(bits);
    width_ = width;
    height_ = height;
}

void Bitmap::SetWidth(int width) { SetSize(width, height_); }
void Bitmap::SetHeight(int height) { SetSize(width_, height); }

void Bitmap::SetSize(int width, int height)
{
    checkSize(width, height);
    if (width != width_ || height != height_)
        resize(width, height);
}

const std::array<ColorRef, 256>& Bitmap::Palette()
{
    static const std::array<ColorRef, 256> palette = [] {
        std::array<ColorRef, 256> entries{};
        for (int r = 0; r < kRedLevels; ++r)
            for (int g = 0; g < kGreenLevels; ++g)
                for (int b = 0; b < kBlueLevels; ++b)
                    entries[(r * kGreenLevels + g) * kBlueLevels + b] =
                        rgb(levelValue(r, kRedLevels), levelValue(g, kGreenLevels), levelValue(b, kBlueLevels));
        for (size_t i = 0; i < std::size(kExtraGreys); ++i)
            entries[kCubeSize + i] = rgb(kExtraGreys[i], kExtraGreys[i], kExtraGreys[i]);
        return entries;
    }();
    return palette;
}

uint8_t Bitmap::NearestPaletteIndex(ColorRef color)
{
    static const std::array<uint8_t, 256> redLevel = nearestLevels(kRedLevels);
    static const std::array<uint8_t, 256> greenLevel = nearestLevels(kGreenLevels);
    static const std::array<uint8_t, 256> blueLevel = nearestLevels(kBlueLevels);
    // The cube is a grid, so its nearest point is the nearest level per channel;
    // only the extra greys need comparing.
    int best = (redLevel[redOf(color)] * kGreenLevels + greenLevel[greenOf(color)]) * kBlueLevels +
               blueLevel[blueOf(color)];
    int bestDistance = distanceSquared(color, Palette()[best]);
    for (int i = kCubeSize; i < 256; ++i) {
        int distance = distanceSquared(color, Palette()[i]);
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return static_cast<uint8_t>(best);
}

void Bitmap::SetPixelFormat(PixelFormat format)
{
    if (format == format_)
        return;
    Bitmap converted(width_, height_, format);
    for (int y = 0; y < height_; ++y) {
        const uint8_t* from = ScanLine(y);
        uint8_t* to = converted.ScanLine(y);
        for (int x = 0; x < width_; ++x) {
            if (format == PixelFormat::Bits8) {
                to[x] = NearestPaletteIndex(rgb(from[3 * x + 2], from[3 * x + 1], from[3 * x]));
            } else {
                ColorRef c = Palette()[from[x]];
                to[3 * x] = blueOf(c);
                to[3 * x + 1] = greenOf(c);
                to[3 * x + 2] = redOf(c);
            }
        }
    }
    bits_ = std::move(converted.bits_);
    format_ = format;
}

void Bitmap::Assign(const Bitmap& source)
{
    if (&source != this)
        *this = source;
}

ColorRef Bitmap::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return kInvalidColor;
    const uint8_t* line = ScanLine(y);
    if (format_ == PixelFormat::Bits8)
        return Palette()[line[x]];
    return rgb(line[3 * x + 2], line[3 * x + 1], line[3 * x]);
}

void Bitmap::SetPixel(int x, int y, ColorRef color)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    uint8_t* line = ScanLine(y);
    if (format_ == PixelFormat::Bits8) {
        line[x] = NearestPaletteIndex(color);
    } else {
        line[3 * x] = blueOf(color);
        line[3 * x + 1] = greenOf(color);
        line[3 * x + 2] = redOf(color);
    }
}

void Bitmap::FillRect(int left, int top, int right, int bottom)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, width_);
    bottom = std::min(bottom, height_);
    if (left >= right || top >= bottom)
        return;
    uint8_t index = NearestPaletteIndex(BrushColor);
    for (int y = top; y < bottom; ++y) {
        uint8_t* line = ScanLine(y);
        for (int x = left; x < right; ++x) {
            if (format_ == PixelFormat::Bits8) {
                line[x] = index;
            } else {
                line[3 * x] = blueOf(BrushColor);
                line[3 * x + 1] = greenOf(BrushColor);
                line[3 * x + 2] = redOf(BrushColor);
            }
        }
    }
}

void Bitmap::Rectangle(int left, int top, int right, int bottom)
{
    FillRect(left, top, right, bottom);
    if (left >= right || top >= bottom)
        return;
    for (int x = left; x < right; ++x) {
        SetPixel(x, top, PenColor);
        SetPixel(x, bottom - 1, PenColor);
    }
    for (int y = top; y < bottom; ++y) {
        SetPixel(left, y, PenColor);
        SetPixel(right - 1, y, PenColor);
    }
}

void Bitmap::StretchDraw(const Bitmap& source)
{
    if (Empty() || source.Empty())
        return;
    if (&source == this)
        return; // the whole of a bitmap onto itself changes nothing
    const int64_t sw = source.width_, sh = source.height_;
    for (int y = 0; y < height_; ++y) {
        int sy = static_cast<int>((2 * int64_t{y} + 1) * sh / (2 * int64_t{height_}));
        const uint8_t* from = source.ScanLine(sy);
        uint8_t* to = ScanLine(y);
        for (int x = 0; x < width_; ++x) {
            int sx = static_cast<int>((2 * int64_t{x} + 1) * sw / (2 * int64_t{width_}));
            if (format_ == source.format_) {
                int bpp = BytesPerPixel();
                std::copy(from + sx * bpp, from + (sx + 1) * bpp, to + x * bpp);
            } else {
                SetPixel(x, y, source.Pixel(sx, sy));
            }
        }
    }
}

void Bitmap::blendPixel(int x, int y, ColorRef color, unsigned coverage)
{
    if (coverage == 0)
        return;
    ColorRef under = Pixel(x, y);
    auto mix = [coverage](unsigned back, unsigned fore) {
        return (back * (255 - coverage) + fore * coverage + 127) / 255;
    };
    SetPixel(x, y, rgb(mix(redOf(under), redOf(color)), mix(greenOf(under), greenOf(color)),
                       mix(blueOf(under), blueOf(color))));
}

FontFace* Bitmap::fontFace()
{
    if (!face_ || faceName_ != Font.name || faceBold_ != Font.bold) {
        face_ = std::make_shared<FontFace>(MatchFont(Font.name, Font.bold));
        faceName_ = Font.name;
        faceBold_ = Font.bold;
    }
    return face_->Valid() ? face_.get() : nullptr;
}

int Bitmap::TextAscent()
{
    FontFace* face = fontFace();
    return face ? face->CellAscent(emPixels(Font.size)) : 0;
}

void Bitmap::TextOut(int x, int y, const std::string& text)
{
    if (Empty() || text.empty())
        return;
    FontFace* face = fontFace();
    if (!face)
        return;
    const int em = emPixels(Font.size);
    // Positions in 64 bits: a far-off origin must clip, not overflow.
    int64_t penX = x;
    const int64_t baseline = int64_t{y} + face->CellAscent(em);
    for (const std::string& character : splitCharacters(text)) {
        const std::optional<CoverageGlyph> glyph = face->RenderCoverage(CharToUnicode(character), em);
        if (!glyph)
            continue;
        for (unsigned row = 0; row < glyph->rows; ++row) {
            int64_t py = baseline - glyph->top + row;
            if (py < 0 || py >= height_)
                continue;
            const uint8_t* coverage = glyph->coverage.data() + static_cast<size_t>(row) * glyph->width;
            for (unsigned col = 0; col < glyph->width; ++col) {
                int64_t px = penX + glyph->left + col;
                if (px < 0 || px >= width_)
                    continue;
                blendPixel(static_cast<int>(px), static_cast<int>(py), Font.color, coverage[col]);
            }
        }
        penX += glyph->advance;
    }
}

} // namespace platform
