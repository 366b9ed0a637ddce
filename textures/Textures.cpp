// Image files to GL textures: picking the reader, telling the user what
// went wrong, and making the texture.
#include "Textures.h"

#include "Resources.h"

#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/FileLayer.h"
#include "platform/System.h"

#include <GL/glu.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

namespace {

constexpr const char* kBmpUnit = "BMP Unit";
constexpr const char* kBmpTexture = "BMP Texture";
constexpr const char* kJpgTexture = "JPG Texture";
constexpr const char* kTgaTexture = "TGA Texture";
constexpr const char* kTgaFileError = "TGA File Error";

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string upperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A whole file, found by its exact name or ignoring letter case; nothing when
// it does not exist or cannot be read.
std::optional<std::vector<uint8_t>> readImageFile(const std::string& fileName)
{
    if (!platform::files::FileExists(fileName))
        return std::nullopt;
    try {
        return platform::files::ReadFileBytes(fileName);
    } catch (const platform::EInOutError&) {
        return std::nullopt;
    }
}

// Resources are named after the file name up to its first ".".
const std::vector<uint8_t>* findImageResource(const std::string& fileName, const char* type)
{
    return FindResource(fileName.substr(0, fileName.find('.')), type);
}

std::string sizeMessage(const std::string& fileName, const DecodedImage& image)
{
    return "Couldn't load " + quoted(fileName) + ". Image size " + std::to_string(image.width) + " x " +
           std::to_string(image.height) + " not supported.";
}

bool storeTexture(const DecodedImage& image, GLuint& texture)
{
    texture = MakeGLTexture(static_cast<uint16_t>(image.width), static_cast<uint16_t>(image.height), image.format,
                            image.pixels.data());
    return true;
}

} // namespace

bool TextureFromFile(const std::string& fileName, GLuint& texture, bool fromResource)
{
    const std::string upper = upperCase(fileName);
    const std::string extension = upper.size() >= 4 ? upper.substr(upper.size() - 4) : upper;
    if (extension == ".BMP")
        return ReadBitmapTexture(fileName, texture, fromResource);
    if (extension == ".JPG")
        return ReadJpegTexture(fileName, texture, fromResource);
    if (extension == ".TGA")
        return ReadTargaTexture(fileName, texture, fromResource);
    return false;
}

bool ReadBitmapTexture(const std::string& fileName, GLuint& texture, bool fromResource)
{
    std::optional<std::vector<uint8_t>> file;
    std::span<const uint8_t> bytes;
    if (fromResource) {
        const std::vector<uint8_t>* resource = findImageResource(fileName, "BMP");
        if (!resource) {
            platform::ShowMessage("File not found in resource - " + fileName, kBmpTexture);
            return false;
        }
        bytes = *resource;
    } else {
        file = readImageFile(fileName);
        if (!file) {
            platform::ShowMessage("Error opening " + fileName, kBmpUnit);
            return false;
        }
        bytes = *file;
    }

    const DecodedImage image = DecodeBitmap(bytes);
    const std::string unreadable = "Unable to read from resource - " + fileName;
    switch (image.fault) {
    case ImageFault::None:
        return storeTexture(image, texture);
    case ImageFault::PaletteShort:
        platform::ShowMessage(fromResource ? unreadable : "Error reading palette", kBmpUnit);
        return false;
    case ImageFault::FormatUnsupported:
        platform::ShowMessage("Couldn't load " + quoted(fileName) + ". Only uncompressed 24 bit bitmaps supported.",
                              kBmpUnit);
        return false;
    case ImageFault::SizeUnsupported:
        platform::ShowMessage(sizeMessage(fileName, image), kBmpUnit);
        return false;
    default:
        // The headers or the pixel data are short.
        platform::ShowMessage(fromResource ? unreadable : "Error reading bitmap data", kBmpUnit);
        return false;
    }
}

bool ReadJpegTexture(const std::string& fileName, GLuint& texture, bool fromResource)
{
    std::optional<std::vector<uint8_t>> file;
    std::span<const uint8_t> bytes;
    const std::string unloadable =
        fromResource ? "Couldn't load JPG Resource - " + quoted(fileName) : "Couldn't load JPG - " + quoted(fileName);
    if (fromResource) {
        const std::vector<uint8_t>* resource = findImageResource(fileName, "JPEG");
        if (!resource) {
            platform::ShowMessage("File not found in resource - " + fileName, kJpgTexture);
            return false;
        }
        bytes = *resource;
    } else {
        file = readImageFile(fileName);
        if (!file) {
            platform::ShowMessage(unloadable, kBmpUnit);
            return false;
        }
        bytes = *file;
    }

    const DecodedImage image = DecodeJpeg(bytes);
    if (image.fault == ImageFault::None)
        return storeTexture(image, texture);
    platform::ShowMessage(image.fault == ImageFault::SizeUnsupported ? sizeMessage(fileName, image) : unloadable,
                          kBmpUnit);
    return false;
}

bool ReadTargaTexture(const std::string& fileName, GLuint& texture, bool fromResource)
{
    std::vector<uint8_t> file;
    std::span<const uint8_t> bytes;
    if (fromResource) {
        const std::vector<uint8_t>* resource = findImageResource(fileName, "TGA");
        if (!resource) {
            platform::ShowMessage("File not found in resource - " + fileName, kTgaTexture);
            return false;
        }
        bytes = *resource;
    } else {
        if (!platform::files::FileExists(fileName)) {
            platform::ShowMessage("File not found  - " + fileName, kTgaTexture);
            return false;
        }
        // A file that exists but cannot be read is an input/output error for
        // the caller, not a message.
        file = platform::files::ReadFileBytes(fileName);
        bytes = file;
    }

    const DecodedImage image = DecodeTarga(bytes);
    const std::string couldNotLoad = "Couldn't load " + quoted(fileName);
    switch (image.fault) {
    case ImageFault::None:
        return storeTexture(image, texture);
    case ImageFault::HeaderShort:
        if (!fromResource)
            throw platform::EInOutError("Read beyond end of file " + quoted(fileName));
        platform::ShowMessage("Unable to read from resource - " + fileName, kBmpUnit);
        return false;
    case ImageFault::Compressed:
        platform::ShowMessage(couldNotLoad + ". Compressed TGA files not supported.", kTgaFileError);
        return false;
    case ImageFault::ColorMapped:
        platform::ShowMessage(couldNotLoad + ". Colormapped TGA files not supported.", kTgaFileError);
        return false;
    case ImageFault::DepthUnsupported:
        platform::ShowMessage(couldNotLoad + ". Only 24 bit TGA files supported.", kTgaFileError);
        return false;
    case ImageFault::SizeUnsupported:
        platform::ShowMessage(sizeMessage(fileName, image), kTgaFileError);
        return false;
    default:
        // The pixel data is short.
        if (fromResource)
            platform::ShowMessage("Unable to read from resource - " + fileName, kBmpUnit);
        else
            platform::ShowMessage("Couldn't read file " + quoted(fileName) + ".", kTgaFileError);
        return false;
    }
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
