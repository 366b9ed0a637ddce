#include "PngFile.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

namespace platform {

namespace {

// A deflate stream expands at most 1032-fold (258 bytes for two bits), so a
// PNG's compressed data cannot hold more than this many bytes of samples per
// byte of file.
constexpr uint64_t kDeflateMaxRatio = 1032;

// libpng's error function must not return: it jumps back to the setjmp
// point of the decoder or encoder. Warnings (a bad CRC of an ancillary chunk,
// an unknown chunk) lose nothing of the picture and are dropped.
void jumpBack(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void dropWarning(png_structp, png_const_charp) {}

int channelsOf(PngColorType type)
{
    switch (type) {
    case PngColorType::Rgb:
        return 3;
    case PngColorType::GreyAlpha:
        return 2;
    case PngColorType::Rgba:
        return 4;
    default:
        return 1;
    }
}

// One read struct over bytes in memory, destroyed whichever way decoding ends.
struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::span<const uint8_t> bytes;
    size_t offset = 0;
    std::vector<png_bytep> rows;

    PngReader() = default;
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    ~PngReader() { png_destroy_read_struct(&png, &info, nullptr); }
};

void readFromMemory(png_structp png, png_bytep target, size_t count)
{
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (count > reader->bytes.size() - reader->offset)
        png_error(png, "read past the end of the data");
    std::memcpy(target, reader->bytes.data() + reader->offset, count);
    reader->offset += count;
}

// Whether the file is long enough to hold the image its header claims,
// counting the samples alone (interlacing and filter bytes only add to them).
bool dataCanHold(const PngReader& reader, uint64_t width, uint64_t height)
{
    const uint64_t bitsPerPixel =
        static_cast<uint64_t>(png_get_channels(reader.png, reader.info)) * png_get_bit_depth(reader.png, reader.info);
    const uint64_t rowBytes = (width * bitsPerPixel + 7) / 8;
    const uint64_t limit = kDeflateMaxRatio * (reader.bytes.size() + 1);
    return height == 0 || rowBytes <= limit / height;
}

// Asks libpng for 8-bit RGBA whatever the file holds; gamma is left alone so
// that the samples arrive as stored.
void requestRgba(png_structp png, png_infop info)
{
    const int colorType = png_get_color_type(png, info);
    png_set_expand(png); // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);
    if ((colorType & PNG_COLOR_MASK_COLOR) == 0)
        png_set_gray_to_rgb(png);
    if ((colorType & PNG_COLOR_MASK_ALPHA) == 0 && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// Every object with a destructor exists before setjmp, so the jump back
// from libpng skips no destructor.
// True when every chunk's declared length lies within the bytes, up to the
// end chunk. libpng allocates an ancillary chunk by its length field (up to
// 2 GB) before it reads a byte of it, so a few bytes claiming a huge chunk
// are refused here. libpng reads nothing after the end chunk, and image
// editors often leave bytes there: they are not looked at.
bool chunksFit(std::span<const uint8_t> bytes, size_t at)
{
    constexpr size_t kChunkHeader = 8;  // length and type, read before the data
    constexpr size_t kChunkFrame = 12;  // with the CRC after the data
    constexpr uint8_t kEndType[] = {'I', 'E', 'N', 'D'};
    while (bytes.size() - at >= kChunkHeader) {
        const uint64_t length = static_cast<uint64_t>(bytes[at]) << 24 | static_cast<uint64_t>(bytes[at + 1]) << 16 |
                                static_cast<uint64_t>(bytes[at + 2]) << 8 | bytes[at + 3];
        if (bytes.size() - at < kChunkFrame || length > bytes.size() - at - kChunkFrame)
            return false;
        if (std::equal(std::begin(kEndType), std::end(kEndType), bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4))
            return true;
        at += kChunkFrame + static_cast<size_t>(length);
    }
    return true;
}

PngResult decode(std::span<const uint8_t> bytes, const std::function<bool(int64_t, int64_t)>& acceptSize,
                 PngPicture& picture)
{
    constexpr size_t kSignatureSize = 8;
    constexpr png_alloc_size_t kMostChunkBytes = 8 * 1024 * 1024;
    constexpr png_uint_32 kMostAncillaryChunks = 1000;
    PngReader reader;
    reader.bytes = bytes;
    if (bytes.size() < kSignatureSize || png_sig_cmp(bytes.data(), 0, kSignatureSize) != 0 ||
        !chunksFit(bytes, kSignatureSize))
        return PngResult::Broken;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpBack, dropWarning);
    if (!reader.png)
        return PngResult::Broken;
    reader.info = png_create_info_struct(reader.png);
    if (!reader.info)
        return PngResult::Broken;
    if (setjmp(png_jmpbuf(reader.png)))
        return PngResult::Broken;
    // The caller judges the size, so libpng's own limit must not refuse it first.
    png_set_user_limits(reader.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    // Compressed text and profile chunks may not inflate beyond this.
    png_set_chunk_malloc_max(reader.png, kMostChunkBytes);
    png_set_chunk_cache_max(reader.png, kMostAncillaryChunks);
    png_set_read_fn(reader.png, &reader, readFromMemory);
    png_read_info(reader.png, reader.info);
    const png_uint_32 width = png_get_image_width(reader.png, reader.info);
    const png_uint_32 height = png_get_image_height(reader.png, reader.info);
    picture.width = width;
    picture.height = height;
    if (!acceptSize(width, height))
        return PngResult::SizeRefused;
    if (!dataCanHold(reader, width, height))
        return PngResult::Broken;
    requestRgba(reader.png, reader.info);
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    if (png_get_rowbytes(reader.png, reader.info) != rowBytes)
        return PngResult::Broken;
    picture.rgba.resize(rowBytes * height);
    reader.rows.resize(height);
    for (size_t y = 0; y < height; ++y)
        reader.rows[y] = picture.rgba.data() + y * rowBytes;
    // The rows are complete once the last pass is read; what follows the image
    // data (text, IEND) is not needed.
    png_read_image(reader.png, reader.rows.data());
    return PngResult::Decoded;
}

// One write struct, destroyed whichever way encoding ends.
struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t> out;
    bool outOfMemory = false;
    std::vector<png_bytep> rows;
    std::vector<png_color> palette;

    PngWriter() = default;
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
};

void writeToMemory(png_structp png, png_bytep data, size_t count)
{
    auto* writer = static_cast<PngWriter*>(png_get_io_ptr(png));
    // No exception may cross libpng's frames, and no jump may leave a catch
    // block: note the failure, then report it to libpng.
    try {
        writer->out.insert(writer->out.end(), data, data + count);
    } catch (const std::bad_alloc&) {
        writer->outOfMemory = true;
    }
    if (writer->outOfMemory)
        png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

void setTransparency(const PngLayout& layout, png_structp png, png_infop info)
{
    if (!layout.paletteAlpha.empty()) {
        png_set_tRNS(png, info, layout.paletteAlpha.data(), static_cast<int>(layout.paletteAlpha.size()), nullptr);
    } else if (layout.transparentColor) {
        png_color_16 color{};
        color.gray = (*layout.transparentColor)[0];
        color.red = (*layout.transparentColor)[0];
        color.green = (*layout.transparentColor)[1];
        color.blue = (*layout.transparentColor)[2];
        png_set_tRNS(png, info, nullptr, 0, &color);
    }
}

bool encode(const PngLayout& layout, std::span<const uint8_t> rows, PngWriter& writer)
{
    writer.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpBack, dropWarning);
    if (!writer.png)
        return false;
    writer.info = png_create_info_struct(writer.png);
    if (!writer.info)
        return false;
    const size_t rowBytes = rows.size() / static_cast<size_t>(layout.height);
    writer.rows.resize(static_cast<size_t>(layout.height));
    for (size_t y = 0; y < writer.rows.size(); ++y)
        writer.rows[y] = const_cast<png_bytep>(rows.data() + y * rowBytes);
    writer.palette.resize(layout.palette.size() / 3);
    for (size_t i = 0; i < writer.palette.size(); ++i)
        writer.palette[i] = {layout.palette[i * 3], layout.palette[i * 3 + 1], layout.palette[i * 3 + 2]};
    if (setjmp(png_jmpbuf(writer.png)))
        return false;
    png_set_write_fn(writer.png, &writer, writeToMemory, flushNothing);
    png_set_IHDR(writer.png, writer.info, static_cast<png_uint_32>(layout.width),
                 static_cast<png_uint_32>(layout.height), layout.bitDepth, static_cast<int>(layout.colorType),
                 layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!writer.palette.empty())
        png_set_PLTE(writer.png, writer.info, writer.palette.data(), static_cast<int>(writer.palette.size()));
    setTransparency(layout, writer.png, writer.info);
    if (layout.zlibLevel >= 0)
        png_set_compression_level(writer.png, std::min(layout.zlibLevel, 9));
    png_write_info(writer.png, writer.info);
    png_write_image(writer.png, writer.rows.data());
    png_write_end(writer.png, nullptr);
    return true;
}

} // namespace

void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    const EInOutError failure("Unable to write to " + path);
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * height * 3)
        throw failure;
    // PNG rows go top to bottom.
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    std::vector<uint8_t> topDown(rowBytes * static_cast<size_t>(height));
    for (size_t y = 0; y < static_cast<size_t>(height); ++y)
        std::copy_n(rgb.data() + (static_cast<size_t>(height) - 1 - y) * rowBytes, rowBytes,
                    topDown.data() + y * rowBytes);
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    const std::vector<uint8_t> bytes = EncodePng(layout, topDown);
    if (bytes.empty())
        throw failure;
    WriteFileBytes(path, bytes);
}

bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb)
{
    width = height = 0;
    rgb.clear();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    rgb = std::move(pixels);
    return true;
}

PngResult DecodePngRgba(std::span<const uint8_t> bytes, const std::function<bool(int64_t, int64_t)>& acceptSize,
                        PngPicture& picture)
{
    picture = {};
    const PngResult result = decode(bytes, acceptSize, picture);
    if (result != PngResult::Decoded)
        picture.rgba.clear();
    return result;
}

std::vector<uint8_t> EncodePng(const PngLayout& layout, std::span<const uint8_t> rows)
{
    if (layout.width <= 0 || layout.height <= 0 || layout.bitDepth <= 0 || layout.bitDepth > 16)
        return {};
    const uint64_t rowBits =
        static_cast<uint64_t>(layout.width) * static_cast<uint64_t>(channelsOf(layout.colorType) * layout.bitDepth);
    if (rows.size() != (rowBits + 7) / 8 * static_cast<uint64_t>(layout.height))
        return {};
    PngWriter writer;
    if (!encode(layout, rows, writer))
        return {};
    return std::move(writer.out);
}

} // namespace platform
