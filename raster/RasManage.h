#pragma once
// Turns bitmaps into packed pixel buffers ready for a texture upload, and
// allocates and frees those buffers.
#include "OpglLib/base/Component.h"
#include "platform/images/Bitmap.h"

#include <cstdint>
#include <vector>

// Pixel layouts of a TRasImage.
inline constexpr uint8_t kRasImageRGB = 0;  // 3 bytes per pixel: red, green, blue
inline constexpr uint8_t kRasImageRGBA = 1; // 4 bytes per pixel: red, green, blue, alpha

// A packed pixel buffer: rows without padding, bottom row first (the order
// OpenGL reads them in). Data is owned by the record and empty when none.
struct TRasImage {
    uint8_t Kind = kRasImageRGB;
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Data;
};

class TRasManager : public TComponent<TRasManager> {
public:
    static constexpr const char* kClassName = "TRasManager";
    static constexpr const char* kUnitName = "RasManage";
    static constexpr bool kRegistersUnit = true;

    // True for no bitmap, an empty one, or one of width or height 0.
    bool IsEmptyBitmap(const platform::Bitmap* bitmap) const;
    // Zeroes the record, sets its kind and size and allocates its pixels
    // (3 or 4 bytes each; nothing for another kind). Throws
    // platform::Exception for a negative size or one beyond the bitmap limits.
    void AllocImage(TRasImage& image, int32_t width, int32_t height, uint8_t kind) const;
    // Releases the pixels of an RGB or RGBA record; its size stays.
    void FreeImage(TRasImage& image) const;
    // True when the record has no pixels: width or height 0, or no data.
    bool IsImageEmpty(const TRasImage& image) const;
    // True when width and height are each a power of two of at least 2.
    bool IsPow2Size(const platform::Bitmap* bitmap) const;
    // Fills image with the bitmap's pixels as RGB, bottom row first. A bitmap
    // whose sides are not powers of two is first resampled in place to the
    // nearest ones, and the bitmap is set to 24 bits per pixel in place.
    // False (image zeroed) for an empty bitmap.
    bool BitmapToImage(platform::Bitmap* bitmap, TRasImage& image) const;
};

void RasManageInitialization();
void RasManageFinalization();
