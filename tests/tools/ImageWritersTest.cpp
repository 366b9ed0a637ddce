#include "tools/writers/ImageWriters.h"

#include "platform/Errors.h"
#include "platform/JpegCodec.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace writers;

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

TEST(EncodeImages, RejectEmptyOrInconsistentImages)
{
    EXPECT_THROW(encodeBmp24(Image(0, 4, 3)), std::invalid_argument);
    Image shortBuffer(4, 4, 3);
    shortBuffer.pixels.pop_back();
    EXPECT_THROW(encodeTga(shortBuffer), std::invalid_argument);
    EXPECT_THROW(encodeJpeg(Image(4, 4, 2)), std::invalid_argument);
    EXPECT_THROW(encodeTga(Image(2, 2, 3), {false, std::string(256, 'i')}), std::invalid_argument);
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
