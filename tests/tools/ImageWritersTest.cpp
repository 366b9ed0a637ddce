#include "tools/writers/ImageWriters.h"

#include "TargaPackets.h"
#include "platform/system/Errors.h"
#include "platform/images/JpegCodec.h"
#include "support/TempDir.h"
#include "textures/Textures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <tuple>

namespace {

using namespace writers;
using toolstest::unpackRunLength;

uint32_t le(const std::string& b, std::size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint32_t(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return v;
}

uint8_t byteAt(const std::string& b, std::size_t at) { return static_cast<uint8_t>(b[at]); }

// Every pixel different: r = 10x + 1, g = 50y + 2, b = 200, a = 100 + x + y.
Image ramp(int w, int h, int channels)
{
    Image image(w, h, channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = image.at(x, y);
            p[0] = uint8_t(10 * x + 1);
            p[1] = uint8_t(50 * y + 2);
            p[2] = 200;
            if (channels == 4)
                p[3] = uint8_t(100 + x + y);
        }
    return image;
}

TEST(EncodeBmp24, WritesBottomUpBgrRowsPaddedToFourBytes)
{
    const std::string b = encodeBmp24(ramp(5, 3, 3)); // 15 bytes of pixels, 16 per row
    ASSERT_EQ(b.size(), 54u + 16 * 3);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(le(b, 2, 4), b.size());
    EXPECT_EQ(le(b, 10, 4), 54u);
    EXPECT_EQ(le(b, 14, 4), 40u);
    EXPECT_EQ(le(b, 18, 4), 5u);
    EXPECT_EQ(le(b, 22, 4), 3u);
    EXPECT_EQ(le(b, 26, 2), 1u);
    EXPECT_EQ(le(b, 28, 2), 24u);
    EXPECT_EQ(le(b, 30, 4), 0u);
    EXPECT_EQ(le(b, 34, 4), 48u);
    EXPECT_EQ(le(b, 46, 4), 0u);
    for (int row = 0; row < 3; ++row) {
        const std::size_t at = 54 + 16 * row;
        const int y = 2 - row; // bottom row first
        EXPECT_EQ(byteAt(b, at), 200);
        EXPECT_EQ(byteAt(b, at + 1), 50 * y + 2);
        EXPECT_EQ(byteAt(b, at + 2), 1);
        EXPECT_EQ(byteAt(b, at + 14), 10 * 4 + 1); // red of the last pixel
        EXPECT_EQ(byteAt(b, at + 15), 0);          // padding
    }
    EXPECT_EQ(encodeBmp24(ramp(5, 3, 4)), b); // alpha is dropped
}

TEST(EncodeTga, WritesBottomUpTrueColourByDefault)
{
    const std::string b = encodeTga(ramp(3, 2, 3));
    ASSERT_EQ(b.size(), 18u + 3 * 2 * 3); // no row padding
    EXPECT_EQ(byteAt(b, 0), 0);           // no identification
    EXPECT_EQ(byteAt(b, 1), 0);
    EXPECT_EQ(byteAt(b, 2), 2);
    EXPECT_EQ(le(b, 12, 2), 3u);
    EXPECT_EQ(le(b, 14, 2), 2u);
    EXPECT_EQ(byteAt(b, 16), 24);
    EXPECT_EQ(byteAt(b, 17), 0);
    EXPECT_EQ(byteAt(b, 18), 200);     // blue of the bottom-left pixel
    EXPECT_EQ(byteAt(b, 19), 50 + 2);  // green of row 1
    EXPECT_EQ(byteAt(b, 20), 1);
    EXPECT_EQ(byteAt(b, 18 + 9 + 1), 2); // next row up is row 0
}

TEST(EncodeTga, TopLeftOriginAndIdentificationWithAlpha)
{
    const std::string b = encodeTga(ramp(3, 2, 4), {true, "quill"});
    ASSERT_EQ(b.size(), 18u + 5 + 3 * 2 * 4);
    EXPECT_EQ(byteAt(b, 0), 5);
    EXPECT_EQ(byteAt(b, 16), 32);
    EXPECT_EQ(byteAt(b, 17), 0x28); // 8 alpha bits, top-left origin
    EXPECT_EQ(b.substr(18, 5), "quill");
    EXPECT_EQ(byteAt(b, 23), 200);
    EXPECT_EQ(byteAt(b, 24), 2); // green of row 0: the top row comes first
    EXPECT_EQ(byteAt(b, 25), 1);
    EXPECT_EQ(byteAt(b, 26), 100);
    EXPECT_EQ(byteAt(b, 23 + 4 * 5 + 3), 100 + 2 + 1); // alpha of (2, 1)
}

// Two rows of one colour (a run across a row end), a row of differing pixels
// and a row with a run of two between single pixels.
Image runsAndSingles(int channels)
{
    Image image(9, 4, channels);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) {
            uint8_t* p = image.at(x, y);
            const int shade = y < 2 ? 0 : y == 2 ? x : (x == 4 || x == 5) ? 20 : x;
            p[0] = uint8_t(40 + shade), p[1] = uint8_t(90 - shade), p[2] = 7;
            if (channels == 4)
                p[3] = uint8_t(255 - shade);
        }
    return image;
}

TEST(EncodeTga, TrueColourDecodesWithTheViewersReader)
{
    for (const int channels : {3, 4})
        for (const bool topLeft : {false, true}) {
            const Image image = ramp(5, 3, channels);
            const std::string bytes = encodeTga(image, {topLeft, "id"});
            const DecodedImage decoded = DecodeTarga({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
            ASSERT_EQ(decoded.fault, ImageFault::None) << channels << topLeft;
            ASSERT_EQ(decoded.width, 5);
            ASSERT_EQ(decoded.height, 3);
            EXPECT_EQ(decoded.format, channels == 4 ? GLenum(GL_RGBA) : GLenum(GL_RGB));
            for (int y = 0; y < 3; ++y) // decoded rows come bottom row first
                for (int x = 0; x < 5; ++x)
                    for (int c = 0; c < channels; ++c)
                        EXPECT_EQ(decoded.pixels[(std::size_t(2 - y) * 5 + x) * channels + c], image.at(x, y)[c])
                            << channels << topLeft << " " << x << "," << y;
        }
}

// Every run-length type holds, packet by packet, exactly the pixels of the
// raw type it compresses, with the same header and colour map.
TEST(EncodeTga, RunLengthTypesUnpackToTheirRawTypes)
{
    for (const int channels : {3, 4})
        for (const bool topLeft : {false, true})
            for (const TgaPixels pixels : {TgaPixels::TrueColour, TgaPixels::ColourMapped, TgaPixels::Grey}) {
                const Image image = runsAndSingles(channels);
                const std::string raw = encodeTga(image, {topLeft, "", pixels, false});
                const std::string packed = encodeTga(image, {topLeft, "", pixels, true});
                const std::size_t elementSize = pixels == TgaPixels::TrueColour ? std::size_t(channels) : 1;
                const std::size_t start = raw.size() - 36 * elementSize; // the pixels end the raw file
                EXPECT_EQ(byteAt(packed, 2), byteAt(raw, 2) + 8);
                EXPECT_EQ(packed.substr(3, start - 3), raw.substr(3, start - 3)) << "header and colour map";
                EXPECT_LT(packed.size(), raw.size());
                EXPECT_EQ(unpackRunLength(packed.substr(start), elementSize, 36), raw.substr(start))
                    << channels << topLeft << int(pixels);
            }
}

TEST(EncodeTga, RunLengthPacketsHoldAtMost128PixelsAndCrossRowEnds)
{
    Image flat(100, 3, 3); // 300 equal pixels
    for (std::size_t i = 0; i < flat.pixels.size(); i += 3)
        flat.pixels[i] = 10, flat.pixels[i + 1] = 20, flat.pixels[i + 2] = 30;
    const TgaOptions runLength{false, "", TgaPixels::TrueColour, true};
    EXPECT_EQ(encodeTga(flat, runLength).substr(18), std::string("\xFF\x1E\x14\x0A\xFF\x1E\x14\x0A\xAB\x1E\x14\x0A"));

    Image distinct(200, 1, 3);
    for (int x = 0; x < 200; ++x)
        distinct.at(x, 0)[0] = uint8_t(x);
    const std::string raw = encodeTga(distinct, runLength);
    ASSERT_EQ(raw.size(), 18u + 2 + 200 * 3);
    EXPECT_EQ(byteAt(raw, 18), 127);
    EXPECT_EQ(byteAt(raw, 18 + 1 + 128 * 3), 71);

    // A B B C: a raw packet of one, a repeat of two, a raw packet of one.
    Image mixed(4, 1, 3);
    for (const int x : {0, 1, 2, 3})
        mixed.at(x, 0)[1] = uint8_t(x == 2 ? 1 : x);
    EXPECT_EQ(encodeTga(mixed, runLength).substr(18),
              std::string("\x00\x00\x00\x00\x81\x00\x01\x00\x00\x00\x03\x00", 12));
}

TEST(EncodeTga, ColourMappedWritesThePaletteInOrderOfFirstUse)
{
    // Top row red, red, green; bottom row blue, red, green.
    Image image(3, 2, 4);
    const uint8_t colours[6][4] = {{255, 0, 0, 255}, {255, 0, 0, 255}, {0, 255, 0, 255},
                                   {0, 0, 255, 9},   {255, 0, 0, 255}, {0, 255, 0, 255}};
    for (int i = 0; i < 6; ++i)
        std::copy(colours[i], colours[i] + 4, image.at(i % 3, i / 3));
    const std::string b = encodeTga(image, {false, "", TgaPixels::ColourMapped});
    EXPECT_EQ(byteAt(b, 1), 1);
    EXPECT_EQ(byteAt(b, 2), 1);
    EXPECT_EQ(le(b, 3, 2), 0u);
    EXPECT_EQ(le(b, 5, 2), 3u);
    EXPECT_EQ(byteAt(b, 7), 32); // entries keep the alpha of a 4-channel image
    EXPECT_EQ(byteAt(b, 16), 8);
    EXPECT_EQ(byteAt(b, 17), 0);
    EXPECT_EQ(b.substr(18), std::string("\x00\x00\xFF\xFF\x00\xFF\x00\xFF\xFF\x00\x00\x09"
                                        "\x02\x00\x01\x00\x00\x01", 18));

    image = Image(3, 2, 3);
    std::copy(colours[3], colours[3] + 3, image.at(0, 0));
    const std::string rgb = encodeTga(image, {false, "", TgaPixels::ColourMapped});
    EXPECT_EQ(byteAt(rgb, 7), 24);
    EXPECT_EQ(rgb.substr(18), std::string("\xFF\x00\x00\x00\x00\x00\x01\x01\x01\x00\x01\x01", 12));

    Image tooMany(257, 1, 3);
    for (int x = 0; x < 257; ++x)
        tooMany.at(x, 0)[0] = uint8_t(x), tooMany.at(x, 0)[1] = uint8_t(x >> 8);
    EXPECT_THROW(encodeTga(tooMany, {false, "", TgaPixels::ColourMapped}), std::invalid_argument);
    tooMany.pixels.resize(256 * 3);
    tooMany.width = 256;
    EXPECT_NO_THROW(encodeTga(tooMany, {false, "", TgaPixels::ColourMapped}));
}

TEST(EncodeTga, GreyStoresLuminanceWithoutAlpha)
{
    Image image(4, 1, 4); // red, green, blue, white
    const uint8_t colours[4][4] = {{255, 0, 0, 1}, {0, 255, 0, 2}, {0, 0, 255, 3}, {255, 255, 255, 4}};
    for (int x = 0; x < 4; ++x)
        std::copy(colours[x], colours[x] + 4, image.at(x, 0));
    const std::string b = encodeTga(image, {true, "", TgaPixels::Grey});
    EXPECT_EQ(byteAt(b, 1), 0);
    EXPECT_EQ(byteAt(b, 2), 3);
    EXPECT_EQ(byteAt(b, 16), 8);
    EXPECT_EQ(byteAt(b, 17), 0x20); // top-left, no alpha bits
    EXPECT_EQ(b.substr(18), std::string("\x4C\x96\x1D\xFF")); // 76, 150, 29, 255
}

TEST(EncodeJpeg, DecodesBackToTheSameColoursAndRepeats)
{
    // Four quadrants: red, green / blue, white; 50 wide so rows are not a
    // multiple of 4 bytes.
    Image image(50, 32, 4);
    const uint8_t colours[4][3] = {{220, 30, 30}, {30, 200, 40}, {40, 50, 210}, {250, 250, 250}};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 50; ++x) {
            const uint8_t* c = colours[(y >= 16) * 2 + (x >= 25)];
            uint8_t* p = image.at(x, y);
            p[0] = c[0], p[1] = c[1], p[2] = c[2], p[3] = 7;
        }
    const std::string bytes = encodeJpeg(image);
    EXPECT_EQ(bytes, encodeJpeg(image));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(byteAt(bytes, 0), 0xFF);
    EXPECT_EQ(byteAt(bytes, 1), 0xD8);

    platform::JpegPicture decoded;
    const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(platform::DecodeJpegRgb(data, [](int64_t, int64_t) { return true; }, decoded),
              platform::JpegResult::Decoded);
    ASSERT_EQ(decoded.width, 50);
    ASSERT_EQ(decoded.height, 32);
    const int probes[4][2] = {{12, 8}, {37, 8}, {12, 24}, {37, 24}};
    for (int q = 0; q < 4; ++q) {
        const uint8_t* p = decoded.rgb.data() + (std::size_t(probes[q][1]) * 50 + probes[q][0]) * 3;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(p[c], colours[q][c], 12) << "quadrant " << q << " channel " << c;
    }
}

// The 8-bit sRGB level the PNG reader gives for a sample: a file without
// colour-space chunks holds sRGB levels at 8 bits but linear ones at 16.
int readLevel(int level, int bitDepth)
{
    if (bitDepth == 8)
        return level;
    const double linear = level / 255.0;
    const double srgb = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return int(std::lround(srgb * 255.0));
}

// PNG with every colour type and depth reads back through the program's PNG
// reader, which gives 8-bit RGB composed over black. The bytes carry the
// colour type and depth asked for and repeat on every run.
TEST(EncodePng, EveryColourTypeReadsBackThroughThePngReader)
{
    using platform::PngColorType;
    Image image(6, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            uint8_t* p = image.at(x, y);
            p[0] = uint8_t(40 * x), p[1] = uint8_t(60 * y), p[2] = 90, p[3] = 255;
        }
    image.at(5, 0)[3] = 0;
    testsupport::TempDir dir;
    const std::tuple<PngColorType, int> cases[] = {
        {PngColorType::Rgb, 8},  {PngColorType::Rgba, 8},  {PngColorType::Grey, 8},
        {PngColorType::GreyAlpha, 8}, {PngColorType::Palette, 8}, {PngColorType::Rgb, 16},
        {PngColorType::Rgba, 16}, {PngColorType::Grey, 16}};
    for (const auto& [type, depth] : cases) {
        SCOPED_TRACE(std::to_string(int(type)) + "/" + std::to_string(depth));
        const std::string bytes = encodePng(image, type, depth);
        EXPECT_EQ(bytes, encodePng(image, type, depth));
        ASSERT_GT(bytes.size(), 33u);
        EXPECT_EQ(bytes.substr(1, 3), "PNG");
        EXPECT_EQ(byteAt(bytes, 24), depth);
        EXPECT_EQ(byteAt(bytes, 25), int(type));
        const bool alpha = type == PngColorType::Rgba || type == PngColorType::GreyAlpha || type == PngColorType::Palette;
        EXPECT_EQ(bytes.find("tRNS") != std::string::npos, type == PngColorType::Palette);

        dir.write("p.png", bytes);
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(platform::ReadPng(dir.file("p.png"), width, height, rgb));
        ASSERT_EQ(width, 6);
        ASSERT_EQ(height, 4);
        const bool grey = type == PngColorType::Grey || type == PngColorType::GreyAlpha;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                const uint8_t* p = image.at(x, y);
                const int level = (299 * p[0] + 587 * p[1] + 114 * p[2] + 500) / 1000;
                for (int c = 0; c < 3; ++c) {
                    const int expected = alpha && p[3] == 0 ? 0 : readLevel(grey ? level : p[c], depth);
                    EXPECT_NEAR(rgb[(std::size_t(y) * 6 + x) * 3 + c], expected, 2) << x << "," << y << " " << c;
                }
            }
    }
    // An opaque palette needs no transparency chunk.
    EXPECT_EQ(encodePng(ramp(3, 2, 3), PngColorType::Palette).find("tRNS"), std::string::npos);
}

TEST(EncodeImages, RejectEmptyOrInconsistentImages)
{
    EXPECT_THROW(encodeBmp24(Image(0, 4, 3)), std::invalid_argument);
    Image shortBuffer(4, 4, 3);
    shortBuffer.pixels.pop_back();
    EXPECT_THROW(encodeTga(shortBuffer), std::invalid_argument);
    EXPECT_THROW(encodeJpeg(Image(4, 4, 2)), std::invalid_argument);
    EXPECT_THROW(encodeTga(Image(2, 2, 3), {false, std::string(256, 'i')}), std::invalid_argument);
    EXPECT_THROW(encodePng(Image(2, 2, 3), platform::PngColorType::Rgb, 4), std::invalid_argument);
    EXPECT_THROW(encodePng(Image(2, 2, 3), platform::PngColorType::Palette, 16), std::invalid_argument);
    EXPECT_THROW(encodePng(ramp(17, 16, 3), platform::PngColorType::Palette), std::invalid_argument); // 272 colours
}

TEST(WriteFileBytes, CreatesFoldersAndReportsFailures)
{
    testsupport::TempDir dir;
    const std::string bytes("\0binary\xff", 8);
    writeFileBytes(dir.file("a/b/c.bin"), bytes);
    EXPECT_EQ(dir.read("a/b/c.bin"), bytes);
    // A regular file cannot hold a folder.
    EXPECT_THROW(writeFileBytes(dir.file("a/b/c.bin/d.bin"), bytes), platform::EInOutError);
}

} // namespace
