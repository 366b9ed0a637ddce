#include "RasTransform.h"

#include "RasProcess.h"
#include "platform/system/Dialogs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <vector>

using platform::Bitmap;
using platform::PixelFormat;

namespace {

constexpr const char* kResampleFailed = "Src:%d*%d  dest:%d*%d";
constexpr TColorValue kWhite = 0xFFFFFF;
constexpr TColorValue kBlack = 0x000000;
constexpr int32_t kLargestPow2 = int32_t{1} << 30;

// How many source pixels each destination pixel covers along one axis. The
// scale is a 32-bit float, so a ratio it rounds down leaves the last source
// pixel out (10 columns into 3 take 3 + 3 + 3). The products are exact in
// double precision, as the truncations must see them.
std::vector<int32_t> spanTable(int32_t destCount, float scale)
{
    std::vector<int32_t> spans(static_cast<size_t>(destCount));
    for (int32_t i = 0; i < destCount; ++i) {
        double from = std::trunc(i * double{scale});
        double to = std::trunc((i + 1) * double{scale});
        spans[static_cast<size_t>(i)] = static_cast<int32_t>(to - from);
    }
    return spans;
}

// 65535 div n rather than a true division by n: each averaged byte comes out
// at most one below the mean (a 1:1 copy turns 255 into 254).
uint64_t weightFor(int64_t spanX, int64_t spanY)
{
    if (spanX == 0 && spanY == 0)
        return 65535;
    int64_t n = spanX == 0 ? spanY : spanY == 0 ? spanX : spanX * spanY;
    return static_cast<uint64_t>(65535 / n);
}

// Averages the source area under each destination pixel; both bitmaps are
// 24-bit and dest is not larger than src in either direction. Throws when a
// span would leave the source.
void averageAreas(const Bitmap& src, Bitmap& dest)
{
    const int32_t sw = src.Width(), sh = src.Height(), dw = dest.Width(), dh = dest.Height();
    const float xs = static_cast<float>(1.0 / (double(dw) / double(sw)));
    const float ys = static_cast<float>(1.0 / (double(dh) / double(sh)));
    const std::vector<int32_t> spanX = spanTable(dw, xs);
    const std::vector<int32_t> spanY = spanTable(dh, ys);

    int32_t bandTop = 0;
    for (int32_t j = 0; j < dh; ++j) {
        const int32_t rows = spanY[static_cast<size_t>(j)];
        if (rows < 0 || bandTop + int64_t{rows} > sh)
            throw platform::EInvalidGraphicOperation("source band out of range");
        uint8_t* out = dest.ScanLine(j);
        int32_t column = 0;
        for (int32_t i = 0; i < dw; ++i) {
            const int32_t cols = spanX[static_cast<size_t>(i)];
            if (cols < 0 || column + int64_t{cols} > sw)
                throw platform::EInvalidGraphicOperation("source columns out of range");
            uint64_t sum[3] = {0, 0, 0};
            for (int32_t r = 0; r < rows; ++r) {
                const uint8_t* p = src.ScanLine(bandTop + r) + static_cast<size_t>(column) * 3;
                for (int32_t c = 0; c < cols; ++c, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const uint64_t weight = weightFor(cols, rows);
            for (int k = 0; k < 3; ++k)
                out[3 * i + k] = static_cast<uint8_t>(((sum[k] * weight) >> 16) & 0xFF);
            column += cols;
        }
        bandTop += rows;
    }
}

const TRasProcessor& processor()
{
    const TRasProcessor* instance = TRasProcessor::Instance();
    if (!instance)
        throw platform::Exception("TRasProcessor has not been created");
    return *instance;
}

} // namespace

bool TRasTransformer::IsEmptyBitmap(const Bitmap* bitmap) const
{
    return !bitmap || bitmap->Empty() || bitmap->Width() == 0 || bitmap->Height() == 0;
}

bool TRasTransformer::Resample(Bitmap* src, Bitmap* dest) const
{
    if (IsEmptyBitmap(src) || IsEmptyBitmap(dest))
        return false;
    src->SetPixelFormat(PixelFormat::Bits24);
    dest->SetPixelFormat(PixelFormat::Bits24);
    if (dest->Width() > src->Width() || dest->Height() > src->Height()) {
        dest->StretchDraw(*src);
        return true;
    }
    try {
        averageAreas(*src, *dest);
        return true;
    } catch (const std::exception&) {
        char text[96];
        std::snprintf(text, sizeof text, kResampleFailed, src->Width(), src->Height(), dest->Width(), dest->Height());
        platform::ShowMessage(text, AppName);
        return false;
    }
}

bool TRasTransformer::ResizeTo(Bitmap* src, Bitmap* dest, int32_t width, int32_t height) const
{
    if (IsEmptyBitmap(src) || !dest || width == 0 || height == 0)
        return false;
    try {
        dest->SetSize(width, height);
        return Resample(src, dest);
    } catch (const std::exception&) {
        return false;
    }
}

int32_t TRasTransformer::NearestPow2(int32_t n) const
{
    int64_t p = 2;
    while (p < n)
        p *= 2;
    const int64_t q = p / 2;
    const int64_t nearest = n - q < p - n ? q : p;
    return static_cast<int32_t>(std::min<int64_t>(nearest, kLargestPow2));
}

void TRasTransformer::ResizeToPow2(Bitmap* bitmap) const
{
    if (IsEmptyBitmap(bitmap))
        return;
    try {
        auto resized = std::make_unique<Bitmap>();
        // The new size is taken even when averaging fails: the bitmap then
        // holds whatever the averaging had produced.
        ResizeTo(bitmap, resized.get(), NearestPow2(bitmap->Width()), NearestPow2(bitmap->Height()));
        bitmap->Assign(*resized);
    } catch (const std::exception&) {
    }
}

void TRasTransformer::MakeMask(const Bitmap* src, TColorValue key, std::unique_ptr<Bitmap>& dest) const
{
    if (IsEmptyBitmap(src))
        return;
    const PixelFormat srcFormat = src->Format();
    if (!dest)
        dest = std::make_unique<Bitmap>();
    dest->Assign(*src);
    dest->SetPixelFormat(PixelFormat::Bits8);
    const TRasProcessor& look = processor();
    const uint8_t keyIndex = look.PaletteIndexOf(dest.get(), key);
    const uint8_t whiteIndex = look.PaletteIndexOf(dest.get(), kWhite);
    const uint8_t blackIndex = look.PaletteIndexOf(dest.get(), kBlack);
    for (int row = 0; row < dest->Height(); ++row) {
        uint8_t* line = dest->ScanLine(row);
        for (int x = 0; x < dest->Width(); ++x)
            line[x] = line[x] == keyIndex ? whiteIndex : blackIndex;
    }
    dest->SetPixelFormat(srcFormat);
}

void RasTransformInitialization() { TRasTransformer::Create(); }

void RasTransformFinalization()
{
    if (TRasTransformer* transformer = TRasTransformer::Instance())
        transformer->Free();
}
