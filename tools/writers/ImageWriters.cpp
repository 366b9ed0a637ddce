#include "tools/writers/ImageWriters.h"

#include "platform/system/Errors.h"
#include "platform/images/JpegCodec.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

namespace writers {

namespace {

constexpr int kBmpHeaderSize = 54;
constexpr int kBmpInfoSize = 40;
constexpr int kPixelsPerMetre = 2835; // 72 dpi
constexpr int kTgaHeaderSize = 18;
constexpr uint8_t kTgaColourMapped = 1;
constexpr uint8_t kTgaTrueColour = 2;
constexpr uint8_t kTgaGrey = 3;
constexpr uint8_t kTgaRunLengthTypeOffset = 8; // types 9, 10, 11
constexpr uint8_t kTgaTopLeftBit = 0x20;
constexpr std::size_t kMaxPacketPixels = 128;
constexpr uint8_t kRunPacketBit = 0x80;
constexpr uint8_t kOpaque = 255;

void appendLe(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void checkImage(const Image& image)
{
    if (image.width <= 0 || image.height <= 0 || (image.channels != 3 && image.channels != 4))
        throw std::invalid_argument("image needs a positive size and 3 or 4 channels");
    if (image.pixels.size()
        != static_cast<std::size_t>(image.width) * image.height * static_cast<std::size_t>(image.channels))
        throw std::invalid_argument("image pixel buffer does not match its size");
}

// The RGB samples of the image, top row first, without alpha.
std::vector<uint8_t> rgbSamples(const Image& image)
{
    if (image.channels == 3)
        return image.pixels;
    std::vector<uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(image.width) * image.height * 3);
    for (std::size_t i = 0; i < image.pixels.size(); i += 4)
        rgb.insert(rgb.end(), image.pixels.begin() + i, image.pixels.begin() + i + 3);
    return rgb;
}

// Rec. 601 weights, rounded to the nearest level.
uint8_t luminance(const uint8_t* p)
{
    return static_cast<uint8_t>((299u * p[0] + 587u * p[1] + 114u * p[2] + 500u) / 1000u);
}

void appendBgr(std::string& out, const uint8_t* p, bool alpha)
{
    out.push_back(static_cast<char>(p[2]));
    out.push_back(static_cast<char>(p[1]));
    out.push_back(static_cast<char>(p[0]));
    if (alpha)
        out.push_back(static_cast<char>(p[3]));
}

// Every pixel as the file stores it, in the file's row order, before any
// run-length packing.
std::string tgaElements(const Image& image, const TgaOptions& options, const IndexedColours& colours)
{
    std::string out;
    out.reserve(image.pixels.size());
    for (int row = 0; row < image.height; ++row) {
        const int y = options.topLeftOrigin ? row : image.height - 1 - row;
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            switch (options.pixels) {
            case TgaPixels::TrueColour: appendBgr(out, p, image.channels == 4); break;
            case TgaPixels::ColourMapped:
                out.push_back(static_cast<char>(colours.indices[static_cast<std::size_t>(y) * image.width + x]));
                break;
            case TgaPixels::Grey: out.push_back(static_cast<char>(luminance(p))); break;
            }
        }
    }
    return out;
}

// Run-length packets over the elements of elementSize bytes: two or more
// equal elements become one repeat packet, others gather into raw packets.
// The whole image is one stream, so packets run on across row ends.
std::string runLengthPackets(const std::string& elements, std::size_t elementSize)
{
    const std::size_t count = elements.size() / elementSize;
    auto same = [&](std::size_t a, std::size_t b) {
        return elements.compare(a * elementSize, elementSize, elements, b * elementSize, elementSize) == 0;
    };
    std::string out;
    for (std::size_t i = 0; i < count;) {
        std::size_t run = 1;
        while (i + run < count && run < kMaxPacketPixels && same(i, i + run))
            ++run;
        if (run > 1) {
            out.push_back(static_cast<char>(kRunPacketBit | (run - 1)));
            out.append(elements, i * elementSize, elementSize);
            i += run;
            continue;
        }
        // A raw packet ends where the next repeat begins.
        std::size_t raw = 1;
        while (i + raw < count && raw < kMaxPacketPixels && !(i + raw + 1 < count && same(i + raw, i + raw + 1)))
            ++raw;
        out.push_back(static_cast<char>(raw - 1));
        out.append(elements, i * elementSize, raw * elementSize);
        i += raw;
    }
    return out;
}

} // namespace

Image::Image(int w, int h, int c)
    : width(w), height(h), channels(c),
      pixels(static_cast<std::size_t>(w > 0 ? w : 0) * (h > 0 ? h : 0) * (c > 0 ? c : 0), 0)
{
}

std::string encodeBmp24(const Image& image)
{
    checkImage(image);
    const uint32_t stride = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
    const uint32_t imageSize = stride * static_cast<uint32_t>(image.height);

    std::string out;
    out.reserve(kBmpHeaderSize + imageSize);
    out += "BM";
    appendLe(out, kBmpHeaderSize + imageSize, 4);
    appendLe(out, 0, 4); // reserved
    appendLe(out, kBmpHeaderSize, 4);
    appendLe(out, kBmpInfoSize, 4);
    appendLe(out, static_cast<uint32_t>(image.width), 4);
    appendLe(out, static_cast<uint32_t>(image.height), 4); // positive: rows bottom-up
    appendLe(out, 1, 2);
    appendLe(out, 24, 2);
    appendLe(out, 0, 4); // no compression
    appendLe(out, imageSize, 4);
    appendLe(out, kPixelsPerMetre, 4);
    appendLe(out, kPixelsPerMetre, 4);
    appendLe(out, 0, 4); // no colour table
    appendLe(out, 0, 4);
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            out.push_back(static_cast<char>(p[2]));
            out.push_back(static_cast<char>(p[1]));
            out.push_back(static_cast<char>(p[0]));
        }
        out.append(stride - static_cast<uint32_t>(image.width) * 3, '\0');
    }
    return out;
}

std::string encodeTga(const Image& image, const TgaOptions& options)
{
    checkImage(image);
    if (image.width > 0xFFFF || image.height > 0xFFFF)
        throw std::invalid_argument("Targa sizes are 16-bit");
    if (options.identification.size() > 0xFF)
        throw std::invalid_argument("Targa identification is at most 255 bytes");
    const bool alpha = image.channels == 4;
    const bool mapped = options.pixels == TgaPixels::ColourMapped;
    IndexedColours colours;
    if (mapped)
        colours = indexColours(image);

    uint8_t type = kTgaTrueColour;
    uint8_t depth = alpha ? 32 : 24;
    if (options.pixels != TgaPixels::TrueColour) {
        type = mapped ? kTgaColourMapped : kTgaGrey;
        depth = 8;
    }
    if (options.runLength)
        type += kTgaRunLengthTypeOffset;
    const bool alphaBits = options.pixels == TgaPixels::TrueColour && alpha;

    std::string out;
    out.reserve(kTgaHeaderSize + options.identification.size() + image.pixels.size());
    out.push_back(static_cast<char>(options.identification.size()));
    out.push_back(mapped ? 1 : 0); // colour-map type
    out.push_back(static_cast<char>(type));
    appendLe(out, 0, 2); // first colour-map entry
    appendLe(out, mapped ? static_cast<uint32_t>(colours.palette.size()) : 0, 2);
    out.push_back(mapped ? static_cast<char>(alpha ? 32 : 24) : 0); // bits per colour-map entry
    appendLe(out, 0, 2); // x origin
    appendLe(out, 0, 2); // y origin
    appendLe(out, static_cast<uint32_t>(image.width), 2);
    appendLe(out, static_cast<uint32_t>(image.height), 2);
    out.push_back(static_cast<char>(depth));
    out.push_back(static_cast<char>((alphaBits ? 8 : 0) | (options.topLeftOrigin ? kTgaTopLeftBit : 0)));
    out += options.identification;
    for (const auto& c : colours.palette)
        appendBgr(out, c.data(), alpha);

    const std::string elements = tgaElements(image, options, colours);
    if (!options.runLength)
        return out + elements;
    const std::size_t elementSize = elements.size() / (static_cast<std::size_t>(image.width) * image.height);
    return out + runLengthPackets(elements, elementSize);
}

IndexedColours indexColours(const Image& image)
{
    checkImage(image);
    IndexedColours out;
    std::map<std::array<uint8_t, 4>, uint8_t> known;
    out.indices.reserve(static_cast<std::size_t>(image.width) * image.height);
    for (std::size_t i = 0; i < image.pixels.size(); i += static_cast<std::size_t>(image.channels)) {
        const uint8_t* p = image.pixels.data() + i;
        const std::array<uint8_t, 4> colour{p[0], p[1], p[2], image.channels == 4 ? p[3] : kOpaque};
        auto found = known.find(colour);
        if (found == known.end()) {
            if (out.palette.size() == kMaxPaletteColours)
                throw std::invalid_argument("a palette holds at most 256 colours");
            found = known.emplace(colour, static_cast<uint8_t>(out.palette.size())).first;
            out.palette.push_back(colour);
        }
        out.indices.push_back(found->second);
    }
    return out;
}

std::string encodePng(const Image& image, platform::PngColorType colour, int bitDepth)
{
    using platform::PngColorType;
    checkImage(image);
    if ((bitDepth != 8 && bitDepth != 16) || (bitDepth == 16 && colour == PngColorType::Palette))
        throw std::invalid_argument("PNG bit depth 8, or 16 without a palette");
    platform::PngLayout picture;
    std::vector<uint8_t> rows;
    picture.width = image.width;
    picture.height = image.height;
    picture.colorType = colour;
    picture.bitDepth = bitDepth;
    if (colour == PngColorType::Palette) {
        IndexedColours colours = indexColours(image);
        rows = std::move(colours.indices);
        for (const auto& c : colours.palette) {
            picture.palette.insert(picture.palette.end(), c.begin(), c.begin() + 3);
            picture.paletteAlpha.push_back(c[3]);
        }
        // Entries after the last translucent one need no alpha of their own.
        while (!picture.paletteAlpha.empty() && picture.paletteAlpha.back() == kOpaque)
            picture.paletteAlpha.pop_back();
    } else {
        const bool grey = colour == PngColorType::Grey || colour == PngColorType::GreyAlpha;
        const bool alpha = colour == PngColorType::GreyAlpha || colour == PngColorType::Rgba;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const uint8_t* p = image.at(x, y);
                std::array<uint8_t, 4> samples{};
                std::size_t count = 0;
                if (grey) {
                    samples[count++] = luminance(p);
                } else {
                    for (int c = 0; c < 3; ++c)
                        samples[count++] = p[c];
                }
                if (alpha)
                    samples[count++] = image.channels == 4 ? p[3] : kOpaque;
                for (std::size_t i = 0; i < count; ++i) {
                    // A 16-bit sample v * 257 is big-endian (v, v).
                    rows.push_back(samples[i]);
                    if (bitDepth == 16)
                        rows.push_back(samples[i]);
                }
            }
    }
    const std::vector<uint8_t> png = platform::EncodePng(picture, rows);
    if (png.empty())
        throw std::runtime_error("PNG encoding failed");
    return std::string(png.begin(), png.end());
}

std::string encodeJpeg(const Image& image, int quality)
{
    checkImage(image);
    const std::vector<uint8_t> jpeg = platform::EncodeJpegRgb(rgbSamples(image), image.width, image.height, quality);
    if (jpeg.empty())
        throw std::runtime_error("JPEG encoding failed");
    return std::string(jpeg.begin(), jpeg.end());
}

void writeFileBytes(const std::string& path, const std::string& bytes)
{
    const std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw platform::EInOutError("Cannot write " + path);
}

} // namespace writers
