#include "TargaBytes.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/images/PngFile.h"
#include "support/HeadlessGL.h"
#include "support/TempDir.h"
#include "textures/Textures.h"
#include "tools/writers/ImageWriters.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace {

using testsupport::Bytes;
using testsupport::Tga;

std::string textOf(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

// 2 x 2, bottom row blue, top row red, as run-length Targa, RGBA PNG (alpha
// 50 in the blue row), bitmap with a 124-byte info header; and a 16 x 16 JPEG
// of blue below red (smaller ones blend the colours).
const Tga kRunLengthTga{.type = 10, .data = {0x81, 255, 0, 0, 0x81, 0, 0, 255}};

std::string twoRowPng()
{
    platform::PngLayout layout;
    layout.width = layout.height = 2;
    layout.colorType = platform::PngColorType::Rgba;
    return textOf(platform::EncodePng(layout, Bytes{255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 50, 0, 0, 255, 50}));
}

// side x side, top half red, bottom half blue.
writers::Image twoRows(int side = 2)
{
    writers::Image image(side, side, 3);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.at(x, y)[y < side / 2 ? 0 : 2] = 255;
    return image;
}

std::string bitmap124()
{
    std::string bmp = writers::encodeBmp24(twoRows());
    bmp.insert(54, std::string(84, '\0'));
    bmp[14] = 124;
    bmp[10] = 14 + 124;
    return bmp;
}

class ImageFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platform::SetNonInteractive(true);
        gl = std::make_unique<testsupport::HeadlessGL>(32, 32);
    }
    static void TearDownTestSuite() { gl.reset(); }
    void SetUp() override { platform::ClearRecordedMessages(); }

    static inline std::unique_ptr<testsupport::HeadlessGL> gl;
    testsupport::TempDir dir;
};

// Each becomes a texture with blue at the bottom left and red at the top left.
TEST_F(ImageFileTest, GameRulesMakeTexturesOfEveryImageTheGameReads)
{
    dir.write("a.tga", textOf(kRunLengthTga.bytes()));
    dir.write("b.PNG", twoRowPng());
    dir.write("c.Bmp", bitmap124());
    dir.write("d.jpeg", writers::encodeJpeg(twoRows(16)));
    dir.write("e.JPG", writers::encodeJpeg(twoRows(16)));
    for (const std::string name : {"a.tga", "b.PNG", "c.Bmp", "d.jpeg", "e.JPG"}) {
        GLuint texture = 0;
        ASSERT_TRUE(LoadGameImageTexture(dir.file(name), texture)) << name;
        GLint side = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &side);
        Bytes texels(static_cast<size_t>(side * side * 4));
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        const uint8_t* bottomLeft = texels.data();
        const uint8_t* topLeft = texels.data() + (side - 1) * side * 4;
        EXPECT_LT(bottomLeft[0], 30) << name;
        EXPECT_GT(bottomLeft[2], 225) << name;
        EXPECT_EQ(bottomLeft[3], name == "b.PNG" ? 50 : 255) << name;
        EXPECT_GT(topLeft[0], 225) << name;
        EXPECT_LT(topLeft[2], 30) << name;
    }
    EXPECT_TRUE(platform::RecordedMessages().empty());
}

TEST_F(ImageFileTest, ViewerRulesReadOnlyWhatTheViewerReads)
{
    dir.write("a.tga", textOf(kRunLengthTga.bytes()));
    dir.write("b.png", twoRowPng());
    dir.write("d.jpeg", writers::encodeJpeg(twoRows()));
    dir.write("e.jpg", writers::encodeJpeg(twoRows()));
    dir.write("h.tga", "short");
    for (const char* name : {"b.png", "d.jpeg"}) {
        const ImageFile file = ReadImageFile(dir.file(name));
        ASSERT_TRUE(file.failure);
        EXPECT_EQ(file.failure->text, "Couldn't load \"" + dir.file(name) + "\". Unknown image type.");
        EXPECT_EQ(file.failure->caption, "Texture");
    }
    const ImageFile targa = ReadImageFile(dir.file("a.tga"));
    ASSERT_TRUE(targa.failure);
    EXPECT_EQ(targa.failure->text, "Couldn't load \"" + dir.file("a.tga") + "\". Compressed TGA files not supported.");
    EXPECT_FALSE(ReadImageFile(dir.file("e.jpg")).failure);
    EXPECT_THROW(ReadImageFile(dir.file("h.tga")), platform::EInOutError);
    EXPECT_TRUE(platform::RecordedMessages().empty());
}

// A file under the game's rules (nothing: not written), and the one message
// LoadImageTexture shows for it; "{}" stands for the name.
struct GameFailure {
    const char* label;
    const char* name;
    std::optional<std::string> bytes;
    const char* caption;
    const char* text;
};

void PrintTo(const GameFailure& value, std::ostream* out) { *out << value.label; }

class GameImageFailure : public ImageFileTest, public ::testing::WithParamInterface<GameFailure> {};

TEST_P(GameImageFailure, ShowsItsMessageAndKeepsTheTexture)
{
    const GameFailure& f = GetParam();
    if (f.bytes)
        dir.write(f.name, *f.bytes);
    std::string text = f.text;
    text.replace(text.find("{}"), 2, dir.file(f.name));
    GLuint texture = 777;
    EXPECT_FALSE(LoadGameImageTexture(dir.file(f.name), texture));
    EXPECT_EQ(texture, 777u);
    ASSERT_EQ(platform::RecordedMessages().size(), 1u);
    EXPECT_EQ(platform::RecordedMessages()[0].caption, f.caption);
    EXPECT_EQ(platform::RecordedMessages()[0].text, text);
}

std::string tga(const Tga& file) { return textOf(file.bytes()); }

constexpr auto kNone = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Table, GameImageFailure,
    ::testing::Values(
        GameFailure{"PngMissing", "none.png", kNone, "PNG Texture", "Couldn't load PNG - \"{}\""},
        GameFailure{"PngGarbage", "bad.png", "GIF89a", "PNG Texture", "Couldn't load PNG - \"{}\""},
        GameFailure{"JpegMissing", "none.jpeg", kNone, "BMP Unit", "Couldn't load JPG - \"{}\""},
        GameFailure{"BmpMissing", "none.bmp", kNone, "BMP Unit", "Error opening {}"},
        GameFailure{"TgaMissing", "none.tga", kNone, "TGA Texture", "File not found  - {}"},
        GameFailure{"TgaHeaderShort", "h.tga", "short", "TGA File Error", "Couldn't read file \"{}\"."},
        GameFailure{"TgaDataShort", "d.tga", tga({.type = 3, .depth = 8, .data = {1, 2, 3}}), "TGA File Error",
                    "Couldn't read file \"{}\"."},
        GameFailure{"TgaUnknownType", "u.tga", tga({.type = 32, .depth = 8, .data = {1, 2, 3, 4}}),
                    "TGA File Error", "Couldn't load \"{}\". Unknown TGA image type."},
        GameFailure{"TgaDepth", "p.tga", tga({.type = 3, .depth = 15, .data = {1, 2, 3, 4}}), "TGA File Error",
                    "Couldn't load \"{}\". TGA pixel depth not supported for its image type."},
        GameFailure{"TgaNoColorMap", "m.tga", tga({.type = 1, .depth = 8, .data = {1, 2, 3, 4}}), "TGA File Error",
                    "Couldn't load \"{}\". TGA color map not supported."},
        GameFailure{"TgaIndexOutsideMap", "i.tga",
                    tga({.type = 1, .depth = 8, .mapType = 1, .mapLength = 1, .mapBits = 24, .map = {1, 2, 3},
                         .data = {0, 0, 0, 1}}),
                    "TGA File Error", "Couldn't load \"{}\". TGA color index outside the color map."},
        GameFailure{"UnknownExtension", "skin.gif", "GIF89a", "Texture", "Couldn't load \"{}\". Unknown image type."},
        GameFailure{"NoExtension", "skin", kNone, "Texture", "Couldn't load \"{}\". Unknown image type."}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
