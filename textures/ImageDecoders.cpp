// Decoding image files into pixel buffers for textures. The bytes are
// untrusted: sizes are checked against the data before anything is copied.
#include "Textures.h"

#include "platform/JpegCodec.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kBitmapHeadersSize = 54; // 14-byte file header + 40-byte info header
constexpr size_t kBitmapPaletteEntry = 4; // colour-table entries are B, G, R, reserved
constexpr size_t kTargaHeaderSize = 18;
constexpr uint8_t kTargaTopLeftOrigin = 0x20; // image descriptor bit 5

uint16_t readU16(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

uint32_t readU32(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

int32_t readI32(std::span<const uint8_t> bytes, size_t at) { return static_cast<int32_t>(readU32(bytes, at)); }

DecodedImage failure(ImageFault fault, int64_t width = 0, int64_t height = 0)
{
    DecodedImage image;
    image.fault = fault;
    image.width = width;
    image.height = height;
    return image;
}

bool sizeSupported(int64_t width, int64_t height, int64_t maxSide = kMaxImageSide)
{
    return width > 0 && height > 0 && width <= maxSide && height <= maxSide;
}

// Copies rows of bytesPerRow bytes, stored strideBytes apart, into a tightly
// packed buffer with the bottom row first. Files store rows either bottom-up
// (topDown false) or top-down.
std::vector<uint8_t> packRows(const uint8_t* source, size_t bytesPerRow, size_t strideBytes, size_t rows, bool topDown)
{
    std::vector<uint8_t> packed(bytesPerRow * rows);
    for (size_t row = 0; row < rows; ++row) {
        size_t sourceRow = topDown ? rows - 1 - row : row;
        std::memcpy(packed.data() + row * bytesPerRow, source + sourceRow * strideBytes, bytesPerRow);
    }
    return packed;
}

// Exchanges byte 0 and byte 2 of count consecutive 4-byte groups.
void swapRedBlue32(uint8_t* pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        std::swap(pixels[i * 4], pixels[i * 4 + 2]);
}

} // namespace

DecodedImage DecodeBitmap(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kBitmapHeadersSize)
        return failure(ImageFault::HeaderShort);
    const int64_t width = readI32(bytes, 18);
    const int64_t height = readI32(bytes, 22);
    const uint16_t bitsPerPixel = readU16(bytes, 28);
    const uint32_t compression = readU32(bytes, 30);
    const uint64_t imageSize = readU32(bytes, 34);
    const uint64_t colorsUsed = readU32(bytes, 46);

    // The colour table is read and dropped; the pixel data follows it.
    const uint64_t dataStart = kBitmapHeadersSize + colorsUsed * kBitmapPaletteEntry;
    if (dataStart > bytes.size())
        return failure(ImageFault::PaletteShort, width, height);
    if (bitsPerPixel != 24 || compression != 0)
        return failure(ImageFault::FormatUnsupported, width, height);
    // A negative height marks rows stored top-down.
    const bool topDown = height < 0;
    const int64_t rows = topDown ? -height : height;
    if (!sizeSupported(width, rows))
        return failure(ImageFault::SizeUnsupported, width, height);

    // Each stored row is padded to a multiple of 4 bytes. An image-size field
    // of 0 means width x height x 3 bytes.
    const uint64_t rowBytes = static_cast<uint64_t>(width) * 3;
    const uint64_t strideBytes = (rowBytes + 3) / 4 * 4;
    const uint64_t dataBytes = imageSize != 0 ? imageSize : rowBytes * static_cast<uint64_t>(rows);
    const uint64_t available = bytes.size() - dataStart;
    if (dataBytes > available || strideBytes * static_cast<uint64_t>(rows) > available)
        return failure(ImageFault::DataShort, width, height);

    DecodedImage image;
    image.width = width;
    image.height = rows;
    image.format = GL_RGB;
    image.pixels = packRows(bytes.data() + dataStart, rowBytes, strideBytes, static_cast<size_t>(rows), topDown);
    SwapRedBlue(image.pixels.data(), static_cast<int32_t>(width * rows));
    return image;
}

DecodedImage DecodeTarga(std::span<const uint8_t> bytes, Conventions)
{
    if (bytes.size() < kTargaHeaderSize)
        return failure(ImageFault::HeaderShort);
    const uint8_t idLength = bytes[0];
    const uint8_t colorMapType = bytes[1];
    const uint8_t imageType = bytes[2];
    const int64_t width = readU16(bytes, 12);
    const int64_t height = readU16(bytes, 14);
    const uint8_t depth = bytes[16];
    const uint8_t descriptor = bytes[17];

    // The checks run in this order so that a run-length or colour-mapped image
    // type is reported as compressed before its colour map is looked at.
    if (imageType != 2)
        return failure(ImageFault::Compressed, width, height);
    if (colorMapType != 0)
        return failure(ImageFault::ColorMapped, width, height);
    if (depth != 24 && depth != 32)
        return failure(ImageFault::DepthUnsupported, width, height);
    if (!sizeSupported(width, height))
        return failure(ImageFault::SizeUnsupported, width, height);

    // The pixel data follows the identification field.
    const uint64_t bytesPerPixel = depth / 8;
    const uint64_t dataStart = kTargaHeaderSize + idLength;
    const uint64_t rowBytes = static_cast<uint64_t>(width) * bytesPerPixel;
    if (dataStart + rowBytes * static_cast<uint64_t>(height) > bytes.size())
        return failure(ImageFault::DataShort, width, height);

    DecodedImage image;
    image.width = width;
    image.height = height;
    const bool topDown = (descriptor & kTargaTopLeftOrigin) != 0;
    image.pixels = packRows(bytes.data() + dataStart, rowBytes, rowBytes, static_cast<size_t>(height), topDown);
    if (depth == 24) {
        image.format = GL_RGB;
        SwapRedBlue(image.pixels.data(), static_cast<int32_t>(width * height));
    } else {
        image.format = GL_RGBA;
        swapRedBlue32(image.pixels.data(), static_cast<size_t>(width * height));
    }
    return image;
}

DecodedImage DecodeJpeg(std::span<const uint8_t> bytes, int64_t maxSide)
{
    const int64_t side = std::min(maxSide, kMaxImageSide);
    platform::JpegPicture picture;
    const platform::JpegResult result = platform::DecodeJpegRgb(
        bytes, [side](int64_t width, int64_t height) { return sizeSupported(width, height, side); }, picture);
    DecodedImage image;
    image.format = GL_RGBA;
    image.width = picture.width;
    image.height = picture.height;
    if (result != platform::JpegResult::Decoded) {
        image.fault = result == platform::JpegResult::SizeRefused ? ImageFault::SizeUnsupported
                                                                  : ImageFault::NotDecodable;
        return image;
    }
    // Rows arrive top first; the texture wants the bottom row first, with alpha.
    const size_t width = static_cast<size_t>(picture.width);
    const size_t height = static_cast<size_t>(picture.height);
    image.pixels.resize(width * height * 4);
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* source = picture.rgb.data() + y * width * 3;
        uint8_t* target = image.pixels.data() + (height - 1 - y) * width * 4;
        for (size_t x = 0; x < width; ++x) {
            target[x * 4] = source[x * 3];
            target[x * 4 + 1] = source[x * 3 + 1];
            target[x * 4 + 2] = source[x * 3 + 2];
            target[x * 4 + 3] = 255;
        }
    }
    return image;
}
