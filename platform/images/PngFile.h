#pragma once
// PNG pictures: screenshots are written and read back to be checked, texture
// files are decoded from memory, and PNG files of any layout are encoded from
// the samples as a PNG stores them. libpng reports fatal errors by longjmp;
// every function here catches them, so callers only ever see a result.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

// Writes width x height RGB pixels given bottom row first (as glReadPixels
// delivers them). Throws EInOutError naming the file when it cannot be written.
void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbBottomUp);

// Reads a PNG file of any colour type as 8-bit RGB, top row first. Returns
// false, leaving the outputs empty, when the file cannot be read or decoded.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgbTopDown);

enum class PngResult {
    Decoded,
    SizeRefused, // the header was read and the caller refused its size
    Broken,      // not a PNG, damaged, truncated, or more pixels than its data can hold
};

struct PngPicture {
    int64_t width = 0; // filled once the header has been read, whatever follows
    int64_t height = 0;
    std::vector<uint8_t> rgba; // width x height x 4 bytes, top row first
};

// Decodes a PNG held in memory, of any colour type, bit depth, transparency
// and interlacing, into 8-bit RGBA without gamma correction: palettes and grey
// are expanded, tRNS becomes alpha, images without alpha get 255, 16-bit
// samples are scaled to 8 bits. acceptSize is asked with the header's size
// before any pixel memory is allocated; false ends decoding with SizeRefused.
// Never throws for bad data (a failing allocation may throw std::bad_alloc).
PngResult DecodePngRgba(std::span<const uint8_t> bytes, const std::function<bool(int64_t, int64_t)>& acceptSize,
                        PngPicture& picture);

// PNG colour types, as the IHDR chunk stores them.
enum class PngColorType : uint8_t { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

// What EncodePng writes besides the samples.
struct PngLayout {
    int width = 0;
    int height = 0;
    PngColorType colorType = PngColorType::Rgb;
    int bitDepth = 8; // 1, 2, 4, 8 or 16, as the colour type allows
    bool interlaced = false; // Adam7
    std::vector<uint8_t> palette; // R, G, B per entry (colour type Palette)
    std::vector<uint8_t> paletteAlpha; // tRNS for a palette: alpha of the first entries
    std::optional<std::array<uint16_t, 3>> transparentColor; // tRNS for grey (first value) or RGB
    int zlibLevel = -1; // 0 (stored) to 9 (smallest); -1 libpng's default
};

// A PNG of rows given exactly as a PNG holds them before filtering: top row
// first, each row whole bytes, samples packed to the bit depth from the most
// significant bit on, 16-bit samples big-endian. Returns an empty vector when
// the rows do not match the layout or libpng refuses the layout.
std::vector<uint8_t> EncodePng(const PngLayout& layout, std::span<const uint8_t> rows);

} // namespace platform
