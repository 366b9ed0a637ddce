// --pack on a maker's work folder written by the sample tools (PackWork.h):
// what the archive holds, entry by entry; that it is the same archive every
// time; what is told and refused; and, in the program itself, that the
// proof by reopening catches what a pack leaves out.
#include "app/common/CharacterPicture.h"
#include "app/pack/PackPlan.h"
#include "platform/files/ZipWriter.h"
#include "platform/window/BareGLWindow.h"
#include "support/RunCommand.h"
#include "support/TempDir.h"
#include "tools/samples/PackWork.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

const std::string kWork = "work/models/players/kestrel";

// What the game reads for kestrel and the base does not hold alike, in the
// archive's order: not the leftovers, the copy of mira's head, the other
// pack's shader, nor the maker's cape (its shader shadows the base's and is
// left out).
const std::vector<std::string> kEntries = {
    "models/players/kestrel/animation.cfg",
    "models/players/kestrel/Arms.tga", // the skins' spelling of arms.tga
    "models/players/kestrel/head.md3",
    "models/players/kestrel/head_default.skin",
    "models/players/kestrel/head_red.skin",
    "models/players/kestrel/icon_default.tga",
    "models/players/kestrel/icon_red.tga",
    "models/players/kestrel/legs.tga",
    "models/players/kestrel/legs_lod.tga", // named by the level of detail alone
    "models/players/kestrel/legs_red.tga",
    "models/players/kestrel/lower.md3",
    "models/players/kestrel/lower_1.md3",
    "models/players/kestrel/lower_default.skin",
    "models/players/kestrel/lower_red.skin",
    "models/players/kestrel/torso.png", // the stage names torso.tga
    "models/players/kestrel/upper.md3",
    "models/players/kestrel/upper_default.skin",
    "models/players/kestrel/upper_red.skin",
    "models/players/kestrel/visor1.tga",
    "models/players/kestrel/visor2.tga", // the animMap's second frame
    "scripts/kestrel.shader",
    "sound/player/kestrel/death1.wav",
    "sound/player/kestrel/jump1.ogg", // the game asks for jump1.wav
    "sound/player/kestrel/taunt.wav",
};

std::vector<std::string> names(const std::vector<platform::files::ArchiveMember>& members)
{
    std::vector<std::string> out;
    for (const auto& member : members)
        out.push_back(member.name);
    return out;
}

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Pack : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = std::make_unique<testsupport::TempDir>();
        fs::copy_file(QUILLMO_EXE, dir->file("Quillmo"));
        samples::writePackWork(dir->path());
    }
    static void TearDownTestSuite() { dir.reset(); }

    // Runs --pack in the folder; out gets standard output, err standard error.
    static int run(const std::string& args, std::string& out, std::string& err)
    {
        const std::string errFile = dir->file("err.txt");
        const int status = testsupport::runCommand("cd '" + dir->path() + "' && ./Quillmo --pack " + args + " 2>'" +
                                                       errFile + "'",
                                                   out);
        err = bytesOf(errFile);
        return status;
    }

    static std::unique_ptr<testsupport::TempDir> dir;
};

std::unique_ptr<testsupport::TempDir> Pack::dir;

TEST_F(Pack, HoldsExactlyWhatTheGameReadsTellsWhatItLeavesToTheBaseAndIsTheSameEveryTime)
{
    std::string out, err;
    ASSERT_EQ(run("one.pk3 --game-root base " + kWork, out, err), 0) << out << err;
    const auto members = platform::files::ReadZipArchive(dir->file("one.pk3"));
    EXPECT_EQ(names(members), kEntries);
    for (const auto& member : members)
        EXPECT_TRUE(member.deflate) << member.name;
    // The script holds the definitions the character uses, as written, and
    // nothing else of the maker's script.
    const std::string& script = members[std::size(kEntries) - 4].bytes;
    EXPECT_NE(script.find("models/players/kestrel/torso\n{\n\t{\n\t\tmap models/players/kestrel/torso.tga\n"),
              std::string::npos) << script;
    EXPECT_NE(script.find("animMap 2 models/players/kestrel/visor1.tga"), std::string::npos);
    EXPECT_EQ(script.find("bruno/cape"), std::string::npos);
    EXPECT_EQ(script.find("unused"), std::string::npos);
    // The shadowing shader names whom it would change; the other spelling is told.
    EXPECT_NE(err.find("kestrel: warning: shader \"models/players/bruno/cape\""), std::string::npos) << err;
    EXPECT_NE(err.find("how bruno/default looks"), std::string::npos) << err;
    EXPECT_NE(err.find("\"models/players/kestrel/Arms.tga\" is stored as \"models/players/kestrel/arms.tga\""),
              std::string::npos) << err;
    EXPECT_NE(out.find("24 files"), std::string::npos) << out;

    // Again: the same bytes. A dry run lists the same entries and writes nothing.
    ASSERT_EQ(run("two.pk3 --game-root base " + kWork, out, err), 0) << err;
    EXPECT_EQ(bytesOf(dir->file("two.pk3")), bytesOf(dir->file("one.pk3")));
    ASSERT_EQ(run("dry.pk3 --dry-run --game-root base " + kWork, out, err), 0) << err;
    EXPECT_FALSE(fs::exists(dir->file("dry.pk3")));
    std::string listed;
    for (const std::string& name : kEntries)
        listed += name + "\n";
    EXPECT_EQ(out.substr(0, listed.size()), listed);
}

TEST_F(Pack, ForceShipsTheShadowingShaderWithItsImageAndErrorsKeepThePackUnwritten)
{
    std::string out, err;
    ASSERT_EQ(run("forced.pk3 --force --game-root base " + kWork, out, err), 0) << err;
    const auto forced = names(platform::files::ReadZipArchive(dir->file("forced.pk3")));
    EXPECT_EQ(forced.size(), kEntries.size() + 1);
    EXPECT_NE(std::find(forced.begin(), forced.end(), samples::kPackShadowImage), forced.end());

    // A skin's image the game refuses (a colour-mapped Targa, as bruno's red
    // legs): the check's error keeps the pack unwritten, unless forced
    // (written, status 1).
    const std::string broken = dir->file("broken");
    fs::copy(dir->file("work"), broken, fs::copy_options::recursive);
    for (const auto& member : platform::files::ReadZipArchive(dir->file("base/pak0.pk3"))) {
        if (member.name == "models/players/bruno/legs_red.tga")
            std::ofstream(broken + "/models/players/kestrel/legs_red.tga", std::ios::binary) << member.bytes;
    }
    EXPECT_EQ(run("broken.pk3 --game-root base broken/models/players/kestrel", out, err), 1);
    EXPECT_FALSE(fs::exists(dir->file("broken.pk3")));
    EXPECT_NE(err.find("kestrel/red: error:"), std::string::npos) << err;
    EXPECT_EQ(run("broken.pk3 --force --game-root base broken/models/players/kestrel", out, err), 1) << err;
    EXPECT_TRUE(fs::exists(dir->file("broken.pk3")));
    // Nothing to pack, or nothing to pack from: no archive.
    EXPECT_EQ(run("none.pk3 --game-root base kestrel", out, err), 2) << err;
    EXPECT_EQ(run("none.pk3 --game-root base bruno", out, err), 1) << err;
    EXPECT_FALSE(fs::exists(dir->file("none.pk3")));
}

// The proof, on packs that each leave out one thing the game reads.
TEST_F(Pack, TheProofByReopeningCatchesEveryPlantedOmission)
{
    OffscreenRun run;
    CommandLine options;
    options.gameRoot = dir->file("base");
    options.paths = {dir->file(kWork)};
    const PackViews views(options);
    platform::BareGLWindow context(16, 16, true);
    const PackPlan plan = PlanPack(views, false);
    const std::string archive = dir->file("planted.pk3");
    WritePack(plan, archive);
    EXPECT_EQ(ProvePack(views, plan, archive), std::vector<std::string>());

    for (const std::string omitted : {"models/players/kestrel/visor2.tga", "sound/player/kestrel/jump1.ogg",
                                      "models/players/kestrel/lower_1.md3", "models/players/kestrel/icon_red.tga",
                                      "scripts/kestrel.shader"}) {
        PackPlan planted = plan;
        std::erase_if(planted.entries, [&](const PackEntry& entry) { return entry.name == omitted; });
        ASSERT_EQ(planted.entries.size(), plan.entries.size() - 1) << omitted;
        WritePack(planted, archive);
        const std::vector<std::string> differences = ProvePack(views, planted, archive);
        EXPECT_FALSE(differences.empty()) << omitted;
    }
}

} // namespace
