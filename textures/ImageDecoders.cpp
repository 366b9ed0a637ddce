// Decoding image files into pixel buffers for textures. The bytes are
// untrusted: sizes are checked against the data before anything is copied.
#include "Textures.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
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

// libjpeg reports fatal errors through error_exit, which must not return:
// it jumps back to the decoder's setjmp point. Warnings are dropped, since the
// program shows its own message for a picture it cannot load.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

void jpegSilence(j_common_ptr) {}

// One decompressor, destroyed whichever way decoding ends.
struct JpegSession {
    jpeg_decompress_struct info{};
    JpegErrorManager error{};
    volatile bool created = false;

    JpegSession() = default;
    JpegSession(const JpegSession&) = delete;
    JpegSession& operator=(const JpegSession&) = delete;
    ~JpegSession()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

// Decodes into image (RGBA, bottom row first). Every object with a destructor
// exists before setjmp, so the jump back from libjpeg skips no destructor.
ImageFault decodeJpegInto(std::span<const uint8_t> bytes, int64_t maxSide, DecodedImage& image,
                          std::vector<uint8_t>& scanline)
{
    JpegSession session;
    session.info.err = jpeg_std_error(&session.error.pub);
    session.error.pub.error_exit = jpegErrorExit;
    session.error.pub.output_message = jpegSilence;
    if (setjmp(session.error.jump))
        return ImageFault::NotDecodable;
    jpeg_create_decompress(&session.info);
    session.created = true;
    jpeg_mem_src(&session.info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&session.info, TRUE);
    image.width = session.info.image_width;
    image.height = session.info.image_height;
    if (!sizeSupported(image.width, image.height, maxSide))
        return ImageFault::SizeUnsupported;
    session.info.out_color_space = JCS_RGB;
    session.info.scale_num = 1;
    session.info.scale_denom = 1;
    jpeg_start_decompress(&session.info);
    if (session.info.output_components != 3)
        return ImageFault::NotDecodable;
    const size_t width = session.info.output_width;
    const size_t height = session.info.output_height;
    scanline.resize(width * 3);
    image.pixels.resize(width * height * 4);
    while (session.info.output_scanline < session.info.output_height) {
        // Scanlines arrive top first; the texture wants the bottom row first.
        size_t row = height - 1 - session.info.output_scanline;
        JSAMPROW rows[1] = {scanline.data()};
        if (jpeg_read_scanlines(&session.info, rows, 1) != 1)
            return ImageFault::NotDecodable;
        uint8_t* target = image.pixels.data() + row * width * 4;
        for (size_t x = 0; x < width; ++x) {
            target[x * 4] = scanline[x * 3];
            target[x * 4 + 1] = scanline[x * 3 + 1];
            target[x * 4 + 2] = scanline[x * 3 + 2];
            target[x * 4 + 3] = 255;
        }
    }
    jpeg_finish_decompress(&session.info);
    return ImageFault::None;
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

DecodedImage DecodeTarga(std::span<const uint8_t> bytes)
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
    DecodedImage image;
    std::vector<uint8_t> scanline;
    image.fault = decodeJpegInto(bytes, std::min(maxSide, kMaxImageSide), image, scanline);
    image.format = GL_RGBA;
    if (image.fault != ImageFault::None)
        image.pixels.clear();
    return image;
}
