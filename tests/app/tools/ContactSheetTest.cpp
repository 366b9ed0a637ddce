// The contact sheet: the executable on the sample game data for what users
// get (the PNG, the exit status, standard error), and in-process where
// counts are needed (font builds, live textures).
#include "platform/system/System.h"
#include "ToolRun.h"

#include "OpglLib/OpglTxtFont.h"
#include "app/common/CharacterPicture.h"
#include "app/common/CommandLine.h"
#include "app/tools/ContactSheet.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <ostream>

namespace {

using namespace tooltest;

// Rows at the bottom of a cell that hold its label, below the character.
constexpr int kLabelRows = 18;

class ContactSheetRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() { folder = std::make_unique<ToolFolder>(); }
    static void TearDownTestSuite() { folder.reset(); }

    struct Grid {
        int cellWidth, cellHeight, columns;
        // Cell i's rectangle without its label strip: x, y, w, h.
        std::array<int, 4> picture(int i) const
        {
            return {i % columns * cellWidth, i / columns * cellHeight, cellWidth, cellHeight - kLabelRows};
        }
        // The left half of cell i's label strip.
        std::array<int, 4> label(int i) const
        {
            return {i % columns * cellWidth, (i / columns + 1) * cellHeight - kLabelRows, cellWidth / 2, kLabelRows};
        }
    };
    static int count(const Png& png, const std::array<int, 4>& r, PixelTest test)
    {
        return png.count(r[0], r[1], r[2], r[3], test);
    }

    static std::unique_ptr<ToolFolder> folder;
};

std::unique_ptr<ToolFolder> ContactSheetRun::folder;


struct SheetCase {
    const char* name;
    const char* args;
    int cellWidth, cellHeight, columns;
    int cells;
    int width, height;
};

void PrintTo(const SheetCase& c, std::ostream* os) { *os << c.name; }

class SheetLayout : public ContactSheetRun, public ::testing::WithParamInterface<SheetCase> {};

// The sheet is columns x cell width wide whatever the number of cells, the
// cells fill it row by row, and the cells left over are pure background.
TEST_P(SheetLayout, SizeFollowsCellColumnsAndCellCount)
{
    const SheetCase& c = GetParam();
    std::string out;
    ASSERT_EQ(folder->run(std::string("--contact-sheet sheet.png --game-root SampleGame ") + c.args, out), 0) << out;
    const Png png = readPng(folder->dir.file("sheet.png"));
    ASSERT_EQ(png.width, c.width);
    ASSERT_EQ(png.height, c.height);
    const Grid grid{c.cellWidth, c.cellHeight, c.columns};
    const int slots = c.width / c.cellWidth * (c.height / c.cellHeight);
    for (int i = 0; i < slots; ++i) {
        const auto r = grid.picture(i);
        const int drawn = png.count(r[0], r[1], c.cellWidth, c.cellHeight, lit);
        if (i < c.cells)
            EXPECT_GT(drawn, r[2] * r[3] / 20) << "cell " << i;
        else
            EXPECT_EQ(drawn, 0) << "cell " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ContactSheet, SheetLayout,
    ::testing::Values(SheetCase{"Defaults", "", 256, 256, 6, 4, 1536, 256},
                      SheetCase{"EverySkin", "--all-skins --cell 96x128 --columns 2", 96, 128, 2, 9, 192, 640},
                      SheetCase{"NamedFewerThanColumns", "--cell 64x80 --columns 4 mira bruno", 64, 80, 4, 2, 256, 80}),
    [](const auto& info) { return std::string(info.param.name); });

// Each cell shows its own character in its colours, in name order, with its
// name below it; progress names every cell; the settings stay unwritten.
TEST_F(ContactSheetRun, CellsShowTheirCharactersInNameOrderWithLabels)
{
    std::string out;
    ASSERT_EQ(folder->run("--contact-sheet named.png --game-root SampleGame --cell 128x160 --columns 3", out), 0)
        << out;
    // One line per cell, in order; the game data's own messages (its broken
    // shader script) may come in between.
    const std::string progress = platform::LowerCase(out);
    size_t at = 0;
    for (const char* line :
         {"[1/4] bruno/default\n", "[2/4] mira/default\n", "[3/4] oskar/default\n", "[4/4] vesta/default\n"}) {
        at = progress.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << " in " << out;
    }

    const Png png = readPng(folder->dir.file("named.png"));
    ASSERT_EQ(png.width, 384);
    const Grid grid{128, 160, 3};
    const PixelTest colours[3] = {orange, pink, steelBlue};
    for (int own = 0; own < 3; ++own) {
        const int mine = count(png, grid.picture(own), colours[own]);
        EXPECT_GT(mine, 100) << "cell " << own;
        for (int other = 0; other < 3; ++other) {
            if (other != own) {
                EXPECT_LT(count(png, grid.picture(other), colours[own]) * 10, mine) << own << " in " << other;
            }
        }
        // Text, not a filled box.
        const int ink = count(png, grid.label(own), labelInk);
        EXPECT_GT(ink, 15) << "cell " << own;
        EXPECT_LT(ink, 64 * kLabelRows / 2) << "cell " << own;
    }
    EXPECT_FALSE(folder->exists("Quillmo.ini"));
}

// --torso and --legs pose every cell and the thumbnail: lying dead, bruno and
// mira (their warm colours, not the weapon's) are wider than tall, standing
// taller than wide.
TEST_F(ContactSheetRun, TorsoAndLegsOptionsPoseTheCellsAndTheThumbnail)
{
    const auto warm = [](Rgb c) { return c.r > 50 && c.r >= c.g && c.r > c.b; };
    const auto lying = [&](const Png& png, int x, int y, int w, int h) {
        int left = x + w, right = x - 1, top = y + h, bottom = y - 1;
        for (int row = y; row < y + h; ++row)
            for (int col = x; col < x + w; ++col)
                if (warm(png.at(col, row))) {
                    left = std::min(left, col), right = std::max(right, col);
                    top = std::min(top, row), bottom = std::max(bottom, row);
                }
        return right - left > bottom - top;
    };
    std::string out;
    for (const std::string pose : {"", " --legs BOTH_DEAD2"}) {
        ASSERT_EQ(folder->run("--contact-sheet pose.png --game-root SampleGame --cell 128x160 --columns 3" + pose, out),
                  0)
            << out;
        const Png sheet = readPng(folder->dir.file("pose.png"));
        for (int cell : {0, 1}) {
            const auto r = Grid{128, 160, 3}.picture(cell);
            EXPECT_EQ(lying(sheet, r[0], r[1], r[2], r[3]), !pose.empty()) << "cell " << cell << pose;
        }
        ASSERT_EQ(folder->run("--thumbnail SampleGame/pak0.pk3 thumb.png --thumbnail-size 96" + pose, out), 0) << out;
        EXPECT_EQ(lying(readPng(folder->dir.file("thumb.png")), 0, 0, 96, 96), !pose.empty()) << pose;
    }
}

// A character that cannot be loaded is crossed out and named on standard
// error; the others are drawn and the sheet is still written.
TEST_F(ContactSheetRun, BrokenCharacterIsCrossedOutAndTheSheetStillWritten)
{
    const std::string game = folder->dir.file("broken");
    samples::writeSampleGame(game, samples::GameLayout::Loose);
    const std::string upper = game + "/models/players/mira/upper.md3";
    std::filesystem::resize_file(upper, 300);

    std::string out;
    // Written, and the status says that it is not whole.
    ASSERT_EQ(folder->run("--contact-sheet broken.png --game-root broken --cell 128x160 --columns 3", out), 1) << out;
    EXPECT_NE(out.find("Quillmo: mira: "), std::string::npos) << out;
    EXPECT_NE(out.find("upper.md3"), std::string::npos) << out;
    const Png png = readPng(folder->dir.file("broken.png"));
    ASSERT_EQ(png.width, 384);
    const Grid grid{128, 160, 3};
    EXPECT_GT(count(png, grid.picture(1), red), 2 * 128);
    EXPECT_GT(count(png, grid.label(1), labelInk), 15);
    for (int drawn : {0, 2}) {
        EXPECT_LT(count(png, grid.picture(drawn), red), 10) << "cell " << drawn;
        EXPECT_GT(count(png, grid.picture(drawn), lit), 128 * 142 / 20) << "cell " << drawn;
    }
}

// What cannot run ends with status 2 and no sheet: no such game root, a
// folder for the output that is not there, a sheet too large to hold.
TEST_F(ContactSheetRun, WhatCannotRunExitsTwoWithoutASheet)
{
    std::string out;
    EXPECT_EQ(folder->run("--contact-sheet a.png --game-root nowhere", out), 2) << out;
    EXPECT_NE(out.find("Quillmo: "), std::string::npos);
    EXPECT_FALSE(folder->exists("a.png"));

    EXPECT_EQ(folder->run("--contact-sheet gone/b.png --game-root SampleGame", out), 2) << out;
    EXPECT_NE(out.find("gone/"), std::string::npos) << out;

    EXPECT_EQ(folder->run("--contact-sheet c.png --game-root SampleGame --columns 1000", out), 2) << out;
    EXPECT_NE(out.find("too large"), std::string::npos) << out;
    EXPECT_FALSE(folder->exists("c.png"));
}

// Live GL texture names among the first few thousand.
int liveTextures()
{
    constexpr GLuint kNamesScanned = 4096;
    int live = 0;
    for (GLuint name = 1; name <= kNamesScanned; ++name)
        live += glIsTexture(name) == GL_TRUE;
    return live;
}

} // namespace

// One sheet builds the texture font once, however many cells it has, and
// leaves the settings file unwritten.
TEST(ContactSheet, BuildsTheFontOnceForTheWholeSheet)
{
    testsupport::Sandbox sandbox;
    samples::writeSampleGame(sandbox.dir.file(kGame), samples::GameLayout::Archives);
    const std::string sheet = sandbox.dir.file("sheet.png");
    const CommandLine options = ParseCommandLine(
        {"--contact-sheet", sheet, "--game-root", sandbox.dir.file(kGame), "--all-skins", "--cell", "64x64"});
    const uint32_t before = TGLTxtFont::Builds();
    ASSERT_EQ(RunContactSheet(options), 0);
    EXPECT_EQ(TGLTxtFont::Builds() - before, 1u);
    EXPECT_EQ(readPng(sheet).width, 6 * 64);
    EXPECT_FALSE(std::filesystem::exists(sandbox.settingsPath()));
}

// Each character's textures are gone once its picture is read: the number
// of live textures is the same after every cell as before the first.
TEST(ContactSheet, TexturesOfEachCellAreFreed)
{
    testsupport::Sandbox sandbox;
    samples::writeSampleGame(sandbox.dir.file(kGame), samples::GameLayout::Archives);
    CommandLine options;
    options.gameRoot = sandbox.dir.file(kGame);
    const std::vector<CharacterChoice> characters = ResolveCharacterList(options);
    ASSERT_EQ(characters.size(), 4u);

    OffscreenRun run;
    PictureStudio studio(64, 64);
    const int before = liveTextures();
    for (const CharacterChoice& character : characters) {
        const Picture picture = studio.DrawCharacter(character, character.name);
        Png png{picture.width, picture.height, picture.rgb};
        EXPECT_GT(png.count(lit), 200) << character.name;
        EXPECT_EQ(liveTextures(), before) << character.name;
    }
    // The textures were there while the first character was drawn: its
    // torso shows the colour of its image.
    const Picture first = studio.DrawCharacter(characters.front(), "");
    EXPECT_GT((Png{first.width, first.height, first.rgb}.count(orange)), 20);
}

namespace {

// A character whose shaders are named after their own images draws with the
// shaders, not the images: without the game data's scripts it looks plainly
// different.
TEST(ContactSheet, ShadersNamedAfterTheirImagesDrawInsteadOfTheImages)
{
    testsupport::Sandbox sandbox;
    auto choose = [&](const std::string& game) {
        samples::writeSampleGame(sandbox.dir.file(game), samples::GameLayout::Loose);
        CommandLine options;
        options.gameRoot = sandbox.dir.file(game);
        options.paths = {samples::kEffectsCharacter};
        return ResolveCharacterList(options).front();
    };
    const CharacterChoice withScripts = choose("Game"), withoutScripts = choose("Plain");
    std::filesystem::remove(sandbox.dir.file(std::string("Plain/") + samples::kEffectsScript));
    OffscreenRun run;
    PictureStudio studio(96, 128);
    const Picture shaded = studio.DrawCharacter(withScripts, "");
    const Picture plain = studio.DrawCharacter(withoutScripts, "");
    ASSERT_EQ(shaded.rgb.size(), plain.rgb.size());
    size_t differing = 0;
    for (size_t i = 0; i < shaded.rgb.size(); i += 3)
        differing += !std::equal(&shaded.rgb[i], &shaded.rgb[i] + 3, &plain.rgb[i]);
    EXPECT_GT(differing, shaded.rgb.size() / 3 / 20);
}

} // namespace
