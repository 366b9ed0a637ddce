// What the game's own Targa reader makes of a file. The game's rules of
// DecodeTarga read more than the game does (so that a character maker still
// sees the picture); this says where the game parts from them.
#include "DecoderSupport.h"
#include "TargaLayout.h"

#include <algorithm>
#include <string>

using namespace decoding;

namespace {

using namespace targa;

// The game holds a picture as 4 bytes a pixel in a buffer whose size must
// stay below 2 GB.
constexpr uint64_t kMostPictureBytes = 0x7FFFFFFF;

// The image types the game reads: uncompressed true colour, uncompressed
// grey, run-length true colour.
constexpr uint8_t kTrueColor = 2, kGrey = 3, kRunLengthTrueColor = 10;

const char* typeName(uint8_t type)
{
    switch (type) {
    case 1: return "colour-mapped";
    case 9: return "run-length colour-mapped";
    case 11: return "run-length grey";
    default: return "unknown";
    }
}

std::string bits(unsigned depth) { return std::to_string(depth) + " bits a pixel"; }

// Whether the run-length packets after at fill pixels pixels before the data
// ends; the game drops the pixels of the last packet that do not fit.
bool packetsFill(std::span<const uint8_t> bytes, uint64_t at, uint64_t pixels, unsigned pixelBytes)
{
    while (pixels > 0) {
        if (at >= bytes.size())
            return false;
        const uint8_t head = bytes[at++];
        const uint64_t count = (head & kPacketCount) + 1u;
        const uint64_t packetBytes = (head & kRunPacket) != 0 ? pixelBytes : count * pixelBytes;
        if (packetBytes > bytes.size() - at)
            return false;
        at += packetBytes;
        pixels -= std::min(pixels, count);
    }
    return true;
}

// Why the game refuses the file, in its order of checks; "" when it reads it.
std::string refusalOf(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kHeaderSize)
        return "its header is cut short";
    const uint8_t type = bytes[2];
    const unsigned depth = bytes[16];
    if (type != kTrueColor && type != kGrey && type != kRunLengthTrueColor)
        return "image type " + std::to_string(type) + " (" + typeName(type) +
               "); the game reads types 2, 3 and 10 only";
    if (bytes[1] != 0)
        return "it has a colour map, which the game reads in no image";
    if (type != kGrey && depth != 24 && depth != 32)
        return bits(depth) + "; the game reads colour images of 24 and 32 bits only";
    const uint64_t width = readU16(bytes, 12), height = readU16(bytes, 14);
    if (width == 0 || height == 0 || width * height * 4 > kMostPictureBytes)
        return "its size " + std::to_string(width) + " x " + std::to_string(height) + " is no size the game takes";
    const uint64_t dataStart = kHeaderSize + bytes[0];
    if (dataStart > bytes.size())
        return "its identification field runs past the end of the file";
    if (type == kRunLengthTrueColor)
        return packetsFill(bytes, dataStart, width * height, depth / 8) ? "" : "its pixel data is cut short";
    // The game's own size sum, 32 bits wide: a huge picture can wrap it.
    const uint32_t dataBytes = static_cast<uint32_t>(width * height * depth) / 8;
    if (dataBytes > bytes.size() - dataStart)
        return "its pixel data is cut short";
    if (depth != 8 && depth != 24 && depth != 32)
        return bits(depth) + "; the game reads grey images of 8 bits (or 24 and 32, as colour) only";
    return "";
}

} // namespace

TargaGameReading ReadTargaAsGame(std::span<const uint8_t> bytes)
{
    TargaGameReading reading;
    reading.refusal = refusalOf(bytes);
    if (reading.refusal.empty()) {
        reading.upsideDown = (bytes[17] & kTopLeftOrigin) != 0;
        reading.mirrored = (bytes[17] & kRightToLeft) != 0;
    }
    return reading;
}
