#pragma once
// Targa files built by hand, byte by byte, for the reader's tests.
#include <cstdint>
#include <vector>

namespace testsupport {

using Bytes = std::vector<uint8_t>;

inline uint8_t lo(uint16_t v) { return static_cast<uint8_t>(v); }
inline uint8_t hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }

// A Targa file built by hand: the 18-byte header from these fields, then the
// identification field, the colour map and the pixel data as given.
struct Tga {
    uint8_t type = 2;
    uint8_t depth = 24;
    uint16_t width = 2, height = 2;
    uint8_t descriptor = 0;
    uint8_t mapType = 0;
    uint16_t mapFirst = 0, mapLength = 0;
    uint8_t mapBits = 0;
    Bytes id{}, map{}, data{};

    Bytes bytes() const
    {
        Bytes out{static_cast<uint8_t>(id.size()), mapType, type, lo(mapFirst), hi(mapFirst), lo(mapLength),
                  hi(mapLength), mapBits, 0, 0, 0, 0, lo(width), hi(width), lo(height), hi(height), depth, descriptor};
        for (const Bytes* part : {&id, &map, &data})
            out.insert(out.end(), part->begin(), part->end());
        return out;
    }
};

} // namespace testsupport
