#pragma once
// Turns one image (a Windows bitmap ".BMP", a JPEG ".JPG" or an uncompressed
// Targa ".TGA"; under the game's rules also ".JPEG", ".PNG" and every Targa
// the game reads) into an OpenGL texture with a full mipmap chain. The image
// comes from a file (found by its exact name first, else ignoring letter case)
// or from one of the program's own resources (Resources.h).
//
// Every reader tells the user about a failure in a message box and returns
// false; the caller's texture variable is written only on success. All
// functions that make textures need a current GL context.
#include <GL/gl.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Largest width or height accepted from an image file.
constexpr int64_t kMaxImageSide = 8192;

// Why an image could not be decoded.
enum class ImageFault {
    None,
    HeaderShort,       // the fixed-size header is not all there
    PaletteShort,      // the bitmap colour table runs past the end of the data
    DataShort,         // the pixel data (or a Targa packet) runs past the end of the data
    NotDecodable,      // the JPEG or PNG decoder refused the data
    Compressed,        // viewer rules: Targa image type other than 2 (uncompressed true-colour)
    ColorMapped,       // viewer rules: Targa with a colour map
    DepthUnsupported,  // Targa depth the image type does not allow
    FormatUnsupported, // bitmap other than uncompressed 24 bits per pixel
    SizeUnsupported,   // no pixels, or more than kMaxImageSide pixels a side
    HeaderUnsupported, // bitmap info header of a size other than 40, 108 or 124 bytes
    TypeUnsupported,   // game rules: Targa image type other than 1, 2, 3, 9, 10, 11
    ColorMapUnsupported,  // game rules: colour-mapped Targa without a usable colour map
    ColorIndexOutOfRange, // a Targa pixel indexes no entry of its colour map
    OverMemoryLimit,   // decoding it would go beyond the image memory a run may hold (ImageMemory.h)
};

// Pixels of one decoded image, ready for MakeGLTexture: tightly packed R, G, B
// (format GL_RGB) or R, G, B, A (GL_RGBA) bytes, bottom row first. Width and
// height hold the dimensions as read also when fault is SizeUnsupported or
// OverMemoryLimit; an image reduced while it was decoded (ImageMemory.h) has
// the reduced ones.
struct DecodedImage {
    ImageFault fault = ImageFault::None;
    int64_t width = 0;
    int64_t height = 0;
    GLenum format = GL_RGB;
    std::vector<uint8_t> pixels;
};

// Decoders for the bytes of a whole image file; they never call OpenGL and
// never throw for bad data (a failing allocation may throw std::bad_alloc).
// Bitmaps: uncompressed 24 bits per pixel, with an info header of 40, 108 or
// 124 bytes; the pixel data starts at the file header's offset.
DecodedImage DecodeBitmap(std::span<const uint8_t> bytes);
// DecodeTarga, the viewer's rules: uncompressed true-colour (type 2) at 24
// or 32 bits only, stored in the order both origin bits give.
// DecodeGameTarga, the game's rules: types 1, 2, 3, 9, 10 and 11 at the depths each allows (colour
// maps of 15, 16, 24 or 32-bit entries indexed by 8-bit pixels; true colour
// at 15, 16, 24 or 32 bits; grey at 8 bits, or 16 as grey and alpha, and at
// 24 or 32 bits read as true colour), run-length packets crossing row ends,
// the pixels of a packet past the end of the image dropped; the origin bits
// are ignored, as the game ignores them: the bottom row is stored first, each
// row left to right. Both: the identification field is skipped, and the
// result is GL_RGB where the file has no alpha (24 bits, 15 bits, 16 bits
// without an attribute bit, 8-bit grey, maps of such entries) and GL_RGBA
// where it has.
DecodedImage DecodeTarga(std::span<const uint8_t> bytes);
DecodedImage DecodeGameTarga(std::span<const uint8_t> bytes);

// What the game's own reader makes of a Targa file. It reads fewer files
// than DecodeGameTarga: true colour (type 2) and run-length true
// colour (type 10) at 24 or 32 bits, grey (type 3) at 8 bits (24 and 32 as
// true colour), no colour map, whole data; any other file stops the game
// with an error when it is loaded. Of the files it reads it ignores the
// origin bits.
struct TargaGameReading {
    std::string refusal;     // why the game refuses the file ("image type 1 (colour-mapped); ..."); "" when it reads it
    bool upsideDown = false; // read, but the top row is stored first: the game shows the picture upside down
    bool mirrored = false;   // read, but rows are stored right to left: the game shows the picture mirrored
};
TargaGameReading ReadTargaAsGame(std::span<const uint8_t> bytes);
// A JPEG's few header bytes can ask for the largest size whatever data
// follows; maxSide lowers the cap for callers that must stay small (fuzzing).
DecodedImage DecodeJpeg(std::span<const uint8_t> bytes, int64_t maxSide = kMaxImageSide);

// Decodes a PNG of any colour type, bit depth, transparency and interlacing
// into RGBA (GL_RGBA), bottom row first; maxSide as for DecodeJpeg.
DecodedImage DecodePng(std::span<const uint8_t> bytes, int64_t maxSide = kMaxImageSide);

// A message a reader shows for a failure.
struct ImageMessage {
    std::string text;
    std::string caption;
};

// An image file read through the file layer and decoded, or the message the
// texture loader shows for it (not shown here).
struct ImageFile {
    DecodedImage image;
    std::optional<ImageMessage> failure;
    // ReadGameImageFile, a Targa file that could be read from the game data:
    // what the game's own reader makes of it.
    std::optional<TargaGameReading> targa;
};

// Reads fileName through the file layer and decodes it by its extension.
// ReadImageFile, the viewer's rules: ".BMP", ".JPG", ".TGA" exactly as
// TextureFromFile reads them (messages included; a Targa whose header cannot
// be read throws platform::EInOutError as there). ReadGameImageFile, the
// game's rules: also ".JPEG" and ".PNG", and every Targa type the game reads
// (colour-mapped, true-colour and grey, raw and run-length), with a message
// for every failure (a Targa that cannot be read included). Any other
// extension fails with a message naming the file.
ImageFile ReadImageFile(const std::string& fileName);
ImageFile ReadGameImageFile(const std::string& fileName);

// Makes the texture of a decoded image; it stays bound. Its memory counts as
// held (ImageMemory.h) until FreeImageTextures deletes it.
GLuint MakeImageTexture(const DecodedImage& image);

// Deletes textures (of MakeImageTexture or any other) and releases the image
// memory those of MakeImageTexture held.
void FreeImageTextures(std::span<const GLuint> textures);

// ReadImageFile (ReadGameImageFile), then the texture: true when it was made
// and its name stored in texture; otherwise the failure's message box is
// shown and texture keeps its value.
bool LoadImageTexture(const std::string& fileName, GLuint& texture);
bool LoadGameImageTexture(const std::string& fileName, GLuint& texture);

// Picks the reader by the name's extension (".BMP", ".JPG", ".TGA", any
// letter case); false without a message for any other extension.
bool TextureFromFile(const std::string& fileName, GLuint& texture, bool fromResource);

// The readers: true when a texture was made and its name stored in texture.
// ReadTargaTexture throws platform::EInOutError when the file exists but its
// 18-byte header cannot be read.
bool ReadBitmapTexture(const std::string& fileName, GLuint& texture, bool fromResource);
bool ReadJpegTexture(const std::string& fileName, GLuint& texture, bool fromResource);
bool ReadTargaTexture(const std::string& fileName, GLuint& texture, bool fromResource);

// Makes a linear-filtered, mipmapped texture from tightly packed pixels and
// returns its name; the texture stays bound.
GLuint MakeGLTexture(uint16_t width, uint16_t height, GLenum format, const void* pixels);

// Exchanges byte 0 and byte 2 of count consecutive 3-byte groups.
void SwapRedBlue(void* pixels, int32_t count);
