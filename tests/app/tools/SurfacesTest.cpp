// --surfaces on the sample game, run as a user runs it: the rules the engine
// follows where the sample data holds their quirks (a leading slash in a
// skin line, an MD3's own name and a stage image; a weapon whose shader
// names lie after its triangles), in the JSON and the text of one report.
#include "ToolRun.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

namespace {

using Json = nlohmann::json;
using tooltest::ToolFolder;

class Surfaces : public ::testing::Test {
protected:
    static void SetUpTestSuite() { folder = std::make_unique<ToolFolder>(); }
    static void TearDownTestSuite() { folder.reset(); }

    // What the run writes to standard output (its messages go to standard error).
    static int run(const std::string& args, std::string& out)
    {
        return testsupport::runCommand("cd '" + folder->dir.path() +
                                           "' && SDL_VIDEODRIVER=offscreen ./Quillmo --surfaces --game-root SampleGame " +
                                           args + " 2>/dev/null",
                                       out);
    }

    static Json report(const std::string& args, int status = 0)
    {
        std::string out;
        EXPECT_EQ(run("--format json " + args, out), status) << out;
        return Json::parse(out, nullptr, false);
    }

    // The lookup of a part's surface by a skin ("" for the MD3's own name).
    static Json lookup(const Json& json, const std::string& part, const std::string& surface, bool bySkin)
    {
        for (const Json& entry : json["surfaces"])
            if (entry["part"] == part && entry["surface"] == surface && (entry["use"] == "skin") == bySkin)
                return entry;
        ADD_FAILURE() << part << " " << surface;
        return Json::object();
    }

    static std::unique_ptr<ToolFolder> folder;
};

std::unique_ptr<ToolFolder> Surfaces::folder;

TEST_F(Surfaces, JsonSaysWhatTheGameMakesOfEachSurfaceByItsRules)
{
    const Json oskar = report("oskar");
    ASSERT_FALSE(oskar.is_discarded());
    EXPECT_EQ(oskar["skins"], Json::array({"default"}));
    EXPECT_EQ(oskar["weapon"], "railgun");
    // The leading slash, dropped from the path the game opens, in the skin
    // line and in the MD3's own name alike; the shader keeps its name.
    for (const bool bySkin : {true, false}) {
        const Json legs = lookup(oskar, "lower", "l_legs", bySkin);
        EXPECT_EQ(legs["name"], "/models/players/oskar/legs.tga");
        EXPECT_EQ(legs["shader"], "/models/players/oskar/legs");
        EXPECT_EQ(legs["resolvesTo"], "image");
        EXPECT_EQ(legs["image"]["path"], "Models/Players/Oskar/legs.tga");
        EXPECT_EQ(legs["outcome"], "made");
        EXPECT_EQ(legs["shaderlist"], Json({{"passes", 1}, {"explicit", false}, {"defaulted", false}}));
    }
    EXPECT_EQ(lookup(oskar, "lower", "l_legs", true)["from"], Json({{"file", "Models/Players/Oskar/lower_default.skin"},
                                                                     {"line", 1}}));

    // The weapon's names read where its surfaces' shader offsets say: every
    // surface made, the script's shader with its animMap, the slashed image.
    int weaponSurfaces = 0;
    for (const Json& entry : oskar["surfaces"]) {
        if (entry["part"] != "weapon")
            continue;
        ++weaponSurfaces;
        EXPECT_EQ(entry["outcome"], "made") << entry["surface"];
        EXPECT_NE(entry["name"], "") << entry["surface"];
        if (entry["resolvesTo"] == "script") {
            EXPECT_EQ(entry["shaderlist"], Json({{"passes", 1}, {"explicit", true}, {"defaulted", false}}));
            EXPECT_EQ(entry["stages"][0]["images"].size(), 2u);
            EXPECT_EQ(entry["stages"][0]["blend"], "GL_ONE GL_ONE");
            EXPECT_EQ(entry["definedIn"]["file"], "scripts/railgun.shader");
        }
    }
    EXPECT_GE(weaponSurfaces, 5);
    EXPECT_EQ(lookup(oskar, "weapon", "w_railgun3", false)["image"]["path"], "models/weapons2/railgun/railgun3.tga");

    // Every image once, by the name it was asked for, with its file.
    std::set<std::string> names;
    for (const Json& image : oskar["images"]) {
        EXPECT_TRUE(names.insert(image["name"]).second) << image["name"];
        EXPECT_FALSE(image["path"].get<std::string>().empty());
    }
    EXPECT_TRUE(names.count("/models/players/oskar/legs.tga"));

    // A stage image with a leading slash, in a shader of another character's;
    // bruno's colour-mapped and grey run-length Targa files, which the game's
    // reader refuses, stopping the game (exit 1).
    const Json bruno = report("bruno --skin red", 1);
    std::set<std::string> refused;
    for (const Json& image : bruno["images"])
        if (!image["gameRefuses"].is_null())
            refused.insert(image["path"]);
    EXPECT_EQ(refused, (std::set<std::string>{"models/players/bruno/arms.tga", "models/players/bruno/helmet.tga",
                                              "models/players/bruno/legs_red.tga"}));
    const Json cloth = lookup(bruno, "upper", "u_cape", true);
    EXPECT_EQ(cloth["outcome"], "made");
    EXPECT_EQ(cloth["stages"][0]["images"][0]["name"], "/models/players/mira/cloth_red.tga");
    EXPECT_EQ(cloth["stages"][0]["images"][0]["path"], "models/players/mira/cloth_red.tga");
}

// mira's head asks for head.jpg, her skin for head.tga: one shader "head",
// made of the first, and no image of the second name is read.
TEST_F(Surfaces, AShaderIsMadeOnceByTheFirstNameAskingForIt)
{
    const Json mira = report("mira --weapon none");
    const Json own = lookup(mira, "head", "h_head", false), skin = lookup(mira, "head", "h_head", true);
    EXPECT_EQ(own["shader"], skin["shader"]);
    EXPECT_NE(own["name"], skin["name"]);
    EXPECT_EQ(skin["image"], own["image"]);
    for (const Json& image : mira["images"])
        EXPECT_NE(image["name"], skin["name"]);
}

TEST_F(Surfaces, TextNamesEachLookupWhereItWasReadAndWhatTheGameDoes)
{
    std::string out;
    ASSERT_EQ(run("oskar --weapon none", out), 0) << out;
    EXPECT_EQ(out.substr(0, out.find('\n')), "Oskar (Models/Players/Oskar/), skins: default, weapon: none");
    EXPECT_NE(out.find("lower l_legs: skin default \"/models/players/oskar/legs.tga\" "
                       "(Models/Players/Oskar/lower_default.skin, line 1)\n"
                       "  shader /models/players/oskar/legs: image Models/Players/Oskar/legs.tga in "),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("; made; listed as 1 pass\n"), std::string::npos);
    EXPECT_EQ(out.find("weapon "), std::string::npos);
    EXPECT_NE(out.find("10 lookups, 5 images read\n"), std::string::npos) << out;
}

} // namespace
