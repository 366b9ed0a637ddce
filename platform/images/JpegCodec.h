#pragma once
// JPEG in memory: decoding untrusted bytes into RGB rows and encoding RGB
// rows. libjpeg reports fatal errors by longjmp; both directions catch them
// here, so callers only ever see a result.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace platform {

enum class JpegResult {
    Decoded,
    SizeRefused, // the header was read and the caller refused its size
    Broken,      // not a JPEG, truncated or damaged data, far more pixels than its
                 // bytes can hold, or a colour layout without three channels
};

struct JpegPicture {
    int64_t width = 0;  // filled once the header has been read, whatever follows
    int64_t height = 0;
    std::vector<uint8_t> rgb; // width x height x 3 bytes, top row first
};

// Decodes bytes. acceptSize is asked with the header's size before any
// pixel memory is allocated; false ends decoding with SizeRefused. Data that
// libjpeg finds missing or corrupt (and would fill in) gives Broken, as does a
// header claiming more pixels than the file's size makes plausible: pictures
// up to 2048 x 2048 always pass, larger ones need a file of at least 64 KB and
// a byte per 256 pixels. With smallestSide above 0, a picture longer than
// that is decoded scaled down by libjpeg (by an eighth at a time, at most to
// an eighth) to the smallest size whose longer side is still at least
// smallestSide; picture then has the scaled size.
JpegResult DecodeJpegRgb(std::span<const uint8_t> bytes, const std::function<bool(int64_t, int64_t)>& acceptSize,
                         JpegPicture& picture, int64_t smallestSide = 0);

// Baseline JPEG of width x height tightly packed RGB pixels, top row first,
// with the integer DCT, so the bytes depend only on pixels and quality.
// Returns an empty vector when encoding fails.
std::vector<uint8_t> EncodeJpegRgb(std::span<const uint8_t> rgb, int width, int height, int quality);

} // namespace platform
