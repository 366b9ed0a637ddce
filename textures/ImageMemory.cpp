#include "ImageMemory.h"

#include <algorithm>

namespace {

uint64_t limitBytes = kDefaultImageMemoryBytes;
uint64_t heldBytes = 0;
int decodedSide = 0;

} // namespace

void SetImageMemoryLimit(uint64_t bytes) { limitBytes = bytes == 0 ? kDefaultImageMemoryBytes : bytes; }

uint64_t ImageMemoryLimit() { return limitBytes; }

uint64_t ImageMemoryHeld() { return heldBytes; }

bool ImageMemoryAllows(int64_t width, int64_t height)
{
    if (width <= 0 || height <= 0)
        return true;
    // Each side is below 2^31, so the product cannot overflow.
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * kImageBytesPerPixel;
    return heldBytes <= limitBytes && bytes <= limitBytes - heldBytes;
}

void HoldImageMemory(uint64_t bytes) { heldBytes += bytes; }

void ReleaseImageMemory(uint64_t bytes) { heldBytes -= std::min(bytes, heldBytes); }

void UseDecodedImageSide(int side) { decodedSide = std::max(side, 0); }

int DecodedImageSide() { return decodedSide; }

int64_t ReductionFactor(int64_t width, int64_t height)
{
    const int64_t longest = std::max(width, height);
    if (decodedSide <= 0 || longest <= decodedSide)
        return 1;
    return (longest + decodedSide - 1) / decodedSide;
}

BoxReducer::BoxReducer(int64_t width, int64_t height, unsigned channels, int64_t factor)
    : width_(width), height_(height), channels_(channels), factor_(static_cast<uint64_t>(std::max<int64_t>(factor, 1))),
      outWidth_((width + static_cast<int64_t>(factor_) - 1) / static_cast<int64_t>(factor_)),
      outHeight_((height + static_cast<int64_t>(factor_) - 1) / static_cast<int64_t>(factor_)),
      sums_(static_cast<size_t>(outWidth_ * outHeight_) * channels)
{
}

void BoxReducer::AddRow(uint64_t y, const uint8_t* row)
{
    for (uint64_t x = 0; x < static_cast<uint64_t>(width_); ++x)
        Add(x, y, row + x * channels_);
}

std::vector<uint8_t> BoxReducer::Finish() const
{
    std::vector<uint8_t> pixels(sums_.size());
    const auto blockSide = [this](int64_t index, int64_t whole) {
        return static_cast<uint64_t>(std::min<int64_t>(whole, (index + 1) * static_cast<int64_t>(factor_)) -
                                     index * static_cast<int64_t>(factor_));
    };
    for (int64_t y = 0; y < outHeight_; ++y) {
        for (int64_t x = 0; x < outWidth_; ++x) {
            const uint64_t count = blockSide(x, width_) * blockSide(y, height_);
            const size_t at = static_cast<size_t>(y * outWidth_ + x) * channels_;
            for (unsigned c = 0; c < channels_; ++c)
                pixels[at + c] = static_cast<uint8_t>((sums_[at + c] + count / 2) / count);
        }
    }
    return pixels;
}
