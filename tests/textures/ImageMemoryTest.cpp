// Decoded image memory: images reduced while they are decoded for small
// pictures, the limit on what a run holds, and PNG files with bytes after
// their end.
#include "AllocationWatch.h"
#include "platform/system/Dialogs.h"
#include "support/HeadlessGL.h"
#include "support/TempDir.h"
#include "textures/ImageMemory.h"
#include "textures/Textures.h"
#include "tools/writers/ImageWriters.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// side x side in four quadrants: top left red, top right green, bottom left
// blue, bottom right white.
writers::Image quadrants(int side)
{
    writers::Image image(side, side, 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            uint8_t* p = image.at(x, y);
            const bool top = y < side / 2, left = x < side / 2;
            p[0] = (top && left) || (!top && !left) ? 255 : 0;
            p[1] = (top && !left) || (!top && !left) ? 255 : 0;
            p[2] = !top ? 255 : 0;
        }
    return image;
}

struct Format {
    const char* name;
    std::function<Bytes(const writers::Image&)> encode;
    std::function<DecodedImage(const Bytes&)> decode;
};

const Format kFormats[] = {
    {"RunLengthTarga",
     [](const writers::Image& i) {
         return bytesOf(writers::encodeTga(i, {.topLeftOrigin = false, .identification = "", .runLength = true}));
     },
     [](const Bytes& b) { return DecodeGameTarga(b); }},
    {"Bitmap", [](const writers::Image& i) { return bytesOf(writers::encodeBmp24(i)); },
     [](const Bytes& b) { return DecodeBitmap(b); }},
    {"Jpeg", [](const writers::Image& i) { return bytesOf(writers::encodeJpeg(i, 100)); },
     [](const Bytes& b) { return DecodeJpeg(b); }},
    {"Png", [](const writers::Image& i) { return bytesOf(writers::encodePng(i, platform::PngColorType::Rgb)); },
     [](const Bytes& b) { return DecodePng(b); }},
};

class ReducedDecoding : public ::testing::TestWithParam<Format> {
protected:
    void TearDown() override { UseDecodedImageSide(0); }
};

// A 400 x 400 picture asked for at 64 pixels comes out no larger (JPEG at
// 50, scaled by eighths and halved, the others at 58, reduced by 7), never
// held whole but as a PNG, bottom row first, each quadrant still its colour;
// a small one comes out whole.
TEST_P(ReducedDecoding, LargeImagesComeOutNoLargerThanAskedWithTheirColours)
{
    const Format& format = GetParam();
    UseDecodedImageSide(64);
    const DecodedImage small = format.decode(format.encode(quadrants(48)));
    ASSERT_EQ(small.fault, ImageFault::None);
    EXPECT_EQ(small.width, 48);

    const Bytes file = format.encode(quadrants(400));
    testsupport::ResetLargestAllocation();
    const DecodedImage image = format.decode(file);
    ASSERT_EQ(image.fault, ImageFault::None);
    const int side = std::string(format.name) == "Jpeg" ? 50 : 58;
    EXPECT_EQ(image.width, side);
    EXPECT_EQ(image.height, side);
    if (std::string(format.name) != "Png") {
        EXPECT_LT(testsupport::LargestAllocation(), 400u * 400u * 3u / 4u);
    }
    const size_t channels = image.format == GL_RGBA ? 4 : 3;
    auto pixel = [&](int x, int y) { return image.pixels.data() + (static_cast<size_t>(y) * side + x) * channels; };
    const int near = 2, far = side - 3;
    const std::pair<std::array<int, 2>, std::array<int, 3>> corners[] = {
        {{near, far}, {255, 0, 0}}, {{far, far}, {0, 255, 0}}, {{near, near}, {0, 0, 255}}, {{far, near}, {255, 255, 255}}};
    for (const auto& [at, colour] : corners)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(pixel(at[0], at[1])[c], colour[c], 6) << format.name << " at " << at[0] << "," << at[1];
}

INSTANTIATE_TEST_SUITE_P(Formats, ReducedDecoding, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<Format>& info) { return info.param.name; });

// Beyond the limit an image is refused naming the file, whatever its kind;
// freed textures give their memory back.
TEST(ImageMemoryLimit, RefusesImagesBeyondItAndFreedTexturesGiveItBack)
{
    platform::SetNonInteractive(true);
    platform::ClearRecordedMessages();
    testsupport::HeadlessGL gl(16, 16);
    testsupport::TempDir dir;
    writers::writeFileBytes(dir.file("a.tga"), writers::encodeTga(quadrants(256), {.topLeftOrigin = false, .identification = "", .runLength = true}));
    writers::writeFileBytes(dir.file("b.png"), writers::encodePng(quadrants(256), platform::PngColorType::Rgb));
    writers::writeFileBytes(dir.file("c.jpg"), writers::encodeJpeg(quadrants(256)));
    writers::writeFileBytes(dir.file("d.bmp"), writers::encodeBmp24(quadrants(256)));
    const uint64_t oneImage = 256 * 256 * kImageBytesPerPixel;
    SetImageMemoryLimit(oneImage + oneImage / 2);

    GLuint first = 0;
    ASSERT_TRUE(LoadGameImageTexture(dir.file("a.tga"), first));
    EXPECT_EQ(ImageMemoryHeld(), oneImage);
    for (const char* name : {"b.png", "c.jpg", "d.bmp", "a.tga"}) {
        GLuint texture = 0;
        EXPECT_FALSE(LoadGameImageTexture(dir.file(name), texture)) << name;
        ASSERT_FALSE(platform::RecordedMessages().empty());
        const std::string& text = platform::RecordedMessages().back().text;
        EXPECT_NE(text.find(dir.file(name)), std::string::npos) << text;
        EXPECT_NE(text.find("image memory"), std::string::npos) << text;
    }
    FreeImageTextures(std::span(&first, 1));
    EXPECT_EQ(ImageMemoryHeld(), 0u);
    GLuint again = 0;
    EXPECT_TRUE(LoadGameImageTexture(dir.file("b.png"), again));
    FreeImageTextures(std::span(&again, 1));
    SetImageMemoryLimit(0);
    EXPECT_EQ(ImageMemoryLimit(), kDefaultImageMemoryBytes);
    platform::ClearRecordedMessages();
}

// Image editors leave bytes after the end chunk; libpng never reads them.
TEST(PngDecoding, BytesAfterTheEndChunkAreNotLookedAt)
{
    const Bytes good = bytesOf(writers::encodePng(quadrants(8), platform::PngColorType::Rgb));
    const DecodedImage whole = DecodePng(good);
    ASSERT_EQ(whole.fault, ImageFault::None);
    // A few stray bytes, and bytes that read as a chunk claiming far more
    // than is there.
    for (const Bytes& tail : {Bytes{0, 1, 2}, Bytes{0x7F, 0xFF, 0xFF, 0xFF, 't', 'E', 'X', 't', 1, 2}}) {
        Bytes longer = good;
        longer.insert(longer.end(), tail.begin(), tail.end());
        const DecodedImage image = DecodePng(longer);
        ASSERT_EQ(image.fault, ImageFault::None);
        EXPECT_EQ(image.pixels, whole.pixels);
    }
}

} // namespace
