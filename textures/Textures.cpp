// Image files to GL textures: picking the reader, telling the user what
// went wrong, and making the texture.
#include "Textures.h"

#include "DecoderSupport.h"
#include "ImageMemory.h"
#include "Resources.h"

#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"
#include "platform/system/System.h"

#include <GL/glu.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <unordered_map>

namespace {

using decoding::Rules;

constexpr const char* kBmpUnit = "BMP Unit";
constexpr const char* kBmpTexture = "BMP Texture";
constexpr const char* kJpgTexture = "JPG Texture";
constexpr const char* kTgaTexture = "TGA Texture";
constexpr const char* kTgaFileError = "TGA File Error";
constexpr const char* kPngTexture = "PNG Texture";
constexpr const char* kTexture = "Texture";

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The one place image files are read: nothing when the file does not exist
// (found by its exact name or ignoring letter case); throws EInOutError when
// it exists but cannot be read.
std::optional<std::vector<uint8_t>> fileBytes(const std::string& fileName)
{
    if (!platform::files::FileExists(fileName))
        return std::nullopt;
    return platform::files::ReadFileBytes(fileName);
}

// The bytes of an image: the file, or the resource of the given type named
// after the file name up to its first ".". Nothing when it is missing; throws
// as fileBytes.
std::optional<std::vector<uint8_t>> imageBytes(const std::string& fileName, bool fromResource, const char* type)
{
    if (!fromResource)
        return fileBytes(fileName);
    const std::vector<uint8_t>* resource = FindResource(fileName.substr(0, fileName.find('.')), type);
    return resource ? std::optional(*resource) : std::nullopt;
}

// As fileBytes, but a file that cannot be read counts as missing.
std::optional<std::vector<uint8_t>> readableBytes(const std::string& fileName, bool fromResource, const char* type)
{
    try {
        return imageBytes(fileName, fromResource, type);
    } catch (const platform::EInOutError&) {
        return std::nullopt;
    }
}

ImageFile failed(std::string text, const char* caption)
{
    ImageFile file;
    file.failure = ImageMessage{std::move(text), caption};
    return file;
}

ImageFile notInResource(const std::string& fileName, const char* caption)
{
    return failed("File not found in resource - " + fileName, caption);
}

ImageFile sizeFailure(const std::string& fileName, const DecodedImage& image, const char* caption)
{
    return failed("Couldn't load " + quoted(fileName) + ". Image size " + std::to_string(image.width) + " x " +
                      std::to_string(image.height) + " not supported.",
                  caption);
}

ImageFile memoryFailure(const std::string& fileName, const DecodedImage& image, const char* caption)
{
    return failed("Couldn't load " + quoted(fileName) + " (" + std::to_string(image.width) + " x " +
                      std::to_string(image.height) + " pixels): the images held would take more than the " +
                      std::to_string(ImageMemoryLimit() >> 20) +
                      " MB of image memory a run may hold (--image-memory).",
                  caption);
}

// The image memory each texture of MakeImageTexture holds.
std::unordered_map<GLuint, uint64_t>& heldTextures()
{
    static std::unordered_map<GLuint, uint64_t> textures;
    return textures;
}

ImageFile decoded(DecodedImage image)
{
    ImageFile file;
    file.image = std::move(image);
    return file;
}

ImageFile readBitmap(const std::string& fileName, bool fromResource)
{
    const std::optional<std::vector<uint8_t>> bytes = readableBytes(fileName, fromResource, "BMP");
    if (!bytes)
        return fromResource ? notInResource(fileName, kBmpTexture) : failed("Error opening " + fileName, kBmpUnit);

    DecodedImage image = DecodeBitmap(*bytes);
    const std::string unreadable = "Unable to read from resource - " + fileName;
    const std::string couldNotLoad = "Couldn't load " + quoted(fileName);
    switch (image.fault) {
    case ImageFault::None:
        return decoded(std::move(image));
    case ImageFault::PaletteShort:
        return failed(fromResource ? unreadable : "Error reading palette", kBmpUnit);
    case ImageFault::FormatUnsupported:
        return failed(couldNotLoad + ". Only uncompressed 24 bit bitmaps supported.", kBmpUnit);
    case ImageFault::HeaderUnsupported:
        return failed(couldNotLoad + ". Only bitmap info headers of 40, 108 or 124 bytes supported.", kBmpUnit);
    case ImageFault::SizeUnsupported:
        return sizeFailure(fileName, image, kBmpUnit);
    case ImageFault::OverMemoryLimit:
        return memoryFailure(fileName, image, kBmpUnit);
    default:
        // The headers or the pixel data are short.
        return failed(fromResource ? unreadable : "Error reading bitmap data", kBmpUnit);
    }
}

ImageFile readJpeg(const std::string& fileName, bool fromResource)
{
    const std::string unloadable =
        fromResource ? "Couldn't load JPG Resource - " + quoted(fileName) : "Couldn't load JPG - " + quoted(fileName);
    const std::optional<std::vector<uint8_t>> bytes = readableBytes(fileName, fromResource, "JPEG");
    if (!bytes)
        return fromResource ? notInResource(fileName, kJpgTexture) : failed(unloadable, kBmpUnit);

    DecodedImage image = DecodeJpeg(*bytes);
    if (image.fault == ImageFault::None)
        return decoded(std::move(image));
    if (image.fault == ImageFault::SizeUnsupported)
        return sizeFailure(fileName, image, kBmpUnit);
    if (image.fault == ImageFault::OverMemoryLimit)
        return memoryFailure(fileName, image, kBmpUnit);
    return failed(unloadable, kBmpUnit);
}

ImageFile readPng(const std::string& fileName)
{
    const std::string unloadable = "Couldn't load PNG - " + quoted(fileName);
    const std::optional<std::vector<uint8_t>> bytes = readableBytes(fileName, false, "PNG");
    if (!bytes)
        return failed(unloadable, kPngTexture);

    DecodedImage image = DecodePng(*bytes);
    if (image.fault == ImageFault::None)
        return decoded(std::move(image));
    if (image.fault == ImageFault::SizeUnsupported)
        return sizeFailure(fileName, image, kPngTexture);
    if (image.fault == ImageFault::OverMemoryLimit)
        return memoryFailure(fileName, image, kPngTexture);
    return failed(unloadable, kPngTexture);
}

// What a Targa the game's rules refuse is refused for, after the name.
const char* gameTargaReason(ImageFault fault)
{
    switch (fault) {
    case ImageFault::TypeUnsupported:
        return ". Unknown TGA image type.";
    case ImageFault::DepthUnsupported:
        return ". TGA pixel depth not supported for its image type.";
    case ImageFault::ColorMapUnsupported:
        return ". TGA color map not supported.";
    case ImageFault::ColorIndexOutOfRange:
        return ". TGA color index outside the color map.";
    default:
        return nullptr;
    }
}

ImageFile targaFailure(const std::string& fileName, const DecodedImage& image, bool fromResource, Rules rules)
{
    const std::string couldNotLoad = "Couldn't load " + quoted(fileName);
    const std::string unreadable = "Unable to read from resource - " + fileName;
    switch (image.fault) {
    case ImageFault::HeaderShort:
        if (fromResource)
            return failed(unreadable, kBmpUnit);
        if (rules == Rules::Viewer)
            throw platform::EInOutError("Read beyond end of file " + quoted(fileName));
        break; // as short pixel data
    case ImageFault::Compressed:
        return failed(couldNotLoad + ". Compressed TGA files not supported.", kTgaFileError);
    case ImageFault::ColorMapped:
        return failed(couldNotLoad + ". Colormapped TGA files not supported.", kTgaFileError);
    case ImageFault::DepthUnsupported:
        if (rules == Rules::Viewer)
            return failed(couldNotLoad + ". Only 24 bit TGA files supported.", kTgaFileError);
        break;
    case ImageFault::SizeUnsupported:
        return sizeFailure(fileName, image, kTgaFileError);
    case ImageFault::OverMemoryLimit:
        return memoryFailure(fileName, image, kTgaFileError);
    default:
        break;
    }
    if (const char* reason = gameTargaReason(image.fault))
        return failed(couldNotLoad + reason, kTgaFileError);
    // The data is short.
    if (fromResource)
        return failed(unreadable, kBmpUnit);
    return failed("Couldn't read file " + quoted(fileName) + ".", kTgaFileError);
}

ImageFile readTarga(const std::string& fileName, bool fromResource, Rules rules)
{
    std::optional<std::vector<uint8_t>> bytes;
    try {
        bytes = imageBytes(fileName, fromResource, "TGA");
    } catch (const platform::EInOutError&) {
        // Under the viewer's rules a file that exists but cannot be read is an
        // input/output error for the caller, not a message.
        if (rules == Rules::Viewer)
            throw;
        return failed("Couldn't read file " + quoted(fileName) + ".", kTgaFileError);
    }
    if (!bytes)
        return fromResource ? notInResource(fileName, kTgaTexture)
                            : failed("File not found  - " + fileName, kTgaTexture);

    DecodedImage image = decoding::decodeTarga(*bytes, rules);
    ImageFile file = image.fault == ImageFault::None ? decoded(std::move(image))
                                                     : targaFailure(fileName, image, fromResource, rules);
    if (rules == Rules::Game)
        file.targa = ReadTargaAsGame(*bytes);
    return file;
}

// The texture of a read image, or its message shown.
bool finishTexture(const ImageFile& file, GLuint& texture)
{
    if (file.failure) {
        platform::ShowMessage(file.failure->text, file.failure->caption);
        return false;
    }
    texture = MakeImageTexture(file.image);
    return true;
}

} // namespace

namespace {

ImageFile readImageFile(const std::string& fileName, Rules rules)
{
    const std::string upper = platform::UpperCase(fileName);
    const bool game = rules == Rules::Game;
    if (endsWith(upper, ".BMP"))
        return readBitmap(fileName, false);
    if (endsWith(upper, ".JPG") || (game && endsWith(upper, ".JPEG")))
        return readJpeg(fileName, false);
    if (endsWith(upper, ".TGA"))
        return readTarga(fileName, false, rules);
    if (game && endsWith(upper, ".PNG"))
        return readPng(fileName);
    return failed("Couldn't load " + quoted(fileName) + ". Unknown image type.", kTexture);
}

} // namespace

ImageFile ReadImageFile(const std::string& fileName) { return readImageFile(fileName, Rules::Viewer); }

ImageFile ReadGameImageFile(const std::string& fileName) { return readImageFile(fileName, Rules::Game); }

GLuint MakeImageTexture(const DecodedImage& image)
{
    const GLuint texture = MakeGLTexture(static_cast<uint16_t>(image.width), static_cast<uint16_t>(image.height),
                                         image.format, image.pixels.data());
    const uint64_t bytes = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height) * kImageBytesPerPixel;
    // A name handed out again was deleted without FreeImageTextures.
    ReleaseImageMemory(heldTextures()[texture]);
    heldTextures()[texture] = bytes;
    HoldImageMemory(bytes);
    return texture;
}

void FreeImageTextures(std::span<const GLuint> textures)
{
    for (const GLuint texture : textures) {
        if (auto held = heldTextures().find(texture); held != heldTextures().end()) {
            ReleaseImageMemory(held->second);
            heldTextures().erase(held);
        }
    }
    if (!textures.empty())
        glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
}

bool LoadImageTexture(const std::string& fileName, GLuint& texture)
{
    return finishTexture(ReadImageFile(fileName), texture);
}

bool LoadGameImageTexture(const std::string& fileName, GLuint& texture)
{
    return finishTexture(ReadGameImageFile(fileName), texture);
}

bool TextureFromFile(const std::string& fileName, GLuint& texture, bool fromResource)
{
    const std::string upper = platform::UpperCase(fileName);
    if (endsWith(upper, ".BMP"))
        return ReadBitmapTexture(fileName, texture, fromResource);
    if (endsWith(upper, ".JPG"))
        return ReadJpegTexture(fileName, texture, fromResource);
    if (endsWith(upper, ".TGA"))
        return ReadTargaTexture(fileName, texture, fromResource);
    return false;
}

bool ReadBitmapTexture(const std::string& fileName, GLuint& texture, bool fromResource)
{
    return finishTexture(readBitmap(fileName, fromResource), texture);
}

bool ReadJpegTexture(const std::string& fileName, GLuint& texture, bool fromResource)
{
    return finishTexture(readJpeg(fileName, fromResource), texture);
}

bool ReadTargaTexture(const std::string& fileName, GLuint& texture, bool fromResource)
{
    return finishTexture(readTarga(fileName, fromResource, Rules::Viewer), texture);
}

GLuint MakeGLTexture(uint16_t width, uint16_t height, GLenum format, const void* pixels)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // Plain linear minifying although the mipmap chain is built.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);

    // The pixels are tightly packed: an RGB row of a width that is not a
    // multiple of 4 would be misread under the default 4-byte alignment. The
    // caller's unpack state is restored afterwards.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    if (format == GL_RGBA)
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    else
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    glPopClientAttrib();
    return name;
}

void SwapRedBlue(void* pixels, int32_t count)
{
    auto* bytes = static_cast<uint8_t*>(pixels);
    for (size_t i = 0; i < static_cast<size_t>(std::max(count, 0)); ++i)
        std::swap(bytes[i * 3], bytes[i * 3 + 2]);
}
