#pragma once
// Expands the run-length packets of a Targa file for the tests, written
// apart from the encoder so that both must agree on the format.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace toolstest {

// Pixels in file order from run-length packets of elementSize-byte pixels;
// fails the test on a packet that runs past the data or past count pixels.
inline std::string unpackRunLength(const std::string& packets, std::size_t elementSize, std::size_t count)
{
    std::string out;
    std::size_t at = 0;
    while (out.size() < count * elementSize) {
        EXPECT_LT(at, packets.size()) << "packets end early";
        if (at >= packets.size())
            return out;
        const auto header = static_cast<uint8_t>(packets[at++]);
        const std::size_t pixels = (header & 0x7Fu) + 1;
        const std::size_t bytes = header & 0x80u ? elementSize : pixels * elementSize;
        EXPECT_LE(at + bytes, packets.size());
        if (at + bytes > packets.size())
            return out;
        for (std::size_t i = 0; i < (header & 0x80u ? pixels : 1); ++i)
            out += packets.substr(at, bytes);
        at += bytes;
    }
    EXPECT_EQ(at, packets.size()) << "bytes after the last pixel";
    EXPECT_EQ(out.size(), count * elementSize) << "a packet runs past the last pixel";
    return out;
}

} // namespace toolstest
