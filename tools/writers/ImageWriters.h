#pragma once
// Encoders for the image files a character uses: 24-bit Windows bitmaps,
// uncompressed true-colour Targa files (24 and 32 bits) and baseline JPEG.
// Every encoder returns the file's bytes; writeFileBytes puts them on disk.
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

struct TgaOptions {
    bool topLeftOrigin = false;  // rows top to bottom, descriptor bit 5 set
    std::string identification;  // written after the header, up to 255 bytes
};

inline constexpr int kJpegQuality = 90;

// 24-bit bottom-up bitmap with rows padded to 4 bytes; alpha is dropped.
// Throws std::invalid_argument for an empty or inconsistent image.
std::string encodeBmp24(const Image& image);

// Type 2 Targa, 24 bits for a 3-channel image and 32 bits (8 alpha bits) for
// a 4-channel one. Throws std::invalid_argument for an empty or inconsistent
// image, sizes above 65535 or an identification longer than 255 bytes.
std::string encodeTga(const Image& image, const TgaOptions& options = {});

// Baseline JPEG at the given quality; alpha is dropped. The output depends
// only on the pixels and the quality. Throws std::invalid_argument for an
// empty or inconsistent image and std::runtime_error when encoding fails.
std::string encodeJpeg(const Image& image, int quality = kJpegQuality);

// Writes the bytes to the file, creating missing folders; throws
// platform::EInOutError naming the file when it cannot be written.
void writeFileBytes(const std::string& path, const std::string& bytes);

} // namespace writers
