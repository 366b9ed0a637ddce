// Targa files into pixel buffers. One decoder serves both sets of rules: the
// viewer's accepts only uncompressed true-colour at 24 or 32 bits, the game's
// every common image type, laid out as the game lays out the ones it reads.
// The bytes are untrusted: every packet is checked against the data and the
// image before it is copied.
#include "DecoderSupport.h"
#include "ImageMemory.h"
#include "TargaLayout.h"

#include <array>
#include <optional>
#include <vector>

using namespace decoding;

namespace {

using namespace targa;

constexpr uint8_t kAttributeBits = 0x0F;   // descriptor bits 0-3: alpha bits per pixel
constexpr uint8_t kRunLengthTypes = 8;     // types 9, 10, 11 are 1, 2, 3 run-length encoded
constexpr uint64_t kMaxPacketPixels = 128;

enum class Kind : uint8_t { ColorMapped = 1, TrueColor = 2, Grey = 3 };

struct Header {
    uint8_t idLength = 0;
    uint8_t colorMapType = 0;
    uint8_t imageType = 0;
    uint16_t mapFirst = 0;   // the pixel value of the map's first entry
    uint16_t mapLength = 0;  // entries in the file
    uint8_t mapEntryBits = 0;
    int64_t width = 0;
    int64_t height = 0;
    uint8_t depth = 0;
    uint8_t descriptor = 0;
};

Header readHeader(std::span<const uint8_t> bytes)
{
    Header h;
    h.idLength = bytes[0];
    h.colorMapType = bytes[1];
    h.imageType = bytes[2];
    h.mapFirst = readU16(bytes, 3);
    h.mapLength = readU16(bytes, 5);
    h.mapEntryBits = bytes[7];
    h.width = readU16(bytes, 12);
    h.height = readU16(bytes, 14);
    h.depth = bytes[16];
    h.descriptor = bytes[17];
    return h;
}

// How stored bytes become one pixel.
enum class Encoding : uint8_t {
    Grey8,       // one grey byte
    GreyAlpha16, // grey, then alpha
    Rgb555,      // 16-bit little-endian x-R5-G5-B5
    Rgba5551,    // the same with the top bit as alpha
    Bgr24,
    Bgra32,
    MapIndex8,   // an index into the colour map
};

unsigned bytesOf(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Grey8:
    case Encoding::MapIndex8:
        return 1;
    case Encoding::GreyAlpha16:
    case Encoding::Rgb555:
    case Encoding::Rgba5551:
        return 2;
    case Encoding::Bgr24:
        return 3;
    default:
        return 4;
    }
}

bool hasAlpha(Encoding encoding)
{
    return encoding == Encoding::GreyAlpha16 || encoding == Encoding::Rgba5551 || encoding == Encoding::Bgra32;
}

// A 15- or 16-bit colour carries alpha in its top bit only when the
// descriptor says the pixel has an attribute bit; writers that set no
// attribute bits leave that bit as noise.
Encoding colorEncoding(uint8_t bits, uint8_t descriptor)
{
    if (bits == 24)
        return Encoding::Bgr24;
    if (bits == 32)
        return Encoding::Bgra32;
    return bits == 16 && (descriptor & kAttributeBits) != 0 ? Encoding::Rgba5551 : Encoding::Rgb555;
}

uint8_t expand5(unsigned value) { return static_cast<uint8_t>(value << 3 | value >> 2); }

using Rgba = std::array<uint8_t, 4>;

Rgba convert(const uint8_t* p, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Grey8:
        return {p[0], p[0], p[0], 255};
    case Encoding::GreyAlpha16:
        return {p[0], p[0], p[0], p[1]};
    case Encoding::Rgb555:
    case Encoding::Rgba5551: {
        const unsigned v = static_cast<unsigned>(p[0] | p[1] << 8);
        const bool opaque = encoding == Encoding::Rgb555 || (v & 0x8000) != 0;
        return {expand5(v >> 10 & 31), expand5(v >> 5 & 31), expand5(v & 31), static_cast<uint8_t>(opaque ? 255 : 0)};
    }
    case Encoding::Bgr24:
        return {p[2], p[1], p[0], 255};
    default:
        return {p[2], p[1], p[0], p[3]};
    }
}

// What the pixel data holds and where it starts, or the fault.
struct Layout {
    ImageFault fault = ImageFault::None;
    Encoding encoding = Encoding::Bgr24;
    bool runLength = false;
    uint64_t mapStart = 0;
    uint64_t dataStart = 0;
};

Layout viewerLayout(const Header& h)
{
    Layout layout;
    // The checks run in this order so that a run-length or colour-mapped image
    // type is reported as compressed before its colour map is looked at.
    if (h.imageType != static_cast<uint8_t>(Kind::TrueColor))
        layout.fault = ImageFault::Compressed;
    else if (h.colorMapType != 0)
        layout.fault = ImageFault::ColorMapped;
    else if (h.depth != 24 && h.depth != 32)
        layout.fault = ImageFault::DepthUnsupported;
    layout.encoding = h.depth == 24 ? Encoding::Bgr24 : Encoding::Bgra32;
    layout.dataStart = kHeaderSize + h.idLength;
    return layout;
}

ImageFault gameEncoding(const Header& h, Kind kind, Encoding& encoding)
{
    switch (kind) {
    case Kind::ColorMapped:
        if (h.colorMapType != 1 || h.mapLength == 0 ||
            (h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32))
            return ImageFault::ColorMapUnsupported;
        encoding = Encoding::MapIndex8;
        return h.depth == 8 ? ImageFault::None : ImageFault::DepthUnsupported;
    case Kind::TrueColor:
        encoding = colorEncoding(h.depth, h.descriptor);
        return h.depth == 15 || h.depth == 16 || h.depth == 24 || h.depth == 32 ? ImageFault::None
                                                                                 : ImageFault::DepthUnsupported;
    default:
        // The game reads a grey image of 24 or 32 bits a pixel as true
        // colour, the bytes taken as blue, green, red (and alpha).
        if (h.depth == 24 || h.depth == 32) {
            encoding = colorEncoding(h.depth, h.descriptor);
            return ImageFault::None;
        }
        encoding = h.depth == 16 ? Encoding::GreyAlpha16 : Encoding::Grey8;
        return h.depth == 8 || h.depth == 16 ? ImageFault::None : ImageFault::DepthUnsupported;
    }
}

Layout gameLayout(const Header& h)
{
    Layout layout;
    const auto kind = static_cast<Kind>(h.imageType & ~kRunLengthTypes);
    if (kind != Kind::ColorMapped && kind != Kind::TrueColor && kind != Kind::Grey)
        layout.fault = ImageFault::TypeUnsupported;
    else if (h.colorMapType > 1)
        layout.fault = ImageFault::ColorMapUnsupported;
    else
        layout.fault = gameEncoding(h, kind, layout.encoding);
    layout.runLength = (h.imageType & kRunLengthTypes) != 0;
    // A colour map follows the identification field; images that do not
    // index it skip it.
    layout.mapStart = kHeaderSize + h.idLength;
    const uint64_t mapBytes = h.colorMapType == 1 ? uint64_t{h.mapLength} * ((h.mapEntryBits + 7u) / 8) : 0;
    layout.dataStart = layout.mapStart + mapBytes;
    return layout;
}

// Turns stored pixels into the picture: each arrives in stored order and is
// written where the origin bits put it, bottom row first; into the reducer
// instead when the picture is reduced while it is decoded.
class PixelSink {
public:
    PixelSink(DecodedImage& image, uint8_t descriptor, BoxReducer* reducer)
        : image_(image), reducer_(reducer), width_(static_cast<uint64_t>(image.width)),
          height_(static_cast<uint64_t>(image.height)), channels_(image.format == GL_RGBA ? 4 : 3),
          topFirst_((descriptor & kTopLeftOrigin) != 0), rightToLeft_((descriptor & kRightToLeft) != 0)
    {
    }

    uint64_t remaining() const { return left_; }

    // Callers put no more than remaining() pixels.
    void put(const Rgba& pixel)
    {
        const uint64_t row = topFirst_ ? height_ - 1 - storedRow_ : storedRow_;
        const uint64_t column = rightToLeft_ ? width_ - 1 - storedColumn_ : storedColumn_;
        if (reducer_) {
            reducer_->Add(column, row, pixel.data());
        } else {
            uint8_t* target = image_.pixels.data() + (row * width_ + column) * channels_;
            for (unsigned c = 0; c < channels_; ++c)
                target[c] = pixel[c];
        }
        --left_;
        if (++storedColumn_ == width_) {
            storedColumn_ = 0;
            ++storedRow_;
        }
    }

private:
    DecodedImage& image_;
    BoxReducer* reducer_;
    uint64_t width_, height_;
    unsigned channels_;
    bool topFirst_, rightToLeft_;
    uint64_t storedRow_ = 0, storedColumn_ = 0;
    uint64_t left_ = width_ * height_;
};

// Reads pixels of one encoding, looking indices up in the colour map.
class PixelSource {
public:
    PixelSource(Encoding encoding, std::vector<Rgba> map, uint16_t mapFirst)
        : encoding_(encoding), map_(std::move(map)), mapFirst_(mapFirst)
    {
    }

    unsigned bytesPerPixel() const { return bytesOf(encoding_); }

    // False for an index outside the colour map.
    bool read(const uint8_t* p, Rgba& pixel) const
    {
        if (encoding_ != Encoding::MapIndex8) {
            pixel = convert(p, encoding_);
            return true;
        }
        if (p[0] < mapFirst_ || p[0] - mapFirst_ >= static_cast<int>(map_.size()))
            return false;
        pixel = map_[p[0] - mapFirst_];
        return true;
    }

private:
    Encoding encoding_;
    std::vector<Rgba> map_;
    uint16_t mapFirst_;
};

std::vector<Rgba> readColorMap(std::span<const uint8_t> bytes, const Header& h, uint64_t mapStart, bool& alpha)
{
    const Encoding entry = colorEncoding(h.mapEntryBits, h.descriptor);
    alpha = hasAlpha(entry);
    std::vector<Rgba> map(h.mapLength);
    for (size_t i = 0; i < map.size(); ++i)
        map[i] = convert(bytes.data() + mapStart + i * bytesOf(entry), entry);
    return map;
}

ImageFault readRaw(std::span<const uint8_t> bytes, uint64_t at, const PixelSource& source, PixelSink& sink)
{
    Rgba pixel{};
    for (uint64_t left = sink.remaining(); left > 0; --left, at += source.bytesPerPixel()) {
        if (!source.read(bytes.data() + at, pixel))
            return ImageFault::ColorIndexOutOfRange;
        sink.put(pixel);
    }
    return ImageFault::None;
}

// Packets may cross row ends but not the end of the data. Of a packet that
// runs past the end of the image the pixels that fit are kept, as the game
// keeps them (only the game's rules read packets).
ImageFault readRunLength(std::span<const uint8_t> bytes, uint64_t at, const PixelSource& source, PixelSink& sink)
{
    const uint64_t size = bytes.size();
    const unsigned pixelBytes = source.bytesPerPixel();
    Rgba pixel{};
    while (sink.remaining() > 0) {
        if (at >= size)
            return ImageFault::DataShort;
        const uint8_t head = bytes[at++];
        const uint64_t count = (head & kPacketCount) + 1u;
        const uint64_t packetBytes = (head & kRunPacket) != 0 ? pixelBytes : count * pixelBytes;
        if (packetBytes > size - at)
            return ImageFault::DataShort;
        for (uint64_t i = 0; i < count && sink.remaining() > 0; ++i) {
            if (i == 0 || (head & kRunPacket) == 0) {
                if (!source.read(bytes.data() + at, pixel))
                    return ImageFault::ColorIndexOutOfRange;
                at += pixelBytes;
            }
            sink.put(pixel);
        }
    }
    return ImageFault::None;
}

// Whether the data after start can hold every pixel: stored raw, or in the
// fewest bytes run-length packets allow (128 pixels per header and pixel).
// Checked before the picture is allocated, so that a header of a few bytes
// cannot ask for memory its data could never fill.
bool dataCanHold(std::span<const uint8_t> bytes, const Layout& layout, uint64_t pixels)
{
    if (layout.dataStart > bytes.size())
        return false;
    const uint64_t available = bytes.size() - layout.dataStart;
    const uint64_t pixelBytes = bytesOf(layout.encoding);
    if (!layout.runLength)
        return pixels * pixelBytes <= available;
    return (pixels + kMaxPacketPixels - 1) / kMaxPacketPixels * (1 + pixelBytes) <= available;
}

} // namespace

DecodedImage decoding::decodeTarga(std::span<const uint8_t> bytes, Rules rules)
{
    if (bytes.size() < kHeaderSize)
        return failure(ImageFault::HeaderShort);
    const Header h = readHeader(bytes);
    const Layout layout = rules == Rules::Viewer ? viewerLayout(h) : gameLayout(h);
    if (layout.fault != ImageFault::None)
        return failure(layout.fault, h.width, h.height);
    if (!sizeSupported(h.width, h.height))
        return failure(ImageFault::SizeUnsupported, h.width, h.height);
    const uint64_t pixels = static_cast<uint64_t>(h.width * h.height);
    if (!dataCanHold(bytes, layout, pixels))
        return failure(ImageFault::DataShort, h.width, h.height);

    bool alpha = hasAlpha(layout.encoding);
    std::vector<Rgba> map;
    if (layout.encoding == Encoding::MapIndex8)
        map = readColorMap(bytes, h, layout.mapStart, alpha);
    const PixelSource source(layout.encoding, std::move(map), h.mapFirst);

    // RGB where the file has no alpha, RGBA where it has.
    DecodedImage image;
    image.width = h.width;
    image.height = h.height;
    image.format = alpha ? GL_RGBA : GL_RGB;
    const unsigned channels = alpha ? 4 : 3;
    std::optional<BoxReducer> reducer;
    if (const int64_t factor = ReductionFactor(h.width, h.height); factor > 1)
        reducer.emplace(h.width, h.height, channels, factor);
    if (!ImageMemoryAllows(reducer ? reducer->Width() : h.width, reducer ? reducer->Height() : h.height))
        return failure(ImageFault::OverMemoryLimit, h.width, h.height);
    if (!reducer)
        image.pixels.resize(pixels * channels);
    // The game stores every picture bottom row first, left to right, whatever
    // the origin bits say (ReadTargaAsGame tells when that shows it flipped).
    const uint8_t origin = rules == Rules::Game ? h.descriptor & ~(kTopLeftOrigin | kRightToLeft) : h.descriptor;
    PixelSink sink(image, origin, reducer ? &*reducer : nullptr);
    const ImageFault fault = layout.runLength ? readRunLength(bytes, layout.dataStart, source, sink)
                                              : readRaw(bytes, layout.dataStart, source, sink);
    if (fault != ImageFault::None)
        return failure(fault, h.width, h.height);
    if (reducer) {
        image.pixels = reducer->Finish();
        image.width = reducer->Width();
        image.height = reducer->Height();
    }
    return image;
}

DecodedImage DecodeTarga(std::span<const uint8_t> bytes)
{
    return decoding::decodeTarga(bytes, decoding::Rules::Viewer);
}

DecodedImage DecodeGameTarga(std::span<const uint8_t> bytes)
{
    return decoding::decodeTarga(bytes, decoding::Rules::Game);
}
