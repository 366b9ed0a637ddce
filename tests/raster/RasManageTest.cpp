#include "RasterTestUtil.h"

#include "OpglLib/base/Component.h"

#include <vector>

using platform::Bitmap;
using platform::PixelFormat;
using rastertest::paintedBitmap;
using rastertest::RasterUnits;
using rastertest::rgb;

using BitmapToImage = RasterUnits;

TEST_F(BitmapToImage, GivesRgbBottomRowFirstAndLeavesTheBitmapAt24Bits)
{
    Bitmap bitmap(2, 2, PixelFormat::Bits8);
    bitmap.SetPixel(0, 0, rgb(255, 0, 0));
    bitmap.SetPixel(1, 0, rgb(0, 255, 0));
    bitmap.SetPixel(0, 1, rgb(0, 0, 255));
    bitmap.SetPixel(1, 1, rgb(102, 43, 204));
    TRasImage image;
    ASSERT_TRUE(manager().BitmapToImage(&bitmap, image));
    EXPECT_EQ(bitmap.Format(), PixelFormat::Bits24);
    EXPECT_EQ(image.Kind, kRasImageRGB);
    ASSERT_EQ(image.Data.size(), 12u);
    const std::vector<uint8_t> expected = {0, 0, 255, 102, 43, 204, 255, 0, 0, 0, 255, 0};
    EXPECT_EQ(image.Data, expected);
}

TEST_F(BitmapToImage, OnlySidesThatAreNotPowersOfTwoAreResampled)
{
    Bitmap square = paintedBitmap(512, 512, [](int, int) { return 0xFFFFFFu; });
    TRasImage image;
    ASSERT_TRUE(manager().BitmapToImage(&square, image));
    EXPECT_EQ(image.Width, 512);
    EXPECT_EQ(image.Data[0], 255); // averaging would have made it 254

    Bitmap strip = paintedBitmap(160, 32, [](int, int) { return rgb(200, 200, 200); });
    ASSERT_TRUE(manager().BitmapToImage(&strip, image));
    EXPECT_EQ(strip.Width(), 128);
    EXPECT_EQ(strip.Height(), 32);
    EXPECT_EQ(image.Width, 128);
    EXPECT_EQ(image.Data.size(), 128u * 32u * 3u);
    EXPECT_EQ(image.Data[0], 199); // averaged, not copied

    // 1 x 1 is below the smallest accepted size, so it goes through the 1:1 averaging.
    Bitmap dot = paintedBitmap(1, 1, [](int, int) { return 0xFFFFFFu; });
    ASSERT_TRUE(manager().BitmapToImage(&dot, image));
    EXPECT_EQ(image.Width, 1);
    EXPECT_EQ(image.Height, 1);
    EXPECT_EQ(image.Data, (std::vector<uint8_t>{254, 254, 254}));
}

TEST_F(BitmapToImage, EmptyBitmapFreesAndZeroesTheImage)
{
    TRasImage image;
    manager().AllocImage(image, 4, 4, kRasImageRGBA);
    Bitmap empty;
    EXPECT_FALSE(manager().BitmapToImage(&empty, image));
    EXPECT_FALSE(manager().BitmapToImage(nullptr, image));
    EXPECT_EQ(image.Width, 0);
    EXPECT_EQ(image.Kind, 0);
    EXPECT_TRUE(image.Data.empty());
}

TEST_F(BitmapToImage, BuffersHoldThreeOrFourBytesAndRefuseImpossibleSizes)
{
    TRasImage image;
    manager().AllocImage(image, 3, 5, kRasImageRGB);
    EXPECT_EQ(image.Data.size(), 45u);
    manager().AllocImage(image, 3, 5, kRasImageRGBA);
    EXPECT_EQ(image.Data.size(), 60u);
    EXPECT_FALSE(manager().IsImageEmpty(image));
    manager().FreeImage(image);
    EXPECT_TRUE(manager().IsImageEmpty(image));
    EXPECT_EQ(image.Width, 3); // the size stays
    manager().AllocImage(image, 3, 5, 2);
    EXPECT_TRUE(image.Data.empty());
    EXPECT_THROW(manager().AllocImage(image, -1, 5, kRasImageRGB), platform::EInvalidGraphicOperation);
    EXPECT_THROW(manager().AllocImage(image, 16384, 16384, kRasImageRGBA), platform::EInvalidGraphicOperation);

    Bitmap pow2(2, 8), one(1, 8), odd(6, 8);
    EXPECT_TRUE(manager().IsPow2Size(&pow2));
    EXPECT_FALSE(manager().IsPow2Size(&one));
    EXPECT_FALSE(manager().IsPow2Size(&odd));
}

using PaletteIndexOf = RasterUnits;

TEST_F(PaletteIndexOf, FindsTheEntryAndPutsThePixelBack)
{
    Bitmap palettised(3, 2, PixelFormat::Bits8);
    palettised.SetPixel(0, 0, rgb(255, 0, 0));
    EXPECT_EQ(processor().PaletteIndexOf(&palettised, 0), 0);
    EXPECT_EQ(processor().PaletteIndexOf(&palettised, 0xFFFFFF), 251);
    EXPECT_EQ(processor().PaletteIndexOf(&palettised, rgb(250, 5, 5)), Bitmap::NearestPaletteIndex(rgb(255, 0, 0)));
    EXPECT_EQ(palettised.Pixel(0, 0), rgb(255, 0, 0));

    // On a 24-bit bitmap the answer is the blue byte, and all three bytes come back.
    Bitmap direct = paintedBitmap(1, 1, [](int, int) { return rgb(1, 2, 3); });
    EXPECT_EQ(processor().PaletteIndexOf(&direct, rgb(10, 20, 30)), 30);
    EXPECT_EQ(direct.Pixel(0, 0), rgb(1, 2, 3));

    Bitmap empty;
    EXPECT_EQ(processor().PaletteIndexOf(&empty, 0xFFFFFF), 0);
    EXPECT_EQ(processor().PaletteIndexOf(nullptr, 0xFFFFFF), 0);
}

namespace {
std::vector<std::string> registered;
bool recordUnit(const std::string& name)
{
    registered.push_back(name);
    return true;
}
void forgetUnit(const std::string&) {}
constexpr UnitRegistrar kRecorder{recordUnit, forgetUnit};
} // namespace

TEST(RasterUnitsLifecycle, OnlyTheManagerRegistersAndEachWritesItsCommonKey)
{
    testsupport::Sandbox sandbox;
    registered.clear();
    SetUnitRegistrar(&kRecorder);
    sandbox.writeSettings("[TRasTransformer]\nmRasTransformer=7\n");
    RasProcessInitialization();
    RasTransformInitialization();
    RasManageInitialization();
    EXPECT_EQ(TRasTransformer::Instance()->SettingsValue, 7);
    RasManageFinalization();
    RasTransformFinalization();
    RasProcessFinalization();
    SetUnitRegistrar(nullptr);
    EXPECT_EQ(registered, std::vector<std::string>{"RasManage"});
    platform::IniFile ini(sandbox.settingsPath());
    EXPECT_EQ(ini.ReadString("TRasProcessor", "mRasProcessor", "-"), "0");
    EXPECT_EQ(ini.ReadString("TRasTransformer", "mRasTransformer", "-"), "7");
    EXPECT_EQ(ini.ReadString("TRasManager", "mRasManager", "-"), "0");
}
