#include "tools/writers/ImageWriters.h"

#include "platform/Errors.h"
#include "platform/JpegCodec.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace writers {

namespace {

constexpr int kBmpHeaderSize = 54;
constexpr int kBmpInfoSize = 40;
constexpr int kPixelsPerMetre = 2835; // 72 dpi
constexpr int kTgaHeaderSize = 18;
constexpr uint8_t kTgaTrueColour = 2;
constexpr uint8_t kTgaTopLeftBit = 0x20;

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

    std::string out;
    out.reserve(kTgaHeaderSize + options.identification.size() + image.pixels.size());
    out.push_back(static_cast<char>(options.identification.size()));
    out.push_back(0); // no colour map
    out.push_back(static_cast<char>(kTgaTrueColour));
    out.append(5, '\0'); // colour-map start, length and entry size: all zero
    appendLe(out, 0, 2); // x origin
    appendLe(out, 0, 2); // y origin
    appendLe(out, static_cast<uint32_t>(image.width), 2);
    appendLe(out, static_cast<uint32_t>(image.height), 2);
    out.push_back(static_cast<char>(alpha ? 32 : 24));
    out.push_back(static_cast<char>((alpha ? 8 : 0) | (options.topLeftOrigin ? kTgaTopLeftBit : 0)));
    out += options.identification;
    for (int row = 0; row < image.height; ++row) {
        const int y = options.topLeftOrigin ? row : image.height - 1 - row;
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.at(x, y);
            out.push_back(static_cast<char>(p[2]));
            out.push_back(static_cast<char>(p[1]));
            out.push_back(static_cast<char>(p[0]));
            if (alpha)
                out.push_back(static_cast<char>(p[3]));
        }
    }
    return out;
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
