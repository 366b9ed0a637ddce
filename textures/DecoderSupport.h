#pragma once
// Small pieces the image decoders share: little-endian fields read from
// bytes whose length the caller has checked, the result of a failed decode,
// and the size cap.
#include "Textures.h"

#include <cstdint>
#include <span>

namespace decoding {

// Whose rules a reader follows: those of the viewer as first built (the
// sample Model/ tree keeps them, messages included), or the game's.
enum class Rules { Viewer, Game };

// DecodeTarga and DecodeGameTarga.
DecodedImage decodeTarga(std::span<const uint8_t> bytes, Rules rules);

inline uint16_t readU16(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

inline uint32_t readU32(std::span<const uint8_t> bytes, size_t at)
{
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

inline int32_t readI32(std::span<const uint8_t> bytes, size_t at) { return static_cast<int32_t>(readU32(bytes, at)); }

// A decode that failed: no pixels, the size as far as it was read.
inline DecodedImage failure(ImageFault fault, int64_t width = 0, int64_t height = 0)
{
    DecodedImage image;
    image.fault = fault;
    image.width = width;
    image.height = height;
    return image;
}

inline bool sizeSupported(int64_t width, int64_t height, int64_t maxSide = kMaxImageSide)
{
    return width > 0 && height > 0 && width <= maxSide && height <= maxSide;
}

} // namespace decoding
