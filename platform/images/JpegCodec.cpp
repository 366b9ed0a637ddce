#include "JpegCodec.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstdio>
#include <jpeglib.h>
// after jpeglib.h, whose configuration decides which messages exist
#include <jerror.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>

namespace platform {

namespace {

// How many pixels a JPEG may claim for its size in bytes. libjpeg makes up
// the data a file lacks, so a header of a few hundred bytes could otherwise
// have 8192 x 8192 pixels allocated (half a gigabyte between libjpeg's
// coefficients and the caller's copies) before the first missing byte is
// noticed. Pictures up to kJpegFreePixels always pass: at most some 55 MB
// even for a progressive file, and every texture of that size, however flat,
// passes whatever its file size. Larger ones need a file of at least
// kSmallJpegBytes and a byte per kJpegPixelsPerByte pixels; real pictures
// take far more (a photograph a byte for a few pixels, a flat colour one for
// 64 with the standard tables and about 170 with optimised ones).
constexpr uint64_t kJpegFreePixels = 2048 * 2048;
constexpr size_t kSmallJpegBytes = 64 * 1024;
constexpr uint64_t kJpegPixelsPerByte = 256;

bool dataCanHold(uint64_t width, uint64_t height, size_t byteCount)
{
    const uint64_t pixels = width * height; // each side is below 65536
    if (pixels <= kJpegFreePixels)
        return true;
    return byteCount >= kSmallJpegBytes && pixels <= kJpegPixelsPerByte * byteCount;
}

// error_exit must not return: it jumps back to the setjmp point of the
// decoder or encoder. Warnings are not printed; those that mean the data is
// damaged or missing are counted, because libjpeg goes on with made-up data
// after them, and the decoder fails the picture instead.
struct JpegErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    int damage = 0;
};

void jumpBack(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

void dropMessage(j_common_ptr) {}

bool meansDamage(int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:        // the file ends early; libjpeg inserts an end marker
    case JWRN_HIT_MARKER:      // a scan's data ends early; the rest decodes as zeros
    case JWRN_HUFF_BAD_CODE:   // undecodable data
#if JPEG_LIB_VERSION >= 70 || defined(C_ARITH_CODING_SUPPORTED) || defined(D_ARITH_CODING_SUPPORTED)
    case JWRN_ARITH_BAD_CODE:
#endif
    case JWRN_MUST_RESYNC:     // a restart marker is missing
        return true;
    default:
        // Unknown versions, colour transforms, ICC profiles, stray bytes
        // between segments and odd progressions lose no pixels.
        return false;
    }
}

// msg_level -1 is a warning; levels 0 and up are trace messages.
void noteMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return;
    ++info->err->num_warnings;
    if (meansDamage(info->err->msg_code))
        ++reinterpret_cast<JpegErrors*>(info->err)->damage;
}

void routeErrors(jpeg_error_mgr& pub)
{
    pub.error_exit = jumpBack;
    pub.output_message = dropMessage;
    pub.emit_message = noteMessage;
}

// One decompressor, destroyed whichever way decoding ends.
struct Decompressor {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    volatile bool created = false;

    Decompressor() = default;
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;
    ~Decompressor()
    {
        if (created)
            jpeg_destroy_decompress(&info);
    }
};

// Every object with a destructor exists before setjmp, so the jump back
// from libjpeg skips no destructor.
// The eighths a picture whose longer side is longest is scaled to, so that
// it stays at least side long.
unsigned scaleEighths(int64_t longest, int64_t side)
{
    constexpr unsigned kEighths = 8;
    if (side <= 0 || longest <= side)
        return kEighths;
    for (unsigned n = 1; n < kEighths; ++n) {
        if ((longest * n + kEighths - 1) / kEighths >= side)
            return n;
    }
    return kEighths;
}

JpegResult decode(std::span<const uint8_t> bytes, const std::function<bool(int64_t, int64_t)>& acceptSize,
                  JpegPicture& picture, int64_t smallestSide)
{
    Decompressor d;
    d.info.err = jpeg_std_error(&d.errors.pub);
    routeErrors(d.errors.pub);
    if (setjmp(d.errors.jump))
        return JpegResult::Broken;
    jpeg_create_decompress(&d.info);
    d.created = true;
    jpeg_mem_src(&d.info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d.info, TRUE);
    picture.width = d.info.image_width;
    picture.height = d.info.image_height;
    if (!acceptSize(picture.width, picture.height))
        return JpegResult::SizeRefused;
    if (d.errors.damage > 0 || !dataCanHold(d.info.image_width, d.info.image_height, bytes.size()))
        return JpegResult::Broken;
    d.info.out_color_space = JCS_RGB;
    d.info.scale_num = scaleEighths(std::max(picture.width, picture.height), smallestSide);
    d.info.scale_denom = 8;
    jpeg_start_decompress(&d.info);
    picture.width = d.info.output_width;
    picture.height = d.info.output_height;
    if (d.info.output_components != 3)
        return JpegResult::Broken;
    const size_t rowBytes = static_cast<size_t>(d.info.output_width) * 3;
    picture.rgb.resize(rowBytes * d.info.output_height);
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = picture.rgb.data() + d.info.output_scanline * rowBytes;
        if (jpeg_read_scanlines(&d.info, &row, 1) != 1 || d.errors.damage > 0)
            return JpegResult::Broken;
    }
    // Every pixel is there; a file that ends without its end marker (libjpeg
    // warns while looking for it) is still a whole picture.
    jpeg_finish_decompress(&d.info);
    return JpegResult::Decoded;
}

// Only trivially destructible objects live in this frame, because libjpeg
// leaves it by longjmp on errors. The output buffer is libjpeg's (malloc).
bool compress(const uint8_t* rgb, int width, int height, int quality, unsigned char** out, unsigned long* outSize)
{
    jpeg_compress_struct info;
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.pub);
    routeErrors(errors.pub);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.dct_method = JDCT_ISLOW; // integer DCT: the same bytes on every machine
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

JpegResult DecodeJpegRgb(std::span<const uint8_t> bytes, const std::function<bool(int64_t, int64_t)>& acceptSize,
                         JpegPicture& picture, int64_t smallestSide)
{
    picture = {};
    const JpegResult result = decode(bytes, acceptSize, picture, smallestSide);
    if (result != JpegResult::Decoded)
        picture.rgb.clear();
    return result;
}

std::vector<uint8_t> EncodeJpegRgb(std::span<const uint8_t> rgb, int width, int height, int quality)
{
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * height * 3)
        return {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = compress(rgb.data(), width, height, quality, &buffer, &size);
    std::vector<uint8_t> out;
    if (ok && buffer)
        out.assign(buffer, buffer + size);
    std::free(buffer);
    return out;
}

} // namespace platform
