#pragma once
// How much memory decoded images take, process-wide, and how large pictures
// are decoded.
//
// A run holds at most a fixed amount of decoded image memory (the limit,
// --image-memory): the textures made from image files until they are freed
// (FreeImageTextures), and the pixels of the image being decoded. An image
// that would go beyond it is refused (ImageFault::OverMemoryLimit), and its
// loader's message names the file. Memory is counted at 4 bytes a pixel, as
// a texture holds its base level.
//
// Tools that draw small pictures (thumbnails, contact sheets) ask for images
// no larger than they draw them: an image longer than the decoded side is
// reduced by a whole factor, averaging each block of pixels into one. JPEG
// is decoded scaled by libjpeg, Targa and bitmaps are reduced pixel by pixel
// while they are decoded, PNG right after decoding, before the next image.
#include <cstdint>
#include <vector>

// The default limit, 512 MB.
inline constexpr uint64_t kDefaultImageMemoryBytes = uint64_t{512} << 20;
// Memory counted for a pixel.
inline constexpr uint64_t kImageBytesPerPixel = 4;

// Sets the limit in bytes; 0 goes back to the default.
void SetImageMemoryLimit(uint64_t bytes);
uint64_t ImageMemoryLimit();
// The memory of the textures held now.
uint64_t ImageMemoryHeld();
// True when an image of width x height pixels may be decoded beside the
// textures held now.
bool ImageMemoryAllows(int64_t width, int64_t height);
// Counts and releases the memory of a texture made from a decoded image.
void HoldImageMemory(uint64_t bytes);
void ReleaseImageMemory(uint64_t bytes);

// Decodes images no longer than side pixels on either side from now on;
// 0 (the default) decodes them whole.
void UseDecodedImageSide(int side);
int DecodedImageSide();
// The whole factor an image of that size is reduced by: 1 unless it is
// longer than the decoded side.
int64_t ReductionFactor(int64_t width, int64_t height);

// Averages blocks of factor x factor pixels of a width x height image with
// channels bytes a pixel into one pixel each (blocks at the right and top
// edges may be smaller), taking the pixels in any order.
class BoxReducer {
public:
    BoxReducer(int64_t width, int64_t height, unsigned channels, int64_t factor);

    int64_t Width() const { return outWidth_; }
    int64_t Height() const { return outHeight_; }

    // The pixel at column x, row y of the whole image (rows as the result
    // orders them).
    void Add(uint64_t x, uint64_t y, const uint8_t* pixel)
    {
        uint64_t* sum = &sums_[((y / factor_) * static_cast<uint64_t>(outWidth_) + x / factor_) * channels_];
        for (unsigned c = 0; c < channels_; ++c)
            sum[c] += pixel[c];
    }
    // A whole row of tightly packed pixels.
    void AddRow(uint64_t y, const uint8_t* row);
    // The reduced pixels, rows in the order the whole image's were given.
    std::vector<uint8_t> Finish() const;

private:
    int64_t width_, height_;
    unsigned channels_;
    uint64_t factor_;
    int64_t outWidth_, outHeight_;
    std::vector<uint64_t> sums_;
};
