#include "OpglTexture.h"

#include "raster/RasManage.h"

#include <GL/glu.h>

#include <exception>

namespace {

// Unpacks the tightly packed RGB rows of a raster buffer: rows of 3 * width
// bytes are not 4-byte aligned, so the unpack state is set for the upload
// and the caller's state is put back afterwards.
class PackedRowsUnpack {
public:
    PackedRowsUnpack()
    {
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
        glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    }
    ~PackedRowsUnpack() { glPopClientAttrib(); }
    PackedRowsUnpack(const PackedRowsUnpack&) = delete;
    PackedRowsUnpack& operator=(const PackedRowsUnpack&) = delete;
};

// Frees the raster buffer on every way out of the upload.
class ImageGuard {
public:
    ImageGuard(const TRasManager& manager, TRasImage& image) : manager_(manager), image_(image) {}
    ~ImageGuard() { manager_.FreeImage(image_); }
    ImageGuard(const ImageGuard&) = delete;
    ImageGuard& operator=(const ImageGuard&) = delete;

private:
    const TRasManager& manager_;
    TRasImage& image_;
};

void clearRecord(TGLTexture& texture) { texture = TGLTexture{}; }

} // namespace

void TGLTexturer::PreCreateHook() { TextureList = std::make_unique<TGLTextureList>(); }

void TGLTexturer::InitDefaults()
{
    MagFilter = GL_LINEAR;
    MinFilter = GL_LINEAR_MIPMAP_NEAREST;
    ExtraParam = GL_TEXTURE_WRAP_S;
    ExtraValue = GL_REPEAT;
}

void TGLTexturer::CleanupHook()
{
    if (!TextureList)
        return;
    for (const std::unique_ptr<TGLTexture>& texture : *TextureList)
        if (texture && texture->GLName != 0)
            glDeleteTextures(1, &texture->GLName);
    TextureList.reset();
}

bool TGLTexturer::TextureFromBitmap(platform::Bitmap* bitmap, const std::string& textureName, TGLTexture& texture)
{
    if (!bitmap || bitmap->Empty())
        return false;
    const TRasManager* manager = TRasManager::Instance();
    if (!manager)
        return false;
    TRasImage image;
    ImageGuard freeImage(*manager, image);
    try {
        manager->AllocImage(image, bitmap->Width(), bitmap->Height(), kRasImageRGB);
        if (!manager->BitmapToImage(bitmap, image))
            return false;
        clearRecord(texture);
        texture.ClassName = bitmap->ClassName();
        texture.Width = image.Width;
        texture.Height = image.Height;
        texture.TextureName = textureName;
        glGenTextures(1, &texture.GLName);
        if (texture.GLName == 0)
            return false;
        PackedRowsUnpack unpack;
        glBindTexture(GL_TEXTURE_2D, texture.GLName);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, image.Width, image.Height, 0, GL_RGB, GL_UNSIGNED_BYTE, image.Data.data());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(MagFilter));
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(MinFilter));
        glTexParameteri(GL_TEXTURE_2D, ExtraParam, static_cast<GLint>(ExtraValue));
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image.Width, image.Height, GL_RGB, GL_UNSIGNED_BYTE, image.Data.data());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void TGLTexturer::ReleaseTexture(TGLTexture& texture)
{
    // Deleting name 0 does nothing in the GL; skipping it also keeps a
    // cleared record safe to release without a current context.
    if (texture.GLName != 0)
        glDeleteTextures(1, &texture.GLName);
    clearRecord(texture);
}

void OpglTextureInitialization() { TGLTexturer::Create(); }

void OpglTextureFinalization()
{
    if (TGLTexturer* texturer = TGLTexturer::Instance())
        texturer->Free();
}
