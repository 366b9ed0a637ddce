#pragma once
// Pictures as PNG files: screenshots are written, and read back to be checked;
// the sample-data tools encode images of every colour type in memory.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Writes width x height RGB pixels given bottom row first (as glReadPixels
// delivers them). Throws EInOutError naming the file when it cannot be written.
void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbBottomUp);

// Reads a PNG file of any colour type as 8-bit RGB, top row first. Returns
// false, leaving the outputs empty, when the file cannot be read or decoded.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgbTopDown);

// Colour types by their number in the file's header.
enum class PngColourType : uint8_t { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

// A picture in PNG's own sample layout, ready to be compressed.
struct PngRows {
    int width = 0;
    int height = 0;
    PngColourType colourType = PngColourType::Rgb;
    int bitDepth = 8;                  // 8 or 16 (16 not for Palette)
    std::vector<uint8_t> rows;         // top row first, no padding; 16-bit samples big-endian
    std::vector<uint8_t> paletteRgb;   // Palette only: R, G, B per entry, 1 to 256 entries
    std::vector<uint8_t> paletteAlpha; // Palette only: alpha of the first entries; empty when opaque
};

// The bytes of a PNG file holding the picture, without time stamps, so they
// depend only on the picture. Returns an empty vector when the description is
// inconsistent or encoding fails.
std::vector<uint8_t> EncodePng(const PngRows& picture);

} // namespace platform
