#include "RasManage.h"

#include "RasTransform.h"

#include <string>

using platform::Bitmap;

namespace {

size_t bytesPerPixel(uint8_t kind)
{
    switch (kind) {
    case kRasImageRGB:
        return 3;
    case kRasImageRGBA:
        return 4;
    default:
        return 0;
    }
}

const TRasTransformer& transformer()
{
    const TRasTransformer* instance = TRasTransformer::Instance();
    if (!instance)
        throw platform::Exception("TRasTransformer has not been created");
    return *instance;
}

bool isPow2AtLeast2(int n) { return n >= 2 && (n & (n - 1)) == 0; }

} // namespace

bool TRasManager::IsEmptyBitmap(const Bitmap* bitmap) const
{
    return !bitmap || bitmap->Empty() || bitmap->Width() == 0 || bitmap->Height() == 0;
}

void TRasManager::AllocImage(TRasImage& image, int32_t width, int32_t height, uint8_t kind) const
{
    // Buffers mirror bitmaps, so they share the bitmap limits.
    if (width < 0 || height < 0 || width > Bitmap::kMaxSide || height > Bitmap::kMaxSide ||
        int64_t{width} * height > Bitmap::kMaxPixels)
        throw platform::EInvalidGraphicOperation("Image size " + std::to_string(width) + "*" +
                                                 std::to_string(height) + " is out of range");
    image = TRasImage{};
    image.Kind = kind;
    image.Width = width;
    image.Height = height;
    if (size_t pixelBytes = bytesPerPixel(kind))
        image.Data.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * pixelBytes, 0);
}

void TRasManager::FreeImage(TRasImage& image) const
{
    if (bytesPerPixel(image.Kind) != 0)
        std::vector<uint8_t>().swap(image.Data);
}

bool TRasManager::IsImageEmpty(const TRasImage& image) const
{
    return image.Width == 0 || image.Height == 0 || image.Data.empty();
}

bool TRasManager::IsPow2Size(const Bitmap* bitmap) const
{
    return bitmap && isPow2AtLeast2(bitmap->Width()) && isPow2AtLeast2(bitmap->Height());
}

bool TRasManager::BitmapToImage(Bitmap* bitmap, TRasImage& image) const
{
    if (!IsImageEmpty(image))
        FreeImage(image);
    image = TRasImage{};
    if (IsEmptyBitmap(bitmap))
        return false;
    if (!IsPow2Size(bitmap))
        transformer().ResizeToPow2(bitmap);
    if (IsEmptyBitmap(bitmap))
        return false;
    bitmap->SetPixelFormat(platform::PixelFormat::Bits24);
    AllocImage(image, bitmap->Width(), bitmap->Height(), kRasImageRGB);
    const size_t rowBytes = static_cast<size_t>(image.Width) * 3;
    // OpenGL takes the bottom row first; bitmap rows are blue, green, red.
    for (int32_t r = 0; r < image.Height; ++r) {
        const uint8_t* from = bitmap->ScanLine(image.Height - 1 - r);
        uint8_t* to = image.Data.data() + static_cast<size_t>(r) * rowBytes;
        for (size_t i = 0; i < rowBytes; i += 3) {
            to[i] = from[i + 2];
            to[i + 1] = from[i + 1];
            to[i + 2] = from[i];
        }
    }
    return true;
}

void RasManageInitialization() { TRasManager::Create(); }

void RasManageFinalization()
{
    if (TRasManager* manager = TRasManager::Instance())
        manager->Free();
}
