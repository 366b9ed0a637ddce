#include "AllocationWatch.h"
#include "platform/images/PngFile.h"
#include "textures/Textures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Bytes = std::vector<uint8_t>;
using platform::PngColorType;
using platform::PngLayout;

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes grey(uint8_t v, uint8_t alpha = 255) { return {v, v, v, alpha}; }

PngLayout layout(PngColorType type, int bitDepth, int width = 2, int height = 2)
{
    PngLayout l;
    l.width = width;
    l.height = height;
    l.colorType = type;
    l.bitDepth = bitDepth;
    return l;
}

PngLayout withPalette(int bitDepth, Bytes palette, Bytes alpha = {})
{
    PngLayout l = layout(PngColorType::Palette, bitDepth);
    l.palette = std::move(palette);
    l.paletteAlpha = std::move(alpha);
    return l;
}

PngLayout withTransparentColor(PngColorType type, int bitDepth, std::array<uint16_t, 3> color)
{
    PngLayout l = layout(type, bitDepth);
    l.transparentColor = color;
    return l;
}

// A 2 x 2 PNG given as its stored rows (top row first) and the RGBA pixels
// it holds, bottom row first.
struct PngCase {
    const char* label;
    PngLayout layout;
    Bytes rows;
    Bytes rgba;
};

void PrintTo(const PngCase& value, std::ostream* out) { *out << value.label; }

// Top row 255, 85; bottom row 170, 0, in every grey depth.
const Bytes kGreys = grey(170) + grey(0) + grey(255) + grey(85);

const PngCase kCases[] = {
    {"Rgb8", layout(PngColorType::Rgb, 8), {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255},
     {0, 0, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 0, 255, 0, 255}},
    {"Rgba8", layout(PngColorType::Rgba, 8), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     {9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8}},
    {"Grey1", layout(PngColorType::Grey, 1), {0x80, 0x40}, grey(0) + grey(255) + grey(255) + grey(0)},
    {"Grey2", layout(PngColorType::Grey, 2), {0xD0, 0x80}, kGreys},
    {"Grey4", layout(PngColorType::Grey, 4), {0xF5, 0xA0}, kGreys},
    {"Grey8", layout(PngColorType::Grey, 8), {255, 85, 170, 0}, kGreys},
    {"Grey16", layout(PngColorType::Grey, 16), {0xFF, 0xFF, 0x55, 0x55, 0xAA, 0xAA, 0, 0}, kGreys},
    {"GreyAlpha8", layout(PngColorType::GreyAlpha, 8), {10, 1, 20, 2, 30, 3, 40, 4},
     grey(30, 3) + grey(40, 4) + grey(10, 1) + grey(20, 2)},
    // 16-bit samples of the form 0xXYXY scale to exactly 0xXY.
    {"GreyAlpha16", layout(PngColorType::GreyAlpha, 16),
     {10, 10, 1, 1, 20, 20, 2, 2, 30, 30, 3, 3, 40, 40, 4, 4}, grey(30, 3) + grey(40, 4) + grey(10, 1) + grey(20, 2)},
    {"Rgba16", layout(PngColorType::Rgba, 16),
     Bytes{1, 1, 2, 2, 3, 3, 4, 4} + Bytes{5, 5, 6, 6, 7, 7, 8, 8} + Bytes{9, 9, 10, 10, 11, 11, 12, 12} +
         Bytes{13, 13, 14, 14, 15, 15, 16, 16},
     {9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8}},
    {"Palette8WithAlpha", withPalette(8, {255, 0, 0, 0, 255, 0, 0, 0, 255}, {0, 128}), {0, 1, 2, 0},
     {0, 0, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 0, 255, 0, 128}},
    {"Palette1", withPalette(1, {10, 20, 30, 40, 50, 60}), {0x40, 0x80},
     {40, 50, 60, 255, 10, 20, 30, 255, 10, 20, 30, 255, 40, 50, 60, 255}},
    {"Palette4", withPalette(4, {0, 0, 0, 100, 0, 0, 0, 100, 0}), {0x12, 0x00},
     {0, 0, 0, 255, 0, 0, 0, 255, 100, 0, 0, 255, 0, 100, 0, 255}},
    {"GreyTransparentColor", withTransparentColor(PngColorType::Grey, 8, {85, 0, 0}), {255, 85, 170, 0},
     grey(170) + grey(0) + grey(255) + grey(85, 0)},
    {"Rgb16TransparentColor", withTransparentColor(PngColorType::Rgb, 16, {0x1212, 0x3434, 0x5656}),
     Bytes{0x12, 0x12, 0x34, 0x34, 0x56, 0x56, 0x12, 0x12, 0x34, 0x34, 0x57, 0x57} + Bytes(12, 0),
     Bytes{0, 0, 0, 255, 0, 0, 0, 255} + Bytes{0x12, 0x34, 0x56, 0, 0x12, 0x34, 0x57, 255}},
};

class PngVariant : public ::testing::TestWithParam<PngCase> {};

TEST_P(PngVariant, DecodesToRgbaBottomRowFirst)
{
    const Bytes file = platform::EncodePng(GetParam().layout, GetParam().rows);
    ASSERT_FALSE(file.empty());
    const DecodedImage image = DecodePng(file);
    ASSERT_EQ(image.fault, ImageFault::None);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.format, static_cast<GLenum>(GL_RGBA));
    EXPECT_EQ(image.pixels, GetParam().rgba);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PngVariant, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

// 9 x 7 RGBA, top row first, each pixel telling its place.
Bytes gradientRows()
{
    Bytes rows;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            rows = rows + Bytes{static_cast<uint8_t>(x * 20), static_cast<uint8_t>(y * 30),
                                static_cast<uint8_t>(x + y), static_cast<uint8_t>(255 - x)};
    return rows;
}

Bytes interlacedGradient()
{
    PngLayout l = layout(PngColorType::Rgba, 8, 9, 7);
    l.interlaced = true;
    return platform::EncodePng(l, gradientRows());
}

TEST(PngDecoding, InterlacedImageIsWholeAndBottomRowFirst)
{
    const DecodedImage image = DecodePng(interlacedGradient());
    ASSERT_EQ(image.fault, ImageFault::None);
    const Bytes rows = gradientRows();
    for (size_t y = 0; y < 7; ++y)
        EXPECT_TRUE(std::equal(rows.begin() + static_cast<long>((6 - y) * 36),
                               rows.begin() + static_cast<long>((7 - y) * 36), image.pixels.begin() + y * 36))
            << "row " << y;
}

uint32_t crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void putBigEndian(Bytes& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// The file with its IHDR claiming another size, CRC and all.
Bytes claimingSize(Bytes file, uint32_t width, uint32_t height)
{
    constexpr size_t kWidthAt = 16, kHeightAt = 20, kTypeAt = 12, kCrcAt = 29;
    putBigEndian(file, kWidthAt, width);
    putBigEndian(file, kHeightAt, height);
    putBigEndian(file, kCrcAt, crc32(file.data() + kTypeAt, kCrcAt - kTypeAt));
    return file;
}

TEST(PngDecoding, RefusesDamagedTruncatedAndOversizedFiles)
{
    // Every prefix short of the image data fails; the closing IEND chunk
    // (12 bytes) adds nothing to the picture and may be missing.
    constexpr size_t kEndChunkSize = 12;
    const Bytes good = interlacedGradient();
    for (size_t size = 0; size < good.size() - kEndChunkSize; ++size) {
        const DecodedImage image = DecodePng(std::span(good).first(size));
        ASSERT_EQ(image.fault, ImageFault::NotDecodable) << size;
        ASSERT_TRUE(image.pixels.empty());
    }
    Bytes badCrc = good;
    badCrc[30] ^= 1;
    EXPECT_EQ(DecodePng(badCrc).fault, ImageFault::NotDecodable);
    const Bytes text{'n', 'o', 't', ' ', 'a', ' ', 'P', 'N', 'G'};
    EXPECT_EQ(DecodePng(text).fault, ImageFault::NotDecodable);

    const DecodedImage wide = DecodePng(claimingSize(good, 9000, 7));
    EXPECT_EQ(wide.fault, ImageFault::SizeUnsupported);
    EXPECT_EQ(wide.width, 9000);
    EXPECT_EQ(DecodePng(good, 8).fault, ImageFault::SizeUnsupported);
}

// A header of a few dozen bytes can claim 8192 x 8192 pixels; compressed
// data cannot expand more than about a thousandfold, so the decoder refuses
// such a file before it allocates the picture.
TEST(PngDecoding, HeaderAloneCannotClaimAHugePicture)
{
    const Bytes onePixel = platform::EncodePng(layout(PngColorType::Grey, 8, 1, 1), Bytes{7});
    testsupport::ResetLargestAllocation();
    EXPECT_EQ(DecodePng(claimingSize(onePixel, 8192, 8192)).fault, ImageFault::NotDecodable);
    EXPECT_LT(testsupport::LargestAllocation(), 1u << 20);
}

} // namespace
