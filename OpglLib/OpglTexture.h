#pragma once
// Makes OpenGL textures from in-memory bitmaps and deletes them again. Every
// texture made here gets the manager's filter and extra parameter, and
// mipmaps. Needs the window's rendering context to be current.
#include "OpglLib/base/Component.h"
#include "platform/images/Bitmap.h"

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A texture made from a bitmap. Owned by the caller; the manager fills and
// clears it.
struct TGLTexture {
    std::string ClassName;   // class name of the source bitmap object
    int32_t Width = 0;       // of the uploaded image, in pixels
    int32_t Height = 0;
    std::string TextureName; // the name the caller gave the texture
    GLuint GLName = 0;       // 0 when the record holds no texture
};

using TGLTextureList = std::vector<std::unique_ptr<TGLTexture>>;

class TGLTexturer : public TComponent<TGLTexturer> {
public:
    static constexpr const char* kClassName = "TGLTexturer";
    static constexpr const char* kUnitName = "OpglTexture";
    static constexpr bool kRegistersUnit = true;

    GLenum MagFilter = 0;
    GLenum MinFilter = 0;
    GLenum ExtraParam = 0; // a texture parameter name ...
    GLenum ExtraValue = 0; // ... and the value it gets
    // Records owned by the manager; their textures are deleted at release.
    std::unique_ptr<TGLTextureList> TextureList;

    // Makes an RGB texture with mipmaps from the whole bitmap and fills the
    // record. The bitmap is first resampled in place to power-of-two sides and
    // set to 24 bits per pixel. False, with the record untouched, for a missing
    // or empty bitmap; false also when the conversion or the GL fails (any
    // error is absorbed).
    bool TextureFromBitmap(platform::Bitmap* bitmap, const std::string& textureName, TGLTexture& texture);
    // Deletes the record's texture and clears the record.
    void ReleaseTexture(TGLTexture& texture);

protected:
    void PreCreateHook() override;
    void InitDefaults() override;
    void CleanupHook() override;
};

void OpglTextureInitialization();
void OpglTextureFinalization();
