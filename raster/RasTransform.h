#pragma once
// Resampling bitmaps (area averaging when shrinking), rounding their sizes to
// powers of two, and deriving black-and-white masks from them.
#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"
#include "platform/images/Bitmap.h"

#include <cstdint>
#include <memory>

class TRasTransformer : public TComponent<TRasTransformer> {
public:
    static constexpr const char* kClassName = "TRasTransformer";
    static constexpr const char* kUnitName = "RasTransform";
    static constexpr bool kRegistersUnit = false;

    // True for no bitmap, an empty one, or one of width or height 0.
    bool IsEmptyBitmap(const platform::Bitmap* bitmap) const;
    // Fills dest, at its current size, with src; both become 24 bits per
    // pixel. Enlarging in either direction stretches; otherwise each dest
    // pixel is the average of the source area under it. When averaging fails
    // it shows "Src:%d*%d  dest:%d*%d" and returns false; false also when
    // either bitmap is empty.
    bool Resample(platform::Bitmap* src, platform::Bitmap* dest) const;
    // Sets dest to width x height and resamples src into it; false when src
    // is empty, dest is missing, a side is 0, or anything fails.
    bool ResizeTo(platform::Bitmap* src, platform::Bitmap* dest, int32_t width, int32_t height) const;
    // The power of two nearest to n (a tie goes to the larger): 1, 2, 4, 4, 8
    // for 1, 2, 3, 5, 6. Values up to 1 give 1; at most 2^30.
    int32_t NearestPow2(int32_t n) const;
    // Resamples the bitmap in place to the nearest power-of-two sides.
    void ResizeToPow2(platform::Bitmap* bitmap) const;
    // Makes dest (created when missing) a copy of src in which pixels of the
    // key colour are white and all others black, in src's pixel format.
    // Nothing happens for an empty src.
    void MakeMask(const platform::Bitmap* src, TColorValue key, std::unique_ptr<platform::Bitmap>& dest) const;
};

void RasTransformInitialization();
void RasTransformFinalization();
