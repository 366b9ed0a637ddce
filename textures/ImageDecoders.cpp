// Decoding image files into pixel buffers for textures. The bytes are
// untrusted: sizes are checked against the data before anything is copied.
#include "DecoderSupport.h"
#include "ImageMemory.h"

#include "platform/images/JpegCodec.h"
#include "platform/images/PngFile.h"

#include <algorithm>
#include <cstring>

using namespace decoding;

namespace {

constexpr size_t kBitmapFileHeaderSize = 14;
constexpr size_t kBitmapHeadersSize = 54; // file header + the smallest info header read (40 bytes)
constexpr size_t kBitmapDataOffsetField = 10;
// Info header sizes: the classic one, and the two later ones that add colour
// masks and colour spaces after the same first 40 bytes (what current image
// editors write). The pixel layout does not depend on which one it is.
constexpr uint32_t kBitmapInfoSizes[] = {40, 108, 124};
constexpr size_t kBitmapPaletteEntry = 4; // colour-table entries are B, G, R, reserved

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

// Where the pixel data of a bitmap starts: at the offset the file header
// gives, unless that points into the headers or the colour table (some writers
// leave it 0), where the data follows the colour table as in the classic layout.
uint64_t bitmapDataStart(std::span<const uint8_t> bytes, uint64_t paletteEnd)
{
    return std::max<uint64_t>(readU32(bytes, kBitmapDataOffsetField), paletteEnd);
}

} // namespace

DecodedImage DecodeBitmap(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kBitmapHeadersSize)
        return failure(ImageFault::HeaderShort);
    const uint32_t infoSize = readU32(bytes, kBitmapFileHeaderSize);
    const int64_t width = readI32(bytes, 18);
    const int64_t height = readI32(bytes, 22);
    if (std::find(std::begin(kBitmapInfoSizes), std::end(kBitmapInfoSizes), infoSize) == std::end(kBitmapInfoSizes))
        return failure(ImageFault::HeaderUnsupported, width, height);
    const uint64_t headersEnd = kBitmapFileHeaderSize + infoSize;
    if (headersEnd > bytes.size())
        return failure(ImageFault::HeaderShort, width, height);
    const uint16_t bitsPerPixel = readU16(bytes, 28);
    const uint32_t compression = readU32(bytes, 30);
    const uint64_t imageSize = readU32(bytes, 34);
    const uint64_t colorsUsed = readU32(bytes, 46);

    // The colour table follows the info header and is read and dropped.
    const uint64_t paletteEnd = headersEnd + colorsUsed * kBitmapPaletteEntry;
    if (paletteEnd > bytes.size())
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
    const uint64_t dataStart = bitmapDataStart(bytes, paletteEnd);
    if (dataStart > bytes.size())
        return failure(ImageFault::DataShort, width, height);
    const uint64_t available = bytes.size() - dataStart;
    if (dataBytes > available || strideBytes * static_cast<uint64_t>(rows) > available)
        return failure(ImageFault::DataShort, width, height);

    DecodedImage image;
    image.width = width;
    image.height = rows;
    image.format = GL_RGB;
    const int64_t factor = ReductionFactor(width, rows);
    if (factor == 1) {
        if (!ImageMemoryAllows(width, rows))
            return failure(ImageFault::OverMemoryLimit, width, height);
        image.pixels = packRows(bytes.data() + dataStart, rowBytes, strideBytes, static_cast<size_t>(rows), topDown);
    } else {
        // Reduced straight from the file's rows, without a whole copy.
        BoxReducer reducer(width, rows, 3, factor);
        if (!ImageMemoryAllows(reducer.Width(), reducer.Height()))
            return failure(ImageFault::OverMemoryLimit, width, height);
        for (int64_t row = 0; row < rows; ++row) {
            const int64_t stored = topDown ? rows - 1 - row : row;
            reducer.AddRow(static_cast<uint64_t>(row), bytes.data() + dataStart + static_cast<uint64_t>(stored) * strideBytes);
        }
        image.pixels = reducer.Finish();
        image.width = reducer.Width();
        image.height = reducer.Height();
    }
    SwapRedBlue(image.pixels.data(), static_cast<int32_t>(image.width * image.height));
    return image;
}

namespace {

// The size check of the JPEG and PNG decoders: the size cap, then the image
// memory for the pixels that will be held (refused sizes are told apart by
// sizeSupported afterwards).
bool acceptable(int64_t width, int64_t height, int64_t side, int64_t factor)
{
    if (!sizeSupported(width, height, side))
        return false;
    return ImageMemoryAllows((width + factor - 1) / factor, (height + factor - 1) / factor);
}

ImageFault refusal(int64_t width, int64_t height, int64_t side)
{
    return sizeSupported(width, height, side) ? ImageFault::OverMemoryLimit : ImageFault::SizeUnsupported;
}

// Top-first rows of channels bytes a pixel, reduced by factor; bottom row
// first when flipped, else top row first.
std::vector<uint8_t> reducedRows(const uint8_t* rows, int64_t width, int64_t height, unsigned channels,
                                 int64_t factor, bool flipped, int64_t& outWidth, int64_t& outHeight)
{
    BoxReducer reducer(width, height, channels, factor);
    const size_t rowBytes = static_cast<size_t>(width) * channels;
    for (int64_t y = 0; y < height; ++y)
        reducer.AddRow(static_cast<uint64_t>(flipped ? height - 1 - y : y), rows + static_cast<size_t>(y) * rowBytes);
    outWidth = reducer.Width();
    outHeight = reducer.Height();
    return reducer.Finish();
}

} // namespace

DecodedImage DecodeJpeg(std::span<const uint8_t> bytes, int64_t maxSide)
{
    const int64_t side = std::min(maxSide, kMaxImageSide);
    platform::JpegPicture picture;
    const platform::JpegResult result = platform::DecodeJpegRgb(
        bytes,
        [side](int64_t width, int64_t height) {
            return acceptable(width, height, side, ReductionFactor(width, height));
        },
        picture, DecodedImageSide());
    DecodedImage image;
    image.format = GL_RGBA;
    image.width = picture.width;
    image.height = picture.height;
    if (result != platform::JpegResult::Decoded) {
        image.fault = result == platform::JpegResult::SizeRefused ? refusal(picture.width, picture.height, side)
                                                                  : ImageFault::NotDecodable;
        return image;
    }
    // libjpeg scales by eighths: what is left to reduce is reduced here.
    if (const int64_t factor = ReductionFactor(picture.width, picture.height); factor > 1) {
        int64_t width = 0, height = 0;
        picture.rgb = reducedRows(picture.rgb.data(), picture.width, picture.height, 3, factor, false, width, height);
        picture.width = width;
        picture.height = height;
        image.width = picture.width;
        image.height = picture.height;
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

DecodedImage DecodePng(std::span<const uint8_t> bytes, int64_t maxSide)
{
    const int64_t side = std::min(maxSide, kMaxImageSide);
    platform::PngPicture picture;
    // The whole picture is decoded before it is reduced: the memory asked
    // for is the whole one.
    const platform::PngResult result = platform::DecodePngRgba(
        bytes, [side](int64_t width, int64_t height) { return acceptable(width, height, side, 1); }, picture);
    if (result != platform::PngResult::Decoded)
        return failure(result == platform::PngResult::SizeRefused ? refusal(picture.width, picture.height, side)
                                                                  : ImageFault::NotDecodable,
                       picture.width, picture.height);
    if (const int64_t factor = ReductionFactor(picture.width, picture.height); factor > 1) {
        DecodedImage image;
        image.format = GL_RGBA;
        image.pixels = reducedRows(picture.rgba.data(), picture.width, picture.height, 4, factor, true, image.width,
                                   image.height);
        return image;
    }
    // Rows arrive top first; the texture wants the bottom row first.
    const size_t rowBytes = static_cast<size_t>(picture.width) * 4;
    const size_t height = static_cast<size_t>(picture.height);
    for (size_t y = 0; y < height / 2; ++y) {
        uint8_t* top = picture.rgba.data() + y * rowBytes;
        std::swap_ranges(top, top + rowBytes, picture.rgba.data() + (height - 1 - y) * rowBytes);
    }
    DecodedImage image;
    image.width = picture.width;
    image.height = picture.height;
    image.format = GL_RGBA;
    image.pixels = std::move(picture.rgba);
    return image;
}
