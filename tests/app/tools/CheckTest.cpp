// The checker as a user runs it: the executable, copied into a temporary
// folder, on the sample characters, the sample game data and broken copies
// of it.
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"
#include "tools/samples/Collections.h"
#include "tools/samples/SampleGame.h"
#include "tools/samples/SampleModels.h"
#include "tools/writers/Md3Writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr const char* kGameData = "(game data): ";
// The folders of the sample data below the test's folder.
constexpr const char* kModels = "Model";
constexpr const char* kArchives = "Game";
constexpr const char* kLoose = "Loose";

struct CheckRun {
    int status = -1;
    std::vector<std::string> lines; // standard output
    std::string errors;             // standard error
};

std::string readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeBytes(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

// Replaces every from with to in file; there must be one.
void replaceIn(const fs::path& file, const std::string& from, const std::string& to)
{
    std::string text = readBytes(file);
    ASSERT_NE(text.find(from), std::string::npos) << from << " in " << file;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    writeBytes(file, text);
}

class Check : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<testsupport::TempDir>();
        fs::copy_file(QUILLMO_EXE, dir->file("Quillmo"));
    }
    static void TearDownTestSuite() { dir.reset(); }

    // Writes the sample data of that name once: kModels, kArchives or kLoose.
    static void need(const std::string& folder)
    {
        if (fs::exists(dir->file(folder)))
            return;
        if (folder == kModels)
            samples::writeSampleModels(dir->file(folder));
        else
            samples::writeSampleGame(dir->file(folder), folder == kArchives ? samples::GameLayout::Archives
                                                                            : samples::GameLayout::Loose);
    }

    static CheckRun run(const std::string& args)
    {
        const std::string command =
            "cd '" + dir->path() + "' && ./Quillmo " + args + " 2>stderr.txt";
        CheckRun result;
        std::string out;
        result.status = testsupport::runCommand(command, out);
        std::istringstream text(out);
        for (std::string line; std::getline(text, line);)
            result.lines.push_back(line);
        result.errors = dir->read("stderr.txt");
        return result;
    }

    static std::unique_ptr<testsupport::TempDir> dir;
};

std::unique_ptr<testsupport::TempDir> Check::dir;

bool isGameDataLine(const std::string& line) { return line.rfind(kGameData, 0) == 0; }

// The lines about characters, without the game data's shader scripts.
std::vector<std::string> characterLines(const std::vector<std::string>& lines)
{
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        if (!isGameDataLine(line))
            kept.push_back(line);
    }
    return kept;
}

TEST_F(Check, SampleGameHasTheFindingsOfItsQuirks)
{
    need(kArchives);
    need(kLoose);
    const CheckRun archives = run("--check --game-root Game");
    ASSERT_EQ(archives.status, 1) << archives.errors;
    ASSERT_FALSE(archives.lines.empty());

    // Problems of the game root's shader scripts come first and are warnings.
    size_t gameData = 0;
    while (gameData < archives.lines.size() && isGameDataLine(archives.lines[gameData]))
        ++gameData;
    for (size_t i = 0; i < gameData; ++i)
        EXPECT_EQ(archives.lines[i].rfind(std::string(kGameData) + "warning: ", 0), 0u) << archives.lines[i];

    // The game's own reader refuses bruno's colour-mapped and run-length grey
    // Targa files (5 errors) and shows the heads stored top row first upside
    // down (6 warnings). Besides, the tag axes longer than 1 and a skin
    // naming a surface twice are the only quirks the game does not take as
    // they are; the longest axis is named.
    std::vector<std::string> others(archives.lines.begin() + static_cast<std::ptrdiff_t>(gameData), archives.lines.end());
    std::erase_if(others, [](const std::string& line) {
        return line.find(": the game refuses this image (image type ") != std::string::npos ||
               line.find("/head.tga: the game ignores the image's top-down flag") != std::string::npos;
    });
    const std::string normalised = "; the game normalises them";
    const std::vector<std::string> expected{
        "bruno: warning: models/players/bruno/lower.md3: tag axes are not of unit length (longest 4)" + normalised,
        "bruno: warning: models/players/bruno/upper.md3: tag axes are not of unit length (longest 30)" + normalised,
        "bruno/red: warning: models/players/bruno/upper_red.skin, line 4: 'u_torso' is named again; the game uses line 1",
        "mira: warning: models/players/mira/upper.md3: tag axes are not of unit length (longest 3)" + normalised,
        "4 characters, 9 skins: 5 errors, " + std::to_string(10 + gameData) + " warnings",
    };
    EXPECT_EQ(others, expected);

    // The same files loose say the same; named characters come in name
    // order whatever order they are given in.
    EXPECT_EQ(run("--check --game-root Loose").lines, archives.lines);
    EXPECT_EQ(run("--check --game-root Game oskar vesta MIRA bruno").lines, archives.lines);
}

// The sample characters' skins name their images by game paths that their
// folders alone do not hold; the game would not find them there, and each
// finding says where the image is.
TEST_F(Check, SampleCharacterFoldersNameImagesTheGameWouldNotFind)
{
    need(kModels);
    CheckRun sarge = run("--check Model/ModelSarge/Body");
    EXPECT_EQ(sarge.status, 1);
    ASSERT_EQ(sarge.lines.size(), 7u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_NE(sarge.lines[i].find("is found under the character's folder; the game will not find it"),
                  std::string::npos)
            << sarge.lines[i];
    // Nor is there an icon: the game refuses the character.
    EXPECT_EQ(sarge.lines[5].find("Body/default: error: no icon for skin 'default'"), 0u) << sarge.lines[5];
    EXPECT_EQ(sarge.lines.back(), "1 character, 1 skin: 6 errors, 0 warnings");
    CheckRun both = run("--check Model/ModelLara/Body Model/ModelSarge/Body");
    EXPECT_EQ(both.status, 1);
    EXPECT_EQ(both.lines.back(), "2 characters, 2 skins: 12 errors, 0 warnings");
    // The checker starts no component, so it writes no settings.
    EXPECT_FALSE(fs::exists(dir->file("Quillmo.ini")));
}

TEST_F(Check, WhatCannotBeCheckedEndsWithStatusTwo)
{
    need(kModels);
    need(kArchives);
    fs::create_directories(dir->file("empty"));
    for (const char* args : {"--check", "--check --game-root nowhere", "--check --game-root empty",
                             "--check --game-root Game nobody", "--check Model", "--check --keys A Model"}) {
        const CheckRun result = run(args);
        EXPECT_EQ(result.status, 2) << args;
        EXPECT_TRUE(result.lines.empty()) << args;
        EXPECT_EQ(result.errors.rfind("Quillmo: ", 0), 0u) << args << ": " << result.errors;
        EXPECT_EQ(result.errors.find('\n'), result.errors.size() - 1) << args << ": " << result.errors;
    }
    EXPECT_NE(run("--check --game-root nowhere").errors.find("nowhere"), std::string::npos);
    EXPECT_NE(run("--check --game-root Game nobody").errors.find("nobody"), std::string::npos);
}

// One thing broken in a copy of the loose sample game data, and the lines
// the check of the character it belongs to must print for it.
struct Breakage {
    const char* name;
    std::function<void(const fs::path& root)> apply;
    std::vector<std::string> lines; // every finding
    int status;
};

void PrintTo(const Breakage& breakage, std::ostream* out) { *out << breakage.name; }

// Oskar checks clean; his parts and animation table lie in a folder of
// another letter case than his skins and images, and the loose folder wins
// the name.
const fs::path kParts = "models/players/oskar";
const fs::path kSkins = "Models/Players/Oskar";
const std::string kPath = "Models/Players/Oskar/";
// Where the parts lie, in their own letter case.
const std::string kGamePath = "models/players/oskar/";
const std::string kShowsDefault = "; the game refuses this character and shows its default character";

std::string partFileError(const std::string& part, const std::string& what)
{
    return "Oskar: error: Model file \"" + kGamePath + part + "\": " + what;
}

// The summary of one character with one skin.
std::string summary(int errors, int warnings)
{
    auto count = [](int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); };
    return "1 character, 1 skin: " + count(errors, "error") + ", " + count(warnings, "warning");
}

int linesWith(const std::vector<std::string>& lines, const std::string& severity)
{
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(": " + severity + ": ") != std::string::npos;
    }));
}

// Rewrites the line of oskar's animation table that holds marker.
void editAnimationLine(const fs::path& root, const std::string& marker, const std::string& replacement)
{
    const fs::path file = root / kParts / "animation.cfg";
    std::istringstream lines(readBytes(file));
    std::string text;
    for (std::string line; std::getline(lines, line);)
        text += (line.find(marker) == std::string::npos ? line : replacement) + "\n";
    writeBytes(file, text);
}

// Targa files of 2 x 2 pixels at 16 bits, and of 8193 x 1 at 24.
const std::string k16BitTarga = std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x10\0", 18) + std::string(8, '@');
const std::string kWideTarga = std::string("\0\0\2\0\0\0\0\0\0\0\0\0\1\x20\1\0\x18\0", 18) + std::string(24579, '@');
const std::string kRefusedTarga = kPath + "torso.tga: the game refuses this image (";
const std::string kGameStops = ") and stops with an error when it loads it, dropping back to its menu; ";
const std::string kTorsoLine = " (" + kPath + "upper_default.skin, line 1)";

const Breakage kBreakages[] = {
    {"MissingPart", [](const fs::path& root) { fs::remove(root / kParts / "head.md3"); },
     {"Oskar: error: " + kPath + "head.md3 is missing (also looked for models/players/heads/Oskar/Oskar.md3)" + kShowsDefault},
     1},
    // Both ways a reader rejects a part: a file that does not fit its own
    // counts, and a file of another kind or version.
    {"RejectedParts",
     [](const fs::path& root) {
         std::string bytes = readBytes(root / kParts / "lower.md3");
         writers::patchInt32(bytes, writers::md3::kVersionField, 14);
         writeBytes(root / kParts / "lower.md3", bytes);
         fs::resize_file(root / kParts / "upper.md3", 200);
     },
     {partFileError("lower.md3", "not a model this reader reads (ident \"IDP3\", version 14; wanted IDP3 version 15)" +
                                     kShowsDefault),
      partFileError("upper.md3", "frames run past the end of the file" + kShowsDefault)},
     1},
    {"MissingTags",
     [](const fs::path& root) {
         replaceIn(root / kParts / "lower.md3", "tag_torso", "tag_tors0");
         replaceIn(root / kParts / "upper.md3", "tag_weapon", "tag_Weapon");
     },
     {"Oskar: error: " + kGamePath + "lower.md3 has no tag_torso; the game draws the torso at the origin of " + kGamePath +
          "lower.md3, unturned",
      "Oskar: error: " + kGamePath + "upper.md3 has no tag_weapon; the game draws the weapon at the origin of " +
          kGamePath + "upper.md3, unturned"},
     1},
    {"MissingAnimationFile", [](const fs::path& root) { fs::remove(root / kParts / "animation.cfg"); },
     {"Oskar: error: " + kPath + "animation.cfg is missing (also looked for models/players/characters/Oskar/animation.cfg)" +
      kShowsDefault},
     1},
    // Words the game does not know before the numbers are skipped; numbers
    // are read as far as they go ("0x" is 0), so they are no finding.
    {"UnknownWordsInTheAnimationFile",
     [](const fs::path& root) {
         editAnimationLine(root, "footsteps", "footsteps normal\nspeed fast");
         editAnimationLine(root, "TORSO_SALUTE", "60\t10\t0x\t15");
     },
     {"Oskar: warning: " + kGamePath + "animation.cfg, line 8: unknown token 'speed'; the game skips it",
      "Oskar: warning: " + kGamePath + "animation.cfg, line 8: unknown token 'fast'; the game skips it"},
     0},
    // The legs lines count on after the torso frames: 196 is frame 140 of
    // the legs file, whose last frame is 147.
    {"AnimationPastItsPart", [](const fs::path& root) { editAnimationLine(root, "LEGS_TURN", "196 9 8 15"); },
     {"Oskar: error: " + kGamePath + "animation.cfg: animation 24 (LEGS_TURN) plays frames 140 to 148 of " + kGamePath +
          "lower.md3, which has 148 frames; the game draws " + kGamePath +
          "lower.md3 in its first frame's pose for the frames it lacks, with what hangs on it at its last frame's tags"},
     1},
    {"MissingSkinFile", [](const fs::path& root) { fs::remove(root / kSkins / "head_default.skin"); },
     {"Oskar/default: error: " + kPath + "default/head_default.skin is missing (also looked for " + kPath +
      "head_default.skin, models/players/heads/Oskar/default/head_default.skin, "
      "models/players/heads/Oskar/head_default.skin)" + kShowsDefault},
     1},
    {"TextureNeitherImageNorShader",
     [](const fs::path& root) { replaceIn(root / kSkins / "lower_default.skin", "legs.tga", "shins.tga"); },
     {"Oskar/default: error: " + kPath + "lower_default.skin, line 1: '/models/players/oskar/shins.tga' is neither "
      "a shader nor an image (also tried as .tga, .jpg, .jpeg, .png, .pcx and .bmp); the game draws this surface "
      "invisible"},
     1},
    // Wider than Quillmo reads, though the game reads it.
    {"ImageRejected", [](const fs::path& root) { writeBytes(root / kSkins / "torso.tga", kWideTarga); },
     {"Oskar/default: error: Couldn't load \"" + kPath + "torso.tga\". Image size 8193 x 1 not supported." +
      kTorsoLine},
     1},
    // The game's own reader is stricter than Quillmo's: what it refuses stops
    // the game, whether Quillmo draws it or not.
    {"UnknownTargaType", [](const fs::path& root) { writeBytes(root / kSkins / "torso.tga", std::string(30, 'x')); },
     {"Oskar/default: error: " + kRefusedTarga + "image type 120 (unknown); the game reads types 2, 3 and 10 only" +
      kGameStops + "Quillmo cannot read it either" + kTorsoLine},
     1},
    {"TargaOf16Bits", [](const fs::path& root) { writeBytes(root / kSkins / "torso.tga", k16BitTarga); },
     {"Oskar/default: error: " + kRefusedTarga + "16 bits a pixel; the game reads colour images of 24 and 32 bits only" +
      kGameStops + "Quillmo draws it" + kTorsoLine},
     1},
    // Two loose scripts: the game joins the one listed last first; Quillmo
    // lists a folder's scripts by name.
    // A stage with nothing in it: the game makes the shader and draws none of it.
    {"EmptyShaderStage",
     [](const fs::path& root) {
         writeBytes(root / "scripts/oskar_empty.shader", "models/players/oskar/hollow\n{\n\t{\n\t}\n}\n");
         replaceIn(root / kSkins / "upper_default.skin", "models/players/oskar/arms.jpg", "models/players/oskar/hollow");
     },
     {"Oskar/default: error: " + kPath + "upper_default.skin, line 2: shader 'models/players/oskar/hollow' "
      "(scripts/oskar_empty.shader, line 1): stage 1 has no image; the game draws no stage from there on"},
     1},
    {"ShaderDefinedTwice",
     [](const fs::path& root) {
         for (const char* script : {"scripts/oskar_a.shader", "scripts/oskar_b.shader"})
             writeBytes(root / script, "\nmodels/players/oskar/shine\n{\n\t{\n\t\tmap models/players/oskar/arms.jpg"
                                       "\n\t}\n}\n");
         replaceIn(root / kSkins / "upper_default.skin", "models/players/oskar/arms.jpg", "models/players/oskar/shine");
     },
     {"Oskar/default: warning: " + kPath + "upper_default.skin, line 2: shader 'models/players/oskar/shine' is "
      "defined 2 times; the game uses the one in scripts/oskar_b.shader, line 2 (the first in the scripts as the "
      "game joins them) over scripts/oskar_a.shader, line 2; between scripts of one folder the game follows the "
      "order the system lists them in, Quillmo takes the later name"},
     0},
    {"ShaderImageRejected",
     [](const fs::path& root) {
         writeBytes(root / "scripts/oskar.shader",
                    "models/players/oskar/shine\n{\n\t{\n\t\tmap models/players/oskar/shine.jpg\n\t}\n}\n");
         writeBytes(root / kSkins / "shine.jpg", "not a JPEG");
         replaceIn(root / kSkins / "upper_default.skin", "models/players/oskar/arms.jpg", "models/players/oskar/shine");
     },
     {"Oskar/default: error: Couldn't load JPG - \"" + kPath + "shine.jpg\" (" + kPath +
          "upper_default.skin, line 2)"},
     1},
    {"SkinLineNamesNoSurface",
     [](const fs::path& root) { replaceIn(root / kSkins / "upper_default.skin", "u_arms", "u_cape"); },
     {"Oskar/default: warning: " + kPath + "upper_default.skin, line 2: 'u_cape' is no surface of " + kGamePath +
          "upper.md3",
      "Oskar/default: warning: " + kPath + "upper_default.skin: no entry for surface 'u_arms' of " + kGamePath +
          "upper.md3; the game draws it with its default texture"},
     0},
    {"SurfaceWithFewerFrames",
     [](const fs::path& root) {
         std::string bytes = readBytes(root / kParts / "lower.md3");
         const int32_t frames = writers::readInt32(bytes, writers::md3::kFrameCount);
         writers::patchInt32(bytes, writers::surfaceStarts(bytes).front() + writers::md3::kSurfFrameCount, frames - 1);
         writeBytes(root / kParts / "lower.md3", bytes);
     },
     {"Oskar: warning: " + kGamePath +
      "lower.md3: surfaces with other vertex frame counts than the part's 148: l_legs 147"},
     0},
    {"FewAnimationLines",
     [](const fs::path& root) {
         editAnimationLine(root, "TORSO_SALUTE", "");
         editAnimationLine(root, "LEGS_TURN", "// no turning");
     },
     {"Oskar: error: " + kGamePath + "animation.cfg: the file holds 24 complete entries; the game needs the first 25 "
      "(\"Error parsing animation file\")" + kShowsDefault},
     1},
    {"KeywordValuesTheGameRejects",
     [](const fs::path& root) {
         editAnimationLine(root, "sex", "sex x");
         editAnimationLine(root, "footsteps", "footsteps slippers");
         editAnimationLine(root, "headoffset", "headoffset 0 0\nfixedlegs\nfixedtorso");
     },
     {"Oskar: warning: " + kGamePath + "animation.cfg, line 4: sex takes m, f or n, not 'x'; the game takes the "
      "character as male",
      "Oskar: warning: " + kGamePath + "animation.cfg, line 6: headoffset takes three numbers, not '0 0 fixedlegs'; "
      "the game reads the next three words as numbers, 0 where they are none",
      "Oskar: warning: " + kGamePath + "animation.cfg, line 9: footsteps takes default, normal, boot, flesh, mech or "
      "energy, not 'slippers'; the game keeps normal footsteps"},
     0},
    {"BrokenShaderScript", [](const fs::path& root) { writeBytes(root / "scripts/zz.shader", "lost {\n"); },
     {"(game data): warning: scripts/zz.shader, line 1: shader 'lost' is not closed before the end of the file; the "
      "game ignores this whole file"},
     0},
};

class CheckBroken : public Check, public ::testing::WithParamInterface<Breakage> {};

TEST_P(CheckBroken, GivesItsFinding)
{
    const Breakage& breakage = GetParam();
    need(kLoose);
    const fs::path root = fs::path(dir->path()) / "broken" / breakage.name;
    fs::create_directories(root);
    fs::copy(dir->file(kLoose), root, fs::copy_options::recursive);
    breakage.apply(root);

    const CheckRun result = run("--check --game-root 'broken/" + std::string(breakage.name) + "' oskar");
    EXPECT_EQ(result.status, breakage.status) << result.errors;
    // The sample game data may have problems of its own in its shader
    // scripts; those of the breakage must be among them, and all count.
    ASSERT_FALSE(result.lines.empty());
    std::vector<std::string> findings(result.lines.begin(), result.lines.end() - 1);
    for (const std::string& line : breakage.lines) {
        if (isGameDataLine(line)) {
            EXPECT_NE(std::find(findings.begin(), findings.end(), line), findings.end()) << line;
        }
    }
    EXPECT_EQ(characterLines(findings), characterLines(breakage.lines));
    const int gameData = static_cast<int>(findings.size() - characterLines(findings).size());
    const std::vector<std::string> own = characterLines(breakage.lines);
    EXPECT_EQ(result.lines.back(), summary(linesWith(own, "error"), linesWith(own, "warning") + gameData));
    fs::remove_all(root);
}

INSTANTIATE_TEST_SUITE_P(Breakages, CheckBroken, ::testing::ValuesIn(kBreakages),
                         [](const ::testing::TestParamInfo<Breakage>& info) { return info.param.name; });

// A game root with findings of every place: an archive that is no zip file,
// an archive with an entry leading out of the game data, a broken shader
// script, a malformed animation line, a skin line naming no surface, an
// image its reader refuses; and besides the sample characters a few archives
// of a collection, so that several workers have characters to share.
class CheckMessy : public Check {
protected:
    static std::string messyRoot()
    {
        const fs::path root = fs::path(dir->path()) / "messy";
        if (fs::exists(root))
            return "messy";
        need(kLoose);
        fs::create_directories(root);
        fs::copy(dir->file(kLoose), root, fs::copy_options::recursive);
        for (const char* name : {"UnknownWordsInTheAnimationFile", "SkinLineNamesNoSurface", "ImageRejected",
                                 "BrokenShaderScript"})
            for (const Breakage& breakage : kBreakages)
                if (std::string(breakage.name) == name)
                    breakage.apply(root);
        writeBytes(root / "zz-not-a-zip.pk3", std::string(100, 'Z'));
        writeBytes(root / "escaping.pk3",
                   testsupport::makeZip({{"../../outside.txt", "x"}, {"models/players/inside.txt", "kept"}}));
        samples::writeSampleCollection(root.string(), 5);
        return "messy";
    }
};

TEST_F(CheckMessy, ArchivesThatCannotBeReadAreErrorsAndEntriesLeadingOutWarnings)
{
    const CheckRun result = run("--check --game-root " + messyRoot());
    EXPECT_EQ(result.status, 1) << result.errors;
    // Told as findings of the game data, first, in archive order; not on
    // standard error.
    ASSERT_GE(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[0], "(game data): warning: escaping.pk3: entry '../../outside.txt' is left out: its name "
                               "would put it outside the game data");
    EXPECT_EQ(result.lines[1].rfind("(game data): error: zz-not-a-zip.pk3: not a zip archive, or a damaged one", 0),
              0u)
        << result.lines[1];
    EXPECT_EQ(result.errors, "");
    // The other archives' characters are all there.
    EXPECT_EQ(result.lines.back().rfind("9 characters, ", 0), 0u) << result.lines.back();
}

TEST_F(CheckMessy, EveryFormatAndNumberOfJobsTellsTheSameFindings)
{
    const std::string root = messyRoot();
    const CheckRun one = run("--check --jobs 1 --game-root " + root);
    ASSERT_EQ(one.status, 1) << one.errors;
    for (const char* jobs : {"2", "3", "16"})
        EXPECT_EQ(run("--check --jobs " + std::string(jobs) + " --game-root " + root).lines, one.lines) << jobs;

    // JSON: an object per text line, in order, and the summary's counts.
    const CheckRun json = run("--check --format json --jobs 3 --game-root " + root);
    EXPECT_EQ(json.status, 1);
    std::string jsonText;
    for (const std::string& line : json.lines)
        jsonText += line + "\n";
    const nlohmann::json report = nlohmann::json::parse(jsonText);
    const nlohmann::json& findings = report.at("findings");
    ASSERT_EQ(findings.size() + 1, one.lines.size());
    int errors = 0;
    for (size_t i = 0; i < findings.size(); ++i) {
        const nlohmann::json& f = findings[i];
        const std::string character = f.at("character"), skin = f.at("skin"), severity = f.at("severity");
        const std::string subject = character.empty() ? "(game data)" : skin.empty() ? character : character + "/" + skin;
        EXPECT_EQ(subject + ": " + severity + ": " + f.at("message").get<std::string>(), one.lines[i]);
        errors += severity == "error";
        // Every finding of a file names it in its text; a line number as well.
        const std::string message = f.at("message"), file = f.at("file");
        if (!file.empty()) {
            EXPECT_NE(message.find(file), std::string::npos) << message;
        }
        if (!f.at("line").is_null()) {
            EXPECT_NE(message.find(", line " + std::to_string(f.at("line").get<int>())), std::string::npos) << message;
        }
    }
    EXPECT_EQ(report.at("summary").at("errors"), errors);
    EXPECT_EQ(report.at("summary").at("characters"), 9);
    const auto kindOf = [&](const std::string& part) {
        for (const nlohmann::json& f : findings)
            if (f.at("message").get<std::string>().find(part) != std::string::npos)
                return f.at("kind").get<std::string>() + " " + f.at("gameDoes").get<std::string>();
        return std::string("none");
    };
    EXPECT_EQ(kindOf("zz-not-a-zip.pk3"), "archive leaves the archive out");
    EXPECT_EQ(kindOf("bruno/lower.md3: tag axes"), "tag-axes normalises the axes");
    EXPECT_EQ(kindOf("unknown token 'speed'"), "animation-line skips it");
}

// SARIF: valid against the SARIF 2.1.0 schema of the npm package
// @microsoft/jest-sarif (installed into the build folder by npm from the lock
// file beside this test), a result per finding located at its file and line.
TEST_F(CheckMessy, SarifIsValidAndLocatesEachFindingAtItsFileAndLine)
{
    const std::string modules = std::string(SARIF_CHECK_DIR) + "/node_modules";
    std::string out, npm;
    if (!fs::exists(modules + "/@microsoft/jest-sarif")) {
        fs::create_directories(SARIF_CHECK_DIR);
        for (const char* file : {"package.json", "package-lock.json"})
            fs::copy_file(std::string(SARIF_SOURCE_DIR) + "/" + file, std::string(SARIF_CHECK_DIR) + "/" + file,
                          fs::copy_options::overwrite_existing);
        testsupport::runCommand("cd '" SARIF_CHECK_DIR "' && timeout 180 npm ci --no-audit --no-fund --fetch-retries=1 2>&1", npm);
    }
    const bool validator = fs::exists(modules + "/@microsoft/jest-sarif");
    const CheckRun sarif = run("--check --format sarif --game-root " + messyRoot() + " > messy.sarif");
    EXPECT_EQ(sarif.status, 1) << sarif.errors;
    if (validator) {
        EXPECT_EQ(testsupport::runCommand("node '" SARIF_SOURCE_DIR "/validate.js' '" + modules + "' '" +
                                              dir->file("messy.sarif") + "' 2>&1",
                                          out),
                  0)
            << out;
    }

    const nlohmann::json log = nlohmann::json::parse(dir->read("messy.sarif"));
    const nlohmann::json& results = log.at("runs").at(0).at("results");
    run("--check --format json --game-root " + messyRoot() + " > messy.json");
    const nlohmann::json report = nlohmann::json::parse(dir->read("messy.json"));
    const nlohmann::json& findings = report.at("findings");
    ASSERT_EQ(results.size(), findings.size());
    for (size_t i = 0; i < results.size(); ++i) {
        const nlohmann::json& result = results[i];
        EXPECT_EQ(result.at("message").at("text"), findings[i].at("message"));
        EXPECT_EQ(result.at("ruleId"), findings[i].at("kind"));
        const std::string file = findings[i].at("file");
        if (file.empty()) {
            EXPECT_FALSE(result.contains("locations"));
            continue;
        }
        const nlohmann::json& where = result.at("locations").at(0).at("physicalLocation");
        std::string uri = where.at("artifactLocation").at("uri");
        EXPECT_EQ(uri, file);
        EXPECT_EQ(where.at("artifactLocation").at("uriBaseId"), "%SRCROOT%");
        if (!findings[i].at("line").is_null()) {
            EXPECT_EQ(where.at("region").at("startLine"), findings[i].at("line"));
        }
    }
    // Everything but the schema has been checked.
    if (!validator)
        GTEST_SKIP() << "the SARIF schema's npm package could not be installed, so the log was not validated "
                        "against it: "
                     << npm;
}

} // namespace
