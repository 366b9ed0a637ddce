// Thumbnails: the executable on files as file managers pass them, and the
// decoding of the URIs they pass.
#include "ToolRun.h"

#include "app/tools/Thumbnail.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace {

using namespace tooltest;

// The sample game again as loose files, in a folder whose name has a space.
constexpr char kLooseGame[] = "loose game";

class ThumbnailRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<ToolFolder>();
        samples::writeSampleGame(folder->dir.file(kLooseGame), samples::GameLayout::Loose);
    }
    static void TearDownTestSuite() { folder.reset(); }

    static std::unique_ptr<ToolFolder> folder;
};

std::unique_ptr<ToolFolder> ThumbnailRun::folder;

struct SizeCase {
    const char* sizeOption;
    int side;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.side; }

class ThumbnailSize : public ThumbnailRun, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ThumbnailSize, PictureIsTheGivenSideSquare)
{
    std::string out;
    ASSERT_EQ(folder->run(std::string("--thumbnail SampleGame/pak0.pk3 size.png ") + GetParam().sizeOption, out), 0)
        << out;
    const Png png = readPng(folder->dir.file("size.png"));
    const int side = GetParam().side;
    EXPECT_EQ(png.width, side);
    EXPECT_EQ(png.height, side);
    EXPECT_GT(png.count(lit), side * side / 20);
}

INSTANTIATE_TEST_SUITE_P(Thumbnail, ThumbnailSize,
                         ::testing::Values(SizeCase{"--thumbnail-size 64", 64}, SizeCase{"--thumbnail-size 128", 128},
                                           SizeCase{"", 256}),
                         [](const auto& info) { return "Side" + std::to_string(info.param.side); });

} // namespace

TEST(ThumbnailInput, FileUrisArePercentDecoded)
{
    EXPECT_EQ(ThumbnailInputPath("file:///home/a%20b/c.md3"), "/home/a b/c.md3");
    EXPECT_EQ(ThumbnailInputPath("file://localhost/x/%c3%A9.pk3"), "/x/\xC3\xA9.pk3");
    EXPECT_EQ(ThumbnailInputPath("FILE:///x"), "/x");
    // Another machine's file is no local path.
    EXPECT_THROW(ThumbnailInputPath("file://elsewhere.example/x/a.md3"), std::invalid_argument);
    // A percent sign without two hex digits after it stays.
    EXPECT_EQ(ThumbnailInputPath("file:///50%25%zz%2"), "/50%%zz%2");
    // A plain path is a path, percent signs and all.
    EXPECT_EQ(ThumbnailInputPath("models/a%20b.md3"), "models/a%20b.md3");
}

// An .md3 beside the other two parts shows its whole character (given as a
// URI with an encoded space); one alone shows just itself, untextured here
// because its images are not beside it.
TEST_F(ThumbnailRun, Md3ShowsItsWholeCharacterOrItselfAlone)
{
    const std::string uri = "file://" + folder->dir.path() + "loose%20game/models/players/bruno/lower.md3";
    std::string out;
    ASSERT_EQ(folder->run("--thumbnail '" + uri + "' whole.png --thumbnail-size 128", out), 0) << out;
    const Png whole = readPng(folder->dir.file("whole.png"));
    ASSERT_EQ(whole.width, 128);
    EXPECT_GT(whole.count(orange), 20);
    const auto figure = whole.extent(lit);
    EXPECT_GT(figure[3], figure[2]); // standing: taller than wide

    std::filesystem::create_directory(folder->dir.file("lone"));
    std::filesystem::copy_file(folder->dir.file(std::string(kLooseGame) + "/models/players/bruno/upper.md3"),
                               folder->dir.file("lone/upper.md3"));
    ASSERT_EQ(folder->run("--thumbnail lone/upper.md3 part.png --thumbnail-size 128", out), 0) << out;
    const Png part = readPng(folder->dir.file("part.png"));
    ASSERT_EQ(part.width, 128);
    EXPECT_GT(part.count(lit), 128 * 128 / 20);
    EXPECT_EQ(part.count(orange), 0);
}

// A character folder shows that character; an archive its first character.
TEST_F(ThumbnailRun, FolderAndArchiveShowTheirCharacter)
{
    std::string out;
    ASSERT_EQ(folder->run("--thumbnail \"loose game/models/players/mira\" mira.png --thumbnail-size 128", out), 0)
        << out;
    EXPECT_GT(readPng(folder->dir.file("mira.png")).count(pink), 20);
    // pak0.pk3 holds bruno and mira; bruno comes first, in camouflage there.
    ASSERT_EQ(folder->run("--thumbnail SampleGame/pak0.pk3 first.png --thumbnail-size 128", out), 0) << out;
    const Png first = readPng(folder->dir.file("first.png"));
    EXPECT_GT(first.count(lit), 128 * 128 / 20);
    EXPECT_EQ(first.count(pink), 0);
}

// Nothing to draw: status 1 and no picture.
TEST_F(ThumbnailRun, NothingToDrawExitsOneWithoutAPicture)
{
    std::string out;
    EXPECT_EQ(folder->run("--thumbnail nosuch.md3 none.png", out), 1);
    EXPECT_NE(out.find("nosuch.md3: no such file"), std::string::npos) << out;
    EXPECT_FALSE(folder->exists("none.png"));

    folder->dir.write("bad/broken.md3", std::string("IDP3\x0f\0\0\0", 8) + std::string(100, '\x7f'));
    EXPECT_EQ(folder->run("--thumbnail bad/broken.md3 broken.png", out), 1);
    EXPECT_FALSE(folder->exists("broken.png"));
}
