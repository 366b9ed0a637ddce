#include "RasterTestUtil.h"

#include "OpglLib/OpglTexture.h"
#include "support/HeadlessGL.h"

#include <vector>

using platform::Bitmap;
using platform::PixelFormat;
using rastertest::paintedBitmap;
using rastertest::rgb;

namespace {

class Texturer : public rastertest::RasterUnits {
protected:
    void SetUp() override
    {
        RasterUnits::SetUp();
        OpglTextureInitialization();
    }
    void TearDown() override
    {
        OpglTextureFinalization();
        RasterUnits::TearDown();
    }

    TGLTexturer& texturer() { return *TGLTexturer::Instance(); }

    testsupport::HeadlessGL gl;
};

GLint levelParameter(GLint level, GLenum name)
{
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

GLint textureParameter(GLenum name)
{
    GLint value = -1;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

} // namespace

TEST_F(Texturer, BitmapBecomesAPowerOfTwoMipmappedTexture)
{
    Bitmap bitmap(100, 60, PixelFormat::Bits8);
    TGLTexture texture;
    ASSERT_TRUE(texturer().TextureFromBitmap(&bitmap, "EngMask", texture));
    EXPECT_NE(texture.GLName, 0u);
    EXPECT_EQ(texture.ClassName, "TBitmap");
    EXPECT_EQ(texture.TextureName, "EngMask");
    EXPECT_EQ(texture.Width, 128);
    EXPECT_EQ(texture.Height, 64);
    EXPECT_EQ(bitmap.Width(), 128); // the caller's bitmap is changed in place
    EXPECT_EQ(bitmap.Height(), 64);
    EXPECT_EQ(bitmap.Format(), PixelFormat::Bits24);

    glBindTexture(GL_TEXTURE_2D, texture.GLName);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 128);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_HEIGHT), 64);
    EXPECT_EQ(levelParameter(1, GL_TEXTURE_WIDTH), 64); // mipmaps were built
    EXPECT_EQ(textureParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    EXPECT_EQ(textureParameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    texturer().ReleaseTexture(texture);
}

TEST_F(Texturer, PackedRowsArriveIntactAndTheUnpackStateIsRestored)
{
    // Rows of 2 RGB pixels are 6 bytes: read with the default 4-byte
    // alignment the second row would start two bytes late.
    Bitmap bitmap = paintedBitmap(2, 2, [](int x, int y) { return rgb(10 + x, 20 + y, 30 + 2 * x + y); });
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    TGLTexture texture;
    ASSERT_TRUE(texturer().TextureFromBitmap(&bitmap, "Eng", texture));
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);

    std::vector<uint8_t> texels(12, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_2D, texture.GLName);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    // Bottom image row first.
    EXPECT_EQ(texels, (std::vector<uint8_t>{10, 21, 31, 11, 21, 33, 10, 20, 30, 11, 20, 32}));
    texturer().ReleaseTexture(texture);
}

TEST_F(Texturer, EmptyBitmapLeavesTheRecordAndReleaseClearsIt)
{
    TGLTexture texture{"TBitmap", 8, 4, "Cht", 0};
    Bitmap empty;
    EXPECT_FALSE(texturer().TextureFromBitmap(&empty, "Other", texture));
    EXPECT_FALSE(texturer().TextureFromBitmap(nullptr, "Other", texture));
    EXPECT_EQ(texture.TextureName, "Cht");
    EXPECT_EQ(texture.Width, 8);

    texturer().ReleaseTexture(texture); // holds no texture: only cleared
    EXPECT_EQ(texture.ClassName, "");
    EXPECT_EQ(texture.TextureName, "");
    EXPECT_EQ(texture.Width, 0);
    EXPECT_EQ(texture.Height, 0);

    Bitmap bitmap(4, 4);
    ASSERT_TRUE(texturer().TextureFromBitmap(&bitmap, "Eng", texture));
    GLuint name = texture.GLName;
    texturer().ReleaseTexture(texture);
    EXPECT_EQ(texture.GLName, 0u);
    EXPECT_FALSE(glIsTexture(name));
}

TEST_F(Texturer, ReleaseDeletesTheTexturesOfItsOwnList)
{
    Bitmap bitmap(4, 4);
    auto owned = std::make_unique<TGLTexture>();
    ASSERT_TRUE(texturer().TextureFromBitmap(&bitmap, "Owned", *owned));
    const GLuint name = owned->GLName;
    texturer().TextureList->push_back(std::move(owned));
    glBindTexture(GL_TEXTURE_2D, 0);
    ASSERT_TRUE(glIsTexture(name));
    OpglTextureFinalization();
    EXPECT_EQ(TGLTexturer::Instance(), nullptr);
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(platform::IniFile(sandbox.settingsPath()).ReadString("TGLTexturer", "mGLTexturer", "-"), "0");
    OpglTextureInitialization(); // for TearDown
}
