#include "RasterTestUtil.h"

using platform::Bitmap;
using platform::PixelFormat;
using rastertest::paintedBitmap;
using rastertest::RasterUnits;
using rastertest::rgb;

class NearestPow2 : public RasterUnits, public ::testing::WithParamInterface<std::pair<int32_t, int32_t>> {};

TEST_P(NearestPow2, RoundsToTheCloserPowerAndTiesUp)
{
    EXPECT_EQ(transformer().NearestPow2(GetParam().first), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Values, NearestPow2,
                         ::testing::Values(std::pair{1, 1}, std::pair{2, 2}, std::pair{3, 4}, std::pair{5, 4},
                                           std::pair{6, 8}, std::pair{12, 16}, std::pair{160, 128},
                                           std::pair{200, 256}, std::pair{512, 512}, std::pair{0, 1},
                                           std::pair{-7, 1}, std::pair{INT32_MAX, 1 << 30}));

using Resample = RasterUnits;

TEST_F(Resample, ShrinkingAveragesEachBlockOneBelowTheMean)
{
    // Red per pixel; green 0 and blue 200 everywhere.
    const int red[4][4] = {{10, 20, 100, 100}, {30, 40, 100, 100}, {0, 0, 255, 255}, {0, 4, 255, 255}};
    Bitmap src = paintedBitmap(4, 4, [&](int x, int y) { return rgb(red[y][x], 0, 200); });
    Bitmap dest(2, 2, PixelFormat::Bits8);
    ASSERT_TRUE(transformer().Resample(&src, &dest));
    EXPECT_EQ(dest.Format(), PixelFormat::Bits24);
    // Sums 100, 400, 4 and 1020 weighted by 65535 div 4 and shifted by 16.
    const uint8_t top[] = {199, 0, 24, 199, 0, 99};
    const uint8_t bottom[] = {199, 0, 0, 199, 0, 254};
    EXPECT_TRUE(std::equal(top, top + 6, dest.ScanLine(0)));
    EXPECT_TRUE(std::equal(bottom, bottom + 6, dest.ScanLine(1)));
}

TEST_F(Resample, EqualSizeStillAveragesSoWhiteBecomes254)
{
    Bitmap src = paintedBitmap(5, 3, [](int, int) { return 0xFFFFFFu; });
    Bitmap dest(5, 3);
    ASSERT_TRUE(transformer().Resample(&src, &dest));
    for (int y = 0; y < 3; ++y)
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(dest.ScanLine(y)[i], 254);
}

TEST_F(Resample, EnlargingInEitherDirectionStretches)
{
    Bitmap src = paintedBitmap(4, 4, [](int x, int y) { return rgb(60 * x, 60 * y, 255); });
    Bitmap dest(8, 8);
    ASSERT_TRUE(transformer().Resample(&src, &dest));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(dest.Pixel(x, y), src.Pixel(x / 2, y / 2)) << x << "," << y;

    Bitmap wide(8, 2); // wider but lower: still a plain copy, no averaging
    ASSERT_TRUE(transformer().Resample(&src, &wide));
    EXPECT_EQ(wide.Pixel(7, 1), rgb(180, 180, 255));
}

TEST_F(Resample, RoundedDownScaleLeavesTheLastSourceLineOut)
{
    // 10/3 as a 32-bit float is just under 3.3333, so the spans are 3, 3, 3.
    Bitmap columns = paintedBitmap(10, 1, [](int x, int) { return x < 9 ? rgb(30, 30, 30) : 0xFFFFFFu; });
    Bitmap rows = paintedBitmap(1, 10, [](int, int y) { return y < 9 ? rgb(30, 30, 30) : 0xFFFFFFu; });
    Bitmap narrow(3, 1), low(1, 3);
    ASSERT_TRUE(transformer().Resample(&columns, &narrow));
    ASSERT_TRUE(transformer().Resample(&rows, &low));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(narrow.Pixel(i, 0), rgb(29, 29, 29)) << i;
        EXPECT_EQ(low.Pixel(0, i), rgb(29, 29, 29)) << i;
    }
}

TEST_F(Resample, EmptyOrMissingBitmapsAreRefused)
{
    Bitmap some(2, 2), empty;
    EXPECT_FALSE(transformer().Resample(&some, &empty));
    EXPECT_FALSE(transformer().Resample(nullptr, &some));
    EXPECT_FALSE(transformer().ResizeTo(&some, nullptr, 4, 4));
    EXPECT_FALSE(transformer().ResizeTo(&empty, &some, 4, 4));
    EXPECT_FALSE(transformer().ResizeTo(&some, &some, 0, 4));
    EXPECT_FALSE(transformer().ResizeTo(&some, &empty, -4, 4));
    EXPECT_FALSE(transformer().ResizeTo(&some, &empty, Bitmap::kMaxSide + 1, 4));
    EXPECT_TRUE(empty.Empty());
    transformer().ResizeToPow2(&empty);
    EXPECT_TRUE(empty.Empty());
    EXPECT_TRUE(platform::RecordedMessages().empty());
}

TEST_F(Resample, ResizeToPow2ResizesInPlace)
{
    Bitmap bitmap = paintedBitmap(5, 12, [](int, int) { return rgb(100, 0, 0); });
    transformer().ResizeToPow2(&bitmap);
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_EQ(bitmap.Height(), 16);
    EXPECT_EQ(bitmap.Pixel(3, 15), rgb(100, 0, 0)); // taller: stretched, not averaged
}

using MakeMask = RasterUnits;

TEST_F(MakeMask, KeyColourBecomesWhiteAndEverythingElseBlack)
{
    Bitmap src = paintedBitmap(6, 3, [](int x, int y) {
        return x == 4 && y == 1 ? 0xFFFFFFu : x == 0 && y == 2 ? rgb(128, 204, 204) : 0u;
    });
    std::unique_ptr<Bitmap> mask;
    transformer().MakeMask(&src, 0, mask);
    ASSERT_TRUE(mask);
    EXPECT_EQ(mask->Format(), PixelFormat::Bits24);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) {
            bool key = !(x == 4 && y == 1) && !(x == 0 && y == 2);
            EXPECT_EQ(mask->Pixel(x, y), key ? 0xFFFFFFu : 0u) << x << "," << y;
        }
    EXPECT_EQ(src.Pixel(4, 1), 0xFFFFFFu); // the source is left alone

    Bitmap palettised(2, 1, PixelFormat::Bits8);
    palettised.SetPixel(1, 0, rgb(255, 0, 0));
    transformer().MakeMask(&palettised, rgb(255, 0, 0), mask); // reuses the existing bitmap
    EXPECT_EQ(mask->Format(), PixelFormat::Bits8);
    EXPECT_EQ(mask->Pixel(0, 0), 0u);
    EXPECT_EQ(mask->Pixel(1, 0), 0xFFFFFFu);

    std::unique_ptr<Bitmap> untouched;
    Bitmap empty;
    transformer().MakeMask(&empty, 0, untouched);
    EXPECT_FALSE(untouched);
}
