#pragma once
// Encoders for the image files a character uses: 24-bit Windows bitmaps,
// Targa files of every kind characters come with (true-colour, colour-mapped
// and grey, raw or run-length), PNG of every colour type and baseline JPEG.
// Every encoder returns the file's bytes; writeFileBytes puts them on disk.
#include "platform/images/PngFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace writers {

// Pixels row by row from the top row down, each R, G, B (and A when
// channels is 4), without padding.
struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<uint8_t> pixels;

    Image() = default;
    Image(int w, int h, int c);
    uint8_t* at(int x, int y) { return pixels.data() + (static_cast<std::size_t>(y) * width + x) * channels; }
    const uint8_t* at(int x, int y) const
    {
        return pixels.data() + (static_cast<std::size_t>(y) * width + x) * channels;
    }
};

// What a Targa file stores per pixel.
enum class TgaPixels {
    TrueColour,   // B, G, R (and A): image type 2, run-length 10
    ColourMapped, // 8-bit index into a colour map of the image's colours: type 1, run-length 9
    Grey,         // 8-bit luminance, alpha dropped: type 3, run-length 11
};

struct TgaOptions {
    bool topLeftOrigin = false;  // rows top to bottom, descriptor bit 5 set
    std::string identification;  // written after the header, up to 255 bytes
    TgaPixels pixels = TgaPixels::TrueColour;
    // Packets of up to 128 pixels: a repeated pixel stored once, or a run of
    // differing pixels stored as they are. Packets run on across row ends.
    bool runLength = false;
};

// The distinct colours of an image and each pixel's index into them.
struct IndexedColours {
    std::vector<std::array<uint8_t, 4>> palette; // R, G, B, A (255 for 3-channel images), in order of first use
    std::vector<uint8_t> indices;                // one per pixel, top row first
};

inline constexpr std::size_t kMaxPaletteColours = 256;

inline constexpr int kJpegQuality = 90;

// 24-bit bottom-up bitmap with rows padded to 4 bytes; alpha is dropped.
// Throws std::invalid_argument for an empty or inconsistent image.
std::string encodeBmp24(const Image& image);

// Targa of the kind options.pixels names. True colour is 24 bits for a
// 3-channel image and 32 bits (8 alpha bits) for a 4-channel one; a colour
// map has 24-bit entries for a 3-channel image and 32-bit ones for a
// 4-channel one. Throws std::invalid_argument for an empty or inconsistent
// image, sizes above 65535, an identification longer than 255 bytes, or a
// colour-mapped image with more than 256 colours.
std::string encodeTga(const Image& image, const TgaOptions& options = {});

// Gathers the palette of an image; throws std::invalid_argument for an
// inconsistent image or one with more than kMaxPaletteColours colours.
IndexedColours indexColours(const Image& image);

// PNG of the given colour type at 8 or 16 bits per sample (palettes at 8).
// Alpha is added (opaque) or dropped as the colour type asks; grey is the
// pixels' luminance; a palette holds the image's colours, with a
// transparency chunk when any is not opaque. Throws std::invalid_argument
// for an empty or inconsistent image, another bit depth or more than 256
// colours for a palette, and std::runtime_error when encoding fails.
std::string encodePng(const Image& image, platform::PngColorType colour, int bitDepth = 8);

// Baseline JPEG at the given quality; alpha is dropped. The output depends
// only on the pixels and the quality. Throws std::invalid_argument for an
// empty or inconsistent image and std::runtime_error when encoding fails.
std::string encodeJpeg(const Image& image, int quality = kJpegQuality);

// Writes the bytes to the file, creating missing folders; throws
// platform::EInOutError naming the file when it cannot be written.
void writeFileBytes(const std::string& path, const std::string& bytes);

} // namespace writers
