#include "AllocationWatch.h"
#include "TargaBytes.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/images/PngFile.h"
#include "support/HeadlessGL.h"
#include "support/TempDir.h"
#include "textures/Resources.h"
#include "textures/Textures.h"
#include "tools/writers/ImageWriters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using writers::encodeBmp24;
using writers::encodeJpeg;
using writers::encodeTga;
using writers::Image;

namespace {

const std::vector<uint8_t> kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255};

Image filled(int width, int height, const std::vector<uint8_t>& colour)
{
    Image image(width, height, static_cast<int>(colour.size()));
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = colour[i % colour.size()];
    return image;
}

// 2 x 2: top row red, green; bottom row blue, white; with four channels the
// alpha runs 10, 20, 30, 40 from the top-left pixel on.
Image quad(int channels = 3)
{
    Image image(2, 2, channels);
    uint8_t alpha = 0;
    auto* out = image.pixels.data();
    for (const auto* c : {&kRed, &kGreen, &kBlue, &kWhite}) {
        out = std::copy(c->begin(), c->end(), out);
        alpha += 10;
        if (channels == 4)
            *out++ = alpha;
    }
    return image;
}

// The bytes with a little-endian field of size bytes at offset at replaced.
std::string patched(std::string bytes, size_t at, uint32_t value, int size = 4)
{
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

// A bitmap with rows stored top first: the flipped picture under a negative height.
std::string topDownBmp(const Image& image)
{
    Image flipped = image;
    const size_t row = static_cast<size_t>(image.width) * image.channels;
    for (int y = 0; y < image.height; ++y)
        std::copy_n(image.at(0, image.height - 1 - y), row, flipped.at(0, y));
    return patched(encodeBmp24(flipped), 22, static_cast<uint32_t>(-image.height));
}

// A bitmap with a colour table of the given number of 4-byte entries.
std::string withPalette(std::string bmp, uint32_t entries)
{
    bmp.insert(54, std::string(entries * 4, '\x7F'));
    return patched(patched(bmp, 46, entries), 10, 54 + entries * 4);
}

// The bitmap rewritten with a larger info header (108 or 124 bytes: the
// classic 40 followed by zeroed colour masks and colour space), as current
// image editors write it; the offsets and the file size follow.
std::string withInfoHeader(std::string bmp, uint32_t size)
{
    bmp.insert(54, std::string(size - 40, '\0'));
    return patched(patched(patched(bmp, 14, size), 10, 14 + size), 2, static_cast<uint32_t>(bmp.size()));
}

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// A JPEG of a few hundred bytes whose frame header claims 8192 x 8192 pixels.
std::string hugeClaimingJpeg()
{
    std::string jpeg = encodeJpeg(filled(8, 8, kRed));
    const size_t frame = jpeg.find("\xFF\xC0");
    jpeg[frame + 5] = jpeg[frame + 7] = '\x20'; // height and width, big-endian 0x2000
    jpeg[frame + 6] = jpeg[frame + 8] = '\0';
    return jpeg;
}

// 64 x 64 pixels, no two rows alike, so that a cut always loses pixels.
Image gradient()
{
    Image image(64, 64, 3);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = static_cast<uint8_t>(i * 7 + i / 192 * 13);
    return image;
}

// Level-0 texels of a texture, bottom row first.
struct Texels {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> at(int x, int y) const
    {
        auto first = bytes.begin() + (static_cast<size_t>(y) * width + x) * channels;
        return {first, first + channels};
    }
};

Texels texelsOf(GLuint texture, GLenum format)
{
    Texels t;
    t.channels = format == GL_RGBA ? 4 : 3;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.height);
    t.bytes.resize(static_cast<size_t>(t.width) * t.height * t.channels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, t.bytes.data());
    return t;
}

class TexturesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platform::SetNonInteractive(true);
        gl = std::make_unique<testsupport::HeadlessGL>(32, 32);
    }
    static void TearDownTestSuite() { gl.reset(); }
    void SetUp() override
    {
        platform::ClearRecordedMessages();
        ClearResources();
    }

    // Loads through the public entry point and expects success.
    Texels load(const std::string& name, GLenum format, bool fromResource = false)
    {
        GLuint texture = 0;
        EXPECT_TRUE(TextureFromFile(name, texture, fromResource)) << name;
        EXPECT_TRUE(glIsTexture(texture));
        EXPECT_TRUE(platform::RecordedMessages().empty());
        return texelsOf(texture, format);
    }

    static inline std::unique_ptr<testsupport::HeadlessGL> gl;
    testsupport::TempDir dir;
};

// One row of the failure table: what is on disk or registered, the name
// passed, and the one message expected ("{}" stands for the name).
struct Failure {
    const char* label;
    const char* name;
    bool fromResource;
    std::function<void(const testsupport::TempDir&)> setUp;
    const char* caption;
    const char* text;
};

void none(const testsupport::TempDir&) {}

std::function<void(const testsupport::TempDir&)> file(const char* name, std::string bytes)
{
    return [name, bytes](const testsupport::TempDir& dir) { dir.write(name, bytes); };
}

std::function<void(const testsupport::TempDir&)> resource(const char* name, const char* type, std::string bytes)
{
    return [=](const testsupport::TempDir&) { RegisterResource(name, type, bytesOf(bytes)); };
}

std::string cut(std::string bytes, size_t drop) { return bytes.substr(0, bytes.size() - drop); }

void PrintTo(const Failure& value, std::ostream* out) { *out << value.label; }

class TextureFailure : public TexturesTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(TextureFailure, ShowsItsMessageAndKeepsTheTexture)
{
    const Failure& f = GetParam();
    f.setUp(dir);
    const std::string name = f.fromResource ? f.name : dir.file(f.name);
    std::string text = f.text;
    if (auto at = text.find("{}"); at != std::string::npos)
        text.replace(at, 2, name);
    GLuint texture = 777;
    EXPECT_FALSE(TextureFromFile(name, texture, f.fromResource));
    EXPECT_EQ(texture, 777u);
    ASSERT_EQ(platform::RecordedMessages().size(), 1u);
    EXPECT_EQ(platform::RecordedMessages()[0].caption, f.caption);
    EXPECT_EQ(platform::RecordedMessages()[0].text, text);
}

const std::string kBmp = encodeBmp24(quad());
const std::string kTga = encodeTga(quad());

INSTANTIATE_TEST_SUITE_P(
    Table, TextureFailure,
    ::testing::Values(
        Failure{"BmpMissing", "skin.bmp", false, none, "BMP Unit", "Error opening {}"},
        Failure{"BmpUpperCaseName", "SKIN.BMP", false, none, "BMP Unit", "Error opening {}"},
        Failure{"BmpMixedCaseName", "Skin.Bmp", false, none, "BMP Unit", "Error opening {}"},
        Failure{"BmpPaletteShort", "p.bmp", false, file("p.bmp", withPalette(kBmp, 1000).substr(0, 154)), "BMP Unit",
                "Error reading palette"},
        Failure{"BmpDataShort", "d.bmp", false, file("d.bmp", cut(kBmp, 1)), "BMP Unit", "Error reading bitmap data"},
        Failure{"BmpHeaderShort", "h.bmp", false, file("h.bmp", kBmp.substr(0, 20)), "BMP Unit",
                "Error reading bitmap data"},
        Failure{"Bmp8Bit", "b.bmp", false, file("b.bmp", patched(kBmp, 28, 8, 2)), "BMP Unit",
                "Couldn't load \"{}\". Only uncompressed 24 bit bitmaps supported."},
        Failure{"BmpCompressed", "c.bmp", false, file("c.bmp", patched(kBmp, 30, 1)), "BMP Unit",
                "Couldn't load \"{}\". Only uncompressed 24 bit bitmaps supported."},
        Failure{"BmpNoPixels", "z.bmp", false, file("z.bmp", patched(kBmp, 18, 0)), "BMP Unit",
                "Couldn't load \"{}\". Image size 0 x 2 not supported."},
        Failure{"BmpTooWide", "w.bmp", false, file("w.bmp", encodeBmp24(filled(9000, 1, kRed))), "BMP Unit",
                "Couldn't load \"{}\". Image size 9000 x 1 not supported."},
        Failure{"BmpUnknownInfoHeader", "u.bmp", false, file("u.bmp", patched(kBmp, 14, 64)), "BMP Unit",
                "Couldn't load \"{}\". Only bitmap info headers of 40, 108 or 124 bytes supported."},
        Failure{"BmpDataOffsetPastEnd", "o.bmp", false, file("o.bmp", patched(kBmp, 10, 100000)), "BMP Unit",
                "Error reading bitmap data"},
        Failure{"Bmp124HeadersShort", "i.bmp", false, file("i.bmp", withInfoHeader(kBmp, 124).substr(0, 100)),
                "BMP Unit", "Error reading bitmap data"},
        Failure{"BmpResourceMissing", "Model/skin.bmp", true, none, "BMP Texture", "File not found in resource - {}"},
        Failure{"BmpResourceEmptyName", "./Model/skin.bmp", true, resource("Model/skin", "BMP", kBmp), "BMP Texture",
                "File not found in resource - {}"},
        Failure{"BmpResourceShort", "Model/skin.bmp", true, resource("Model/skin", "BMP", cut(kBmp, 1)), "BMP Unit",
                "Unable to read from resource - {}"},
        Failure{"JpgResourceMissing", "Model/skin.jpg", true, none, "JPG Texture", "File not found in resource - {}"},
        Failure{"JpgResourceGarbage", "Model/skin.jpg", true, resource("Model/skin", "JPEG", "not a picture"),
                "BMP Unit", "Couldn't load JPG Resource - \"{}\""},
        Failure{"JpgMissing", "none.jpg", false, none, "BMP Unit", "Couldn't load JPG - \"{}\""},
        Failure{"JpgGarbage", "bad.JPG", false, file("bad.JPG", kBmp), "BMP Unit", "Couldn't load JPG - \"{}\""},
        Failure{"JpgTruncated", "cut.jpg", false,
                file("cut.jpg", encodeJpeg(gradient()).substr(0, encodeJpeg(gradient()).size() / 2)), "BMP Unit",
                "Couldn't load JPG - \"{}\""},
        Failure{"JpgClaimsHugeSize", "huge.jpg", false, file("huge.jpg", hugeClaimingJpeg()), "BMP Unit",
                "Couldn't load JPG - \"{}\""},
        Failure{"JpgTooWide", "w.jpg", false, file("w.jpg", encodeJpeg(filled(9000, 8, kRed))), "BMP Unit",
                "Couldn't load \"{}\". Image size 9000 x 8 not supported."},
        Failure{"TgaMissing", "none.tga", false, none, "TGA Texture", "File not found  - {}"},
        Failure{"TgaResourceMissing", "Model/skin.tga", true, none, "TGA Texture", "File not found in resource - {}"},
        Failure{"TgaResourceHeaderShort", "Model/skin.tga", true, resource("Model/skin", "TGA", kTga.substr(0, 17)),
                "BMP Unit", "Unable to read from resource - {}"},
        Failure{"TgaResourceDataShort", "Model/skin.tga", true, resource("Model/skin", "TGA", cut(kTga, 1)),
                "BMP Unit", "Unable to read from resource - {}"},
        Failure{"TgaRunLength", "r.tga", false, file("r.tga", patched(kTga, 2, 10, 1)), "TGA File Error",
                "Couldn't load \"{}\". Compressed TGA files not supported."},
        Failure{"TgaColorMappedType", "m.tga", false,
                file("m.tga", patched(patched(kTga, 2, 1, 1), 1, 1, 1)), "TGA File Error",
                "Couldn't load \"{}\". Compressed TGA files not supported."},
        Failure{"TgaColorMap", "n.tga", false, file("n.tga", patched(kTga, 1, 1, 1)), "TGA File Error",
                "Couldn't load \"{}\". Colormapped TGA files not supported."},
        Failure{"Tga16Bit", "s.tga", false, file("s.tga", patched(kTga, 16, 16, 1)), "TGA File Error",
                "Couldn't load \"{}\". Only 24 bit TGA files supported."},
        Failure{"Tga40Bit", "f.tga", false, file("f.tga", patched(kTga, 16, 40, 1)), "TGA File Error",
                "Couldn't load \"{}\". Only 24 bit TGA files supported."},
        Failure{"TgaNoPixels", "e.tga", false, file("e.tga", patched(kTga, 14, 0, 2)), "TGA File Error",
                "Couldn't load \"{}\". Image size 2 x 0 not supported."},
        Failure{"TgaDataShort", "t.tga", false, file("t.tga", cut(kTga, 1)), "TGA File Error",
                "Couldn't read file \"{}\"."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(TexturesTest, OtherExtensionsReachNoReader)
{
    dir.write("skin.jpeg", encodeJpeg(quad()));
    GLuint texture = 5;
    EXPECT_FALSE(TextureFromFile(dir.file("skin.jpeg"), texture, false));
    EXPECT_FALSE(TextureFromFile("bmp", texture, false));
    EXPECT_EQ(texture, 5u);
    EXPECT_TRUE(platform::RecordedMessages().empty());
}

TEST_F(TexturesTest, TargaWithUnreadableHeaderRaisesInOutError)
{
    dir.write("h.tga", kTga.substr(0, 10));
    GLuint texture = 5;
    EXPECT_THROW(TextureFromFile(dir.file("h.tga"), texture, false), platform::EInOutError);
    EXPECT_EQ(texture, 5u);
    EXPECT_TRUE(platform::RecordedMessages().empty());
}

TEST_F(TexturesTest, BitmapRowsLandBottomUpWhateverTheStoredOrder)
{
    dir.write("Up.BMP", kBmp);
    dir.write("down.bmp", topDownBmp(quad()));
    RegisterResource("Model/Skin", "bmp", bytesOf(kBmp));
    for (const Texels& t : {load(dir.file("up.bmp"), GL_RGB), load(dir.file("down.bmp"), GL_RGB),
                            load("model/skin.bmp", GL_RGB, true)}) {
        ASSERT_EQ(t.width, 2);
        EXPECT_EQ(t.at(0, 0), kBlue);
        EXPECT_EQ(t.at(1, 0), kWhite);
        EXPECT_EQ(t.at(0, 1), kRed);
        EXPECT_EQ(t.at(1, 1), kGreen);
    }
    // Linear filtering without mipmap selection, although the chain exists.
    GLint minFilter = 0, levelOneWidth = 0, envMode = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &levelOneWidth);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &envMode);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(levelOneWidth, 1);
    EXPECT_EQ(envMode, GL_MODULATE);
}

// Newer info headers, an offset left 0 and a gap before the pixel data all
// give the pixels of the classic file.
TEST_F(TexturesTest, BitmapPixelsStartWhereTheHeadersSay)
{
    std::string gap = kBmp;
    gap.insert(54, "junk!!");
    dir.write("108.bmp", withInfoHeader(kBmp, 108));
    dir.write("124.bmp", withInfoHeader(kBmp, 124));
    dir.write("zero.bmp", patched(kBmp, 10, 0));
    dir.write("gap.bmp", patched(gap, 10, 60));
    for (const char* name : {"108.bmp", "124.bmp", "zero.bmp", "gap.bmp"}) {
        const Texels t = load(dir.file(name), GL_RGB);
        EXPECT_EQ(t.at(0, 0), kBlue) << name;
        EXPECT_EQ(t.at(1, 0), kWhite) << name;
        EXPECT_EQ(t.at(0, 1), kRed) << name;
        EXPECT_EQ(t.at(1, 1), kGreen) << name;
    }
}

TEST_F(TexturesTest, BitmapWithPaddedRowsKeepsItsColours)
{
    // 30 pixels make 90-byte rows, stored padded to 92 bytes.
    const std::vector<uint8_t> colour{200, 100, 50};
    dir.write("a.bmp", encodeBmp24(filled(30, 3, colour)));
    dir.write("b.bmp", withPalette(patched(encodeBmp24(filled(30, 3, colour)), 34, 0), 2));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    for (const Texels& t : {load(dir.file("a.bmp"), GL_RGB), load(dir.file("b.bmp"), GL_RGB)}) {
        for (int y = 0; y < t.height; ++y)
            for (int x = 0; x < t.width; ++x)
                ASSERT_EQ(t.at(x, y), colour) << x << "," << y;
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

TEST_F(TexturesTest, TargaOriginAndIdentificationFieldAreHonoured)
{
    dir.write("a.tga", kTga);
    dir.write("b.tga", encodeTga(quad(), {.topLeftOrigin = true, .identification = "made by a test"}));
    for (const Texels& t : {load(dir.file("a.tga"), GL_RGB), load(dir.file("B.TGA"), GL_RGB)}) {
        EXPECT_EQ(t.at(0, 0), kBlue);
        EXPECT_EQ(t.at(1, 0), kWhite);
        EXPECT_EQ(t.at(0, 1), kRed);
        EXPECT_EQ(t.at(1, 1), kGreen);
    }
}

// The pixel data starts after the identification field, so a file that
// holds the field but not all its pixels is short, however long the field.
TEST_F(TexturesTest, TruncatedTargaWithIdentificationFieldIsShort)
{
    const std::string whole = encodeTga(quad(), {.identification = std::string(40, 'i')});
    for (size_t missing : {size_t(1), size_t(12), size_t(40)}) {
        platform::ClearRecordedMessages();
        dir.write("t.tga", cut(whole, missing));
        GLuint texture = 9;
        EXPECT_FALSE(TextureFromFile(dir.file("t.tga"), texture, false)) << missing;
        EXPECT_EQ(texture, 9u);
        ASSERT_EQ(platform::RecordedMessages().size(), 1u) << missing;
        EXPECT_EQ(platform::RecordedMessages()[0].text, "Couldn't read file \"" + dir.file("t.tga") + "\".");
    }
}

TEST_F(TexturesTest, ThirtyTwoBitTargaKeepsItsAlpha)
{
    dir.write("a.tga", encodeTga(quad(4)));
    const Texels t = load(dir.file("a.tga"), GL_RGBA);
    EXPECT_EQ(t.at(0, 0), (std::vector<uint8_t>{0, 0, 255, 30}));
    EXPECT_EQ(t.at(1, 0), (std::vector<uint8_t>{255, 255, 255, 40}));
    EXPECT_EQ(t.at(0, 1), (std::vector<uint8_t>{255, 0, 0, 10}));
    EXPECT_EQ(t.at(1, 1), (std::vector<uint8_t>{0, 255, 0, 20}));
}

TEST_F(TexturesTest, JpegBecomesOpaqueRgbaBottomRowFirst)
{
    Image picture = filled(16, 16, kBlue);
    for (size_t i = 0; i < picture.pixels.size() / 2; i += 3) // top half red
        picture.pixels[i] = 255, picture.pixels[i + 2] = 0;
    dir.write("pic.jpg", encodeJpeg(picture));
    RegisterResource("Model/pic", "JPEG", bytesOf(encodeJpeg(picture)));
    for (const Texels& t : {load(dir.file("pic.jpg"), GL_RGBA), load("Model/pic.jpg", GL_RGBA, true)}) {
        ASSERT_EQ(t.width, 16);
        for (size_t i = 3; i < t.bytes.size(); i += 4)
            ASSERT_EQ(t.bytes[i], 255);
        EXPECT_LT(t.at(3, 2)[0], 30);
        EXPECT_GT(t.at(3, 2)[2], 225);
        EXPECT_GT(t.at(3, 13)[0], 225);
        EXPECT_LT(t.at(3, 13)[2], 30);
    }
}

platform::PngLayout pngLayout(int width, int height)
{
    platform::PngLayout layout;
    layout.width = width;
    layout.height = height;
    return layout;
}

// libjpeg makes up what a file lacks; the decoder must not hand that out as
// a picture, nor allocate for pixels the file cannot hold.
TEST(JpegDecoding, RefusesPicturesItsDataCannotHold)
{
    testsupport::ResetLargestAllocation();
    EXPECT_EQ(DecodeJpeg(bytesOf(hugeClaimingJpeg())).fault, ImageFault::NotDecodable);
    EXPECT_LT(testsupport::LargestAllocation(), 64u << 20);

    // A flat colour takes a byte for 64 pixels; it still passes.
    EXPECT_EQ(DecodeJpeg(bytesOf(encodeJpeg(filled(2048, 2048, kGreen)))).fault, ImageFault::None);
}

// Every prefix and a series of corrupted copies of valid files decode to a
// fault or a picture of the size its header claims, never past the data.
TEST(ImageDecoders, SurviveTruncatedAndCorruptedData)
{
    const Image picture = filled(5, 3, kGreen);
    const testsupport::Tga runLength{.type = 10, .width = 5, .height = 3, .data = {0x8E, 0, 255, 0}};
    const std::vector<uint8_t> files[] = {
        bytesOf(encodeBmp24(picture)), bytesOf(encodeTga(picture)), bytesOf(encodeJpeg(picture)), runLength.bytes(),
        platform::EncodePng(pngLayout(5, 3), picture.pixels)};
    // What may be missing from the end without losing pixels: a JPEG's end
    // marker, a PNG's IEND chunk.
    const size_t trailer[] = {0, 0, 2, 0, 12};
    auto decode = [](size_t kind, std::span<const uint8_t> bytes) {
        switch (kind) {
        case 0:
            return DecodeBitmap(bytes);
        case 1:
            return DecodeTarga(bytes);
        case 2:
            return DecodeJpeg(bytes);
        case 3:
            return DecodeGameTarga(bytes);
        default:
            return DecodePng(bytes);
        }
    };
    uint32_t seed = 1;
    for (size_t kind = 0; kind < std::size(files); ++kind) {
        const std::vector<uint8_t>& whole = files[kind];
        EXPECT_EQ(decode(kind, whole).fault, ImageFault::None);
        for (size_t size = 0; size + trailer[kind] < whole.size(); ++size) {
            DecodedImage image = decode(kind, std::span(whole).first(size));
            ASSERT_NE(image.fault, ImageFault::None) << kind << " " << size;
        }
        for (int round = 0; round < 200; ++round) {
            std::vector<uint8_t> bytes = whole;
            for (int flips = 0; flips < 4; ++flips) {
                seed = seed * 134775813 + 1;
                bytes[seed % bytes.size()] ^= static_cast<uint8_t>(seed >> 24 | 1);
            }
            DecodedImage image = decode(kind, bytes);
            if (image.fault == ImageFault::None) {
                ASSERT_EQ(image.pixels.size(),
                          static_cast<size_t>(image.width * image.height * (image.format == GL_RGBA ? 4 : 3)));
            }
        }
    }
}

} // namespace
