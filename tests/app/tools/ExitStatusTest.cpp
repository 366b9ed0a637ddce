// The exit statuses of the runs without a window, one case for every cell of
// the README's table of them (the test reads the table, so that the two
// cannot part).
#include "ToolRun.h"
#include "support/ZipWriter.h"
#include "tools/samples/SkinnedCharacter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

using tooltest::ToolFolder;
namespace fs = std::filesystem;

struct StatusCase {
    const char* run; // the README row: "--check", "--surfaces", "--contact-sheet", "--thumbnail", "--screenshot",
                     // "--export", "--record", "--pack", "--import"
    int status;
    const char* what;
    const char* args;
    const char* output;  // a file the run must leave ("" for none)
    const char* message; // a piece of what it must say ("" for nothing asked)
};

// Game data beside the samples: "Broken", the sample game with an archive
// that is no zip file; "NoTorso", the sample game loose with bruno's torso
// cut short; "NoLegs", the same whole but for the image of bruno's legs;
// "Empty", a character folder whose three parts are no models; a file that is
// no model.
const StatusCase kCases[] = {
    {"--check", 0, "no errors", "--check --game-root SampleGame mira oskar", "", ""},
    {"--check", 1, "an archive of the game data that cannot be read", "--check --game-root Broken", "",
     "(game data): error: zz-broken.pk3: not a zip archive"},
    {"--check", 2, "game data that cannot be read", "--check --game-root nowhere", "", "Quillmo: "},
    // Standard error goes to the full disk too: the status alone tells.
    {"--check", 2, "a full disk", "--check --game-root SampleGame >/dev/full", "", ""},
    {"--surfaces", 0, "every surface the character and its weapon draw as written",
     "--surfaces --game-root SampleGame oskar", "", "oskar"},
    {"--surfaces", 1, "cannot be read", "--surfaces NoTorso/models/players/bruno", "", "upper.md3"},
    {"--surfaces", 1, "an image stops the game", "--surfaces --game-root SampleGame bruno", "", "bruno"},
    {"--surfaces", 2, "a name that is not there", "--surfaces --game-root SampleGame nobody", "", "nobody"},
    {"--surfaces", 2, "the report cannot be written", "--surfaces --game-root SampleGame oskar >/dev/full", "", ""},
    {"--contact-sheet", 0, "the sheet written whole", "--contact-sheet whole.png --game-root SampleGame", "whole.png",
     ""},
    {"--contact-sheet", 1, "an archive left out", "--contact-sheet broken.png --game-root Broken", "broken.png",
     "zz-broken.pk3"},
    {"--contact-sheet", 2, "an output folder that is not there exactly as written",
     "--contact-sheet Sheets/s.png --game-root SampleGame", "", "no folder Sheets/"},
    {"--contact-sheet", 2, "the sheet cannot be written", "--contact-sheet /dev/full --game-root SampleGame", "",
     "No space left on device"},
    {"--thumbnail", 0, "the picture written", "--thumbnail SampleGame/pak0.pk3 thumb.png", "thumb.png", ""},
    {"--thumbnail", 0, "also after a load problem", "--thumbnail NoLegs/models/players/bruno/lower.md3 nolegs.png",
     "nolegs.png", "legs.tga"},
    {"--thumbnail", 1, "nothing could be drawn", "--thumbnail junk.md3 junk.png", "", "Quillmo: "},
    {"--thumbnail", 2, "the picture cannot be written", "--thumbnail SampleGame/pak0.pk3 /dev/full", "",
     "No space left on device"},
    {"--screenshot", 0, "drawn and written", "--game-root SampleGame --frames 2 --screenshot shot.png", "shot.png", ""},
    {"--screenshot", 1, "a part or character that did not load", "NoTorso --frames 2 --screenshot torso.png",
     "torso.png", "upper.md3"},
    {"--screenshot", 2, "a name that is not there", "--game-root SampleGame --character nobody --screenshot x.png", "",
     "nobody"},
    {"--screenshot", 2, "the picture cannot be written", "--game-root SampleGame --screenshot /dev/full", "",
     "No space left on device"},
    {"--export", 0, "the file written", "--game-root SampleGame --export whole.glb", "whole.glb", ""},
    {"--export", 1, "a part that did not load is left out", "NoTorso --export torso.glb", "torso.glb", "upper.md3"},
    {"--export", 2, "a name that is not there", "--game-root SampleGame --character nobody --export x.glb", "",
     "nobody"},
    // full.* lead to /dev/full, since the file's extension says what is written.
    {"--export", 2, "the file cannot be written", "--game-root SampleGame --export full.gltf", "",
     "No space left on device"},
    {"--record", 0, "the picture written", "--game-root SampleGame --record walk.gif --seconds 0.2", "walk.gif", ""},
    {"--record", 1, "the picture written after a load problem", "NoTorso --record torso.webp --seconds 0.2",
     "torso.webp", "upper.md3"},
    {"--record", 1, "nothing to draw (no file)", "Empty --record x.webp --seconds 0.2", "", "Quillmo: "},
    {"--record", 2, "the picture cannot be written", "--game-root SampleGame --record full.webp --seconds 0.2", "",
     "No space left on device"},
    // A GIF goes to its file as it is made: the full disk is met on the way.
    {"--record", 2, "the picture cannot be written", "--game-root SampleGame --record full.gif --seconds 0.2", "",
     "No space left on device"},
    // Told before anything is drawn: WebP's limit, and no new file among the devices.
    {"--record", 2, "the picture cannot be written", "--game-root SampleGame --record wide.webp --size 16384x16", "",
     "at most 16383 pixels a side"},
    {"--export", 2, "the file cannot be written", "--game-root SampleGame --export /dev/quillmo-test.gltf", "",
     "a path under /dev is no place for a new file"},
    {"--pack", 0, "the pack written and proven", "--pack vesta.pk3 SampleGame/models/players/vesta", "vesta.pk3", ""},
    {"--pack", 1, "errors found", "--pack x.pk3 NoTorso/models/players/bruno", "", "bruno: error: "},
    {"--pack", 1, "nothing to pack", "--pack x.pk3 --game-root SampleGame bruno", "", "nothing to pack"},
    {"--pack", 2, "a name that is not there", "--pack x.pk3 --game-root SampleGame nobody", "", "nobody"},
    {"--import", 0, "written and checked without errors", "--import wren.glb --to Imported", "Imported/models/players/wren/lower.md3", ""},
    {"--import", 1, "refused by the game's limits", "--import far.glb --to Far", "", "over by"},
    {"--import", 2, "the file cannot be read", "--import junk.md3 --to Imported", "", "junk.md3"},
    {"--import", 2, "the folder cannot be written", "--import wren.glb --to /dev/null/x", "", "cannot write"},
    {"--pack", 2, "the pack cannot be written", "--pack /dev/quillmo-test.pk3 SampleGame/models/players/vesta", "",
     "a path under /dev is no place for a new file"},
};

class ExitStatus : public ::testing::TestWithParam<StatusCase> {
protected:
    static void SetUpTestSuite()
    {
        folder = std::make_unique<ToolFolder>();
        const std::string broken = folder->dir.file("Broken");
        fs::copy(folder->dir.file(tooltest::kGame), broken, fs::copy_options::recursive);
        folder->dir.write("Broken/zz-broken.pk3", std::string(64, 'Z'));
        samples::writeSampleGame(folder->dir.file("NoTorso"), samples::GameLayout::Loose);
        fs::copy(folder->dir.file("NoTorso"), folder->dir.file("NoLegs"), fs::copy_options::recursive);
        fs::remove(folder->dir.file("NoLegs/models/players/bruno/legs.tga"));
        fs::resize_file(folder->dir.file("NoTorso/models/players/bruno/upper.md3"), 200);
        folder->dir.write("junk.md3", "not a model");
        for (const char* part : {"lower", "upper", "head"})
            folder->dir.write(std::string("Empty/models/players/empty/") + part + ".md3", "not a model");
        samples::SkinnedCharacter character = samples::SampleSkinnedCharacter();
        folder->dir.write("wren.glb", samples::SkinnedCharacterGlb(character));
        character.meshes[0].vertices[0].position = {20, 0, 0}; // beyond the format's reach
        folder->dir.write("far.glb", samples::SkinnedCharacterGlb(character));
        fs::create_directories(folder->dir.file("sheets"));
        for (const char* name : {"full.gltf", "full.webp", "full.gif"})
            fs::create_symlink("/dev/full", folder->dir.file(name));
    }
    static void TearDownTestSuite() { folder.reset(); }

    static std::unique_ptr<ToolFolder> folder;
};

std::unique_ptr<ToolFolder> ExitStatus::folder;

TEST_P(ExitStatus, IsWhatTheReadmeSays)
{
    const StatusCase& c = GetParam();
    std::string out;
    EXPECT_EQ(folder->run(c.args, out), c.status) << out;
    if (*c.output) {
        EXPECT_TRUE(folder->exists(c.output)) << c.output;
    }
    if (*c.message) {
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
    // Nothing half made is left behind by a run that failed its output.
    const std::string run = c.run;
    if (c.status == 2 || (c.status == 1 && (run == "--thumbnail" || run == "--pack"))) {
        for (const char* name : {"x.png", "junk.png", "Sheets", "x.glb", "x.webp", "x.pk3"})
            EXPECT_FALSE(folder->exists(name)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ExitStatus, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<StatusCase>& info) {
                             std::string name = std::string(info.param.run).substr(2) + "_" +
                                                std::to_string(info.param.status) + "_" + info.param.what + "_" +
                                                std::to_string(info.index);
                             for (char& ch : name)
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

// Every cell of the README's table has a case above, and every case a cell.
TEST(ExitStatusTable, EveryCellOfTheReadmeHasACase)
{
    std::ifstream readme(README_PATH);
    ASSERT_TRUE(readme) << README_PATH;
    std::map<std::pair<std::string, int>, std::string> cells;
    bool inTable = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("| Run | 0 | 1 | 2 |", 0) == 0) {
            inTable = true;
            continue;
        }
        if (!inTable || line.rfind("|---", 0) == 0)
            continue;
        if (line.rfind("|", 0) != 0)
            break;
        std::vector<std::string> columns;
        std::stringstream row(line.substr(1));
        for (std::string column; std::getline(row, column, '|');)
            columns.push_back(column);
        ASSERT_GE(columns.size(), 4u) << line;
        const size_t start = columns[0].find("`--") + 1, end = columns[0].find('`', start);
        const std::string run = columns[0].substr(start, end - start);
        for (int status = 0; status <= 2; ++status)
            if (columns[static_cast<size_t>(status) + 1].find_first_not_of(' ') != std::string::npos)
                cells[{run, status}] = columns[static_cast<size_t>(status) + 1];
    }
    // Each case is a statement of its cell, quoted; every cell has one.
    std::set<std::pair<std::string, int>> covered;
    for (const StatusCase& c : kCases) {
        const auto cell = cells.find({c.run, c.status});
        ASSERT_NE(cell, cells.end()) << c.run << " " << c.status;
        EXPECT_NE(cell->second.find(c.what), std::string::npos) << c.run << " " << c.status << ": " << c.what;
        covered.insert(cell->first);
    }
    EXPECT_EQ(covered.size(), cells.size());
}

} // namespace

// Ten thousand archives mount with 256 descriptors, and the character of
// the ones mounted last opens whole: archives are opened when read, a few at
// a time.
TEST(ManyArchives, TenThousandMountUnderALowDescriptorLimitAndTheLastOnesCharacterOpens)
{
    ToolFolder folder;
    const std::string many = folder.dir.file("Many");
    fs::create_directories(many);
    for (int i = 0; i < 9999; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/pak%04d.pk3", i);
        std::ofstream(many + name, std::ios::binary)
            << testsupport::makeZip({{"models/players/shared.txt", name, true}});
    }
    // The sample game last: its archives sorted after all others, its loose files.
    fs::copy(folder.dir.file(tooltest::kGame), many, fs::copy_options::recursive);
    fs::rename(many + "/pak0.pk3", many + "/zzzz0.pk3");
    fs::rename(many + "/pak1.pk3", many + "/zzzz1.pk3");
    std::string out;
    EXPECT_EQ(testsupport::runCommand("cd '" + folder.dir.path() + "' && ulimit -n 256 && SDL_VIDEODRIVER=offscreen "
                                      "./Quillmo --game-root Many --character bruno --weapon none --size 160x160 "
                                      "--frames 2 --screenshot last.png 2>&1",
                                      out),
              0)
        << out;
    EXPECT_EQ(out.find("left out"), std::string::npos) << out;
    const tooltest::Png picture = tooltest::readPng(folder.dir.file("last.png"));
    EXPECT_GT(picture.count(tooltest::lit), 160 * 160 / 20);
}
