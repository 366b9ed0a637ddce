#include "RasterTestUtil.h"

#include "platform/system/CodePage.h"
#include "platform/fonts/FontFaces.h"

#include <climits>
#include <set>

using platform::Bitmap;
using platform::PixelFormat;
using rastertest::paintedBitmap;
using rastertest::rgb;

TEST(Bitmap, RowsAreBottomUpAndPaddedToFourBytes)
{
    EXPECT_EQ(Bitmap::StrideFor(1, PixelFormat::Bits24), 4);
    EXPECT_EQ(Bitmap::StrideFor(3, PixelFormat::Bits24), 12);
    EXPECT_EQ(Bitmap::StrideFor(5, PixelFormat::Bits24), 16);
    EXPECT_EQ(Bitmap::StrideFor(5, PixelFormat::Bits8), 8);

    Bitmap bitmap(3, 4);
    ASSERT_EQ(bitmap.Stride(), 12);
    for (int row = 1; row < 4; ++row)
        EXPECT_EQ(bitmap.ScanLine(row - 1) - bitmap.ScanLine(row), 12); // row 0 has the highest address
    bitmap.SetPixel(2, 0, rgb(1, 2, 3));
    const uint8_t* top = bitmap.ScanLine(0);
    EXPECT_EQ(top[6], 3); // blue, green, red
    EXPECT_EQ(top[7], 2);
    EXPECT_EQ(top[8], 1);
    EXPECT_THROW(bitmap.ScanLine(4), platform::EInvalidGraphicOperation);
    EXPECT_THROW(bitmap.ScanLine(-1), platform::EInvalidGraphicOperation);
}

TEST(Bitmap, ResizingKeepsTheSharedTopLeftPixelsAndRefusesHugeSizes)
{
    Bitmap bitmap = paintedBitmap(3, 2, [](int x, int y) { return rgb(10 + x, 20 + y, 30); });
    bitmap.SetSize(5, 4);
    EXPECT_EQ(bitmap.Pixel(2, 1), rgb(12, 21, 30));
    EXPECT_EQ(bitmap.Pixel(0, 0), rgb(10, 20, 30));
    EXPECT_EQ(bitmap.Pixel(4, 3), 0u); // new pixels are black
    bitmap.SetWidth(2);
    bitmap.SetHeight(1);
    EXPECT_EQ(bitmap.Pixel(1, 0), rgb(11, 20, 30));
    EXPECT_EQ(bitmap.Pixel(2, 0), platform::kInvalidColor);

    for (auto [w, h] : {std::pair{-1, 4}, {4, -1}, {Bitmap::kMaxSide + 1, 1}, {Bitmap::kMaxSide, Bitmap::kMaxSide}})
        EXPECT_THROW(bitmap.SetSize(w, h), platform::EInvalidGraphicOperation) << w << "x" << h;
    EXPECT_EQ(bitmap.Width(), 2); // a refused size changes nothing
    EXPECT_EQ(bitmap.Pixel(1, 0), rgb(11, 20, 30));
    bitmap.SetSize(0, 7);
    EXPECT_TRUE(bitmap.Empty());
}

TEST(Bitmap, PaletteHoldsBlackAndWhiteExactlyAndEveryEntryMapsToItself)
{
    const auto& palette = Bitmap::Palette();
    EXPECT_EQ(palette[0], 0u);
    EXPECT_EQ(palette[251], 0xFFFFFFu);
    EXPECT_EQ(std::set<platform::ColorRef>(palette.begin(), palette.end()).size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(Bitmap::NearestPaletteIndex(palette[i]), i);
    EXPECT_EQ(palette[Bitmap::NearestPaletteIndex(rgb(250, 5, 5))], rgb(255, 0, 0));
    EXPECT_EQ(palette[Bitmap::NearestPaletteIndex(rgb(100, 104, 98))], rgb(102, 102, 102));
}

TEST(Bitmap, PixelFormatRoundTripKeepsBlackAndWhite)
{
    Bitmap bitmap = paintedBitmap(5, 3, [](int x, int y) {
        return x == 0 ? 0u : x == 1 ? 0xFFFFFFu : rgb(40 * x, 30 * y, 200);
    });
    bitmap.SetPixelFormat(PixelFormat::Bits8);
    EXPECT_EQ(bitmap.Stride(), 8);
    EXPECT_EQ(bitmap.ScanLine(2)[0], 0);   // black's index
    EXPECT_EQ(bitmap.ScanLine(2)[1], 251); // white's index
    bitmap.SetPixelFormat(PixelFormat::Bits24);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(bitmap.Pixel(0, y), 0u);
        EXPECT_EQ(bitmap.Pixel(1, y), 0xFFFFFFu);
    }
    EXPECT_EQ(bitmap.Pixel(4, 2), rgb(153, 43, 204)); // nearest entry of (160, 60, 200)
}

TEST(Bitmap, CanvasFillsClipsStretchesAndCopies)
{
    Bitmap bitmap(4, 4);
    bitmap.BrushColor = rgb(9, 8, 7);
    bitmap.FillRect(-5, 2, 2, 99);
    EXPECT_EQ(bitmap.Pixel(1, 3), rgb(9, 8, 7));
    EXPECT_EQ(bitmap.Pixel(2, 3), 0u); // right edge excluded
    EXPECT_EQ(bitmap.Pixel(1, 1), 0u);
    bitmap.PenColor = 0xFFFFFF;
    bitmap.Rectangle(0, 0, 3, 3);
    EXPECT_EQ(bitmap.Pixel(2, 0), 0xFFFFFFu);
    EXPECT_EQ(bitmap.Pixel(1, 1), rgb(9, 8, 7));
    bitmap.SetPixel(-1, 0, 0x123456); // ignored
    EXPECT_EQ(bitmap.Pixel(4, 0), platform::kInvalidColor);

    Bitmap small = paintedBitmap(2, 2, [](int x, int y) { return rgb(100 * x, 100 * y, 7); });
    Bitmap large(4, 4);
    large.StretchDraw(small);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(large.Pixel(x, y), small.Pixel(x / 2, y / 2)) << x << "," << y;
    Bitmap palettised(2, 2, PixelFormat::Bits8);
    palettised.StretchDraw(large); // shrinking picks one source pixel each, across formats
    EXPECT_EQ(palettised.Pixel(1, 1), rgb(102, 85, 0)); // nearest entry of (100, 100, 7)

    Bitmap copy;
    copy.Assign(small);
    copy.SetPixel(0, 0, 0xFFFFFF);
    EXPECT_EQ(small.Pixel(0, 0), rgb(0, 0, 7));
    EXPECT_EQ(copy.Width(), 2);
}

namespace {

struct LitArea {
    int count = 0;
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    platform::ColorRef brightest = 0;
};

LitArea litArea(const Bitmap& bitmap, platform::ColorRef background = 0)
{
    LitArea area;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            platform::ColorRef c = bitmap.Pixel(x, y);
            if (c == background)
                continue;
            ++area.count;
            area.left = std::min(area.left, x);
            area.right = std::max(area.right, x);
            area.top = std::min(area.top, y);
            area.bottom = std::max(area.bottom, y);
            if ((c & 0xFF) > (area.brightest & 0xFF))
                area.brightest = c;
        }
    return area;
}

Bitmap blackSheet(int width, int height, const std::string& face, bool bold, platform::ColorRef color)
{
    Bitmap sheet(width, height);
    sheet.BrushColor = 0;
    sheet.FillRect(0, 0, width, height);
    sheet.Font.name = face;
    sheet.Font.size = 16;
    sheet.Font.bold = bold;
    sheet.Font.color = color;
    return sheet;
}

} // namespace

TEST(BitmapText, GlyphLiesInItsCellWithTheBaselineOneAscentBelowThePoint)
{
    Bitmap sheet = blackSheet(64, 64, "Arial", true, 0xFFFFFF);
    // 16 points at 96 dpi is a 21-pixel em; the Windows ascent of the face
    // (1854 of 2048 units) puts the baseline 19 pixels below the cell top.
    ASSERT_EQ(sheet.TextAscent(), 19);
    sheet.TextOut(10, 10, "A");
    LitArea a = litArea(sheet);
    ASSERT_GT(a.count, 50);
    EXPECT_EQ(a.brightest, 0xFFFFFFu);
    EXPECT_GE(a.left, 10);
    EXPECT_LT(a.right, 10 + 21);
    EXPECT_GE(a.top, 10);
    EXPECT_EQ(a.bottom, 10 + 19 - 1); // "A" sits on the baseline
}

TEST(BitmapText, GlyphsBlendInTheFontColourOverWhatIsThere)
{
    const platform::ColorRef sheetColor = rgb(128, 204, 204);
    Bitmap sheet = blackSheet(32, 32, "Arial", true, sheetColor);
    sheet.TextOut(1, 1, "W");
    LitArea w = litArea(sheet);
    EXPECT_EQ(w.brightest, sheetColor);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            platform::ColorRef c = sheet.Pixel(x, y);
            EXPECT_LE(c & 0xFF, 128u);
            EXPECT_LE((c >> 8) & 0xFF, 204u);
        }

    Bitmap red(32, 32);
    red.BrushColor = rgb(255, 0, 0);
    red.FillRect(0, 0, 32, 32);
    red.Font = sheet.Font;
    red.Font.color = rgb(0, 0, 255);
    red.TextOut(1, 1, "W");
    int mixed = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            platform::ColorRef c = red.Pixel(x, y);
            if ((c & 0xFF) != 0 && (c & 0xFF) != 255 && (c >> 16) != 0)
                ++mixed; // an anti-aliased edge: part background, part glyph
        }
    EXPECT_GT(mixed, 0);
    EXPECT_EQ(red.Pixel(31, 31), rgb(255, 0, 0));
}

TEST(BitmapText, Big5CharacterPaintsInTheMingFaceAndBoldIsHeavier)
{
    platform::SetActiveCodePage(platform::kCodePageBig5);
    const std::string zhong = "\xA4\xA4"; // U+4E2D
    Bitmap bold = blackSheet(32, 32, platform::kBig5MingFaceName, true, 0xFFFFFF);
    bold.TextOut(1, 1, zhong);
    Bitmap regular = blackSheet(32, 32, platform::kBig5MingFaceName, false, 0xFFFFFF);
    regular.TextOut(1, 1, zhong);
    LitArea b = litArea(bold), r = litArea(regular);
    ASSERT_GT(r.count, 30);
    EXPECT_GT(b.count, r.count);
    EXPECT_GE(b.left, 1);
    EXPECT_LT(b.right, 1 + 24);
    EXPECT_GE(b.top, 1);
    EXPECT_LT(b.bottom, 1 + 24);
}

TEST(BitmapText, TextIsClippedToTheBitmapWhereverItStarts)
{
    platform::SetActiveCodePage(platform::kCodePageBig5);
    Bitmap sheet = blackSheet(12, 12, "Arial", true, 0xFFFFFF);
    sheet.TextOut(-6, -8, "Mg");
    EXPECT_GT(litArea(sheet).count, 0);
    for (auto [x, y] : {std::pair{INT_MAX - 2, 0}, {0, INT_MAX - 2}, {INT_MIN, INT_MIN}, {8, 8}})
        sheet.TextOut(x, y, "WW\xA4"); // a lone lead byte at the end draws the missing glyph
    Bitmap empty;
    empty.TextOut(0, 0, "A");
    EXPECT_TRUE(empty.Empty());
}
