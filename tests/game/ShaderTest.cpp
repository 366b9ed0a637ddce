#include "game/GameShader.h"
#include "game/Shaders.h"
#include "platform/files/FileLayer.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace {

ShaderTable tableOf(const std::string& text, std::vector<ShaderProblem>& problems)
{
    ShaderTable table;
    table.AddFile("scripts/test.shader", text, problems);
    return table;
}

std::vector<std::string> namesOf(const ShaderTable& table)
{
    std::vector<std::string> names;
    for (const auto& [name, definition] : table.All())
        names.push_back(name);
    return names;
}

TEST(ShaderScripts, ReadsCommentsQuotesCaseAndNesting)
{
    std::vector<ShaderProblem> problems;
    const ShaderTable table = tableOf("// a line comment { not a brace\r\n"
                                      "Models\\Players\\Test\\Hair /* a comment\r\n"
                                      "  over lines } */\r\n"
                                      "{\r\n"
                                      "\tCULL none // trailing\r\n"
                                      "\ttcMod scroll map 1 { \r\n"
                                      "\t\tMap textures//a.tga\r\n"
                                      "\t\tdeformVertexes wave { nested { deeper } map x.tga }\r\n"
                                      "\t\tblendFunc /* inline */ GL_ONE\r\n"
                                      "\t\tGL_ZERO\r\n"
                                      "\t}\r\n"
                                      "\t{ map \"a b.tga\" }\r\n"
                                      "}\r\n"
                                      "\"quoted {\" { }\n",
                                      problems);
    EXPECT_TRUE(problems.empty());
    // Names keep their separators: the game tells "\\" from "/" in them.
    EXPECT_EQ(namesOf(table), (std::vector<std::string>{"models\\players\\test\\hair", "quoted {"}));
    EXPECT_EQ(table.Find("models/players/test/hair"), nullptr);

    const ShaderDefinition* hair = table.Find("MODELS\\players\\test\\HAIR");
    ASSERT_NE(hair, nullptr);
    EXPECT_EQ(hair->line, 2u);
    EXPECT_EQ(hair->fileName, "scripts/test.shader");
    // Keywords are lower-cased, arguments kept as written; a "{" after a
    // line's tokens opens the stage without joining the line.
    EXPECT_EQ(hair->lines, (std::vector<ShaderLine>{{"cull", "none"}, {"tcmod", "scroll", "map", "1"}}));
    ASSERT_EQ(hair->stages.size(), 2u);
    // "//" inside a token is part of the path; nested blocks vanish with the
    // rest of their line; a keyword's arguments end at the line end.
    EXPECT_EQ(hair->stages[0].lines,
              (std::vector<ShaderLine>{
                  {"map", "textures//a.tga"}, {"deformvertexes", "wave"}, {"blendfunc", "GL_ONE"}, {"gl_zero"}}));
    EXPECT_EQ(hair->stages[1].lines, (std::vector<ShaderLine>{{"map", "a b.tga"}}));
}

// Files come in the game's list order; the game takes the first definition
// of its joined text, which holds the files in the opposite order.
TEST(ShaderScripts, FileAddedLaterWinsAndRepeatsInAFileAreIgnored)
{
    std::vector<ShaderProblem> problems;
    ShaderTable table;
    table.AddFile("scripts/Zeta.shader", "shared { { map z.tga } }\n", problems);
    table.AddFile("scripts/alpha.shader", "shared { { map a.tga } }\nonly { }\n", problems);
    table.AddFile("scripts/beta.shader",
                  "SHARED { { map b1.tga } }\nshared { { map b2.tga } }\nonly { cull none }\n", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(table.Find("shared")->stages[0].lines[0][1], "b1.tga");
    EXPECT_EQ(table.Find("shared")->overrides.size(), 3u); // remembered for the checker
    EXPECT_EQ(table.Find("only")->fileName, "scripts/beta.shader");
    EXPECT_EQ(table.Find("only")->lines, (std::vector<ShaderLine>{{"cull", "none"}}));

    ShaderTable within;
    within.AddFile("scripts/x.shader", "twice { cull none }\ntwice { }\n", problems);
    EXPECT_EQ(within.Find("twice")->lines.size(), 1u);
    EXPECT_EQ(within.Find("twice")->line, 1u);
}

// Game data defining one shader in several places ("x.pk3/..." in an
// archive), and the stage image of the definition the game's joined text
// puts first: of the earliest archive, of any archive over the loose files,
// the last in an archive; a later archive's script of the same name replaces
// the earlier one's text, in the earlier one's place.
TEST(ShaderScripts, GameDataTakesTheDefinitionTheGameJoinsFirst)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"pak0.pk3/scripts/base.shader a", "zz.pk3/scripts/mod.shader b"}, "a"},
        {{"scripts/loose.shader c", "zz.pk3/scripts/mod.shader b"}, "b"},
        {{"pak0.pk3/scripts/s.shader a", "zz.pk3/scripts/S.shader b", "pak0.pk3/scripts/t.shader t"}, "t"},
        {{"pak0.pk3/scripts/b.shader b", "pak0.pk3/scripts/a.shader a"}, "a"},
    };
    for (const auto& [files, used] : cases) {
        testsupport::TempDir root;
        std::map<std::string, std::vector<testsupport::ZipEntry>> archives;
        for (const std::string& file : files) {
            const std::string path = file.substr(0, file.find(' ')), script = "x { { map " + file.substr(file.find(' ') + 1) + " } }";
            const size_t archiveEnd = path.find(".pk3/");
            if (archiveEnd == std::string::npos)
                root.write(path, script);
            else
                archives[path.substr(0, archiveEnd + 4)].push_back({path.substr(archiveEnd + 5), script});
        }
        for (const auto& [archive, entries] : archives)
            root.write(archive, testsupport::makeZip(entries));
        platform::files::MountGameRoot(root.path());
        std::vector<ShaderProblem> problems;
        const ShaderTable table = LoadShaderScripts(problems);
        platform::files::MountDisk();
        ASSERT_NE(table.Find("x"), nullptr) << used;
        EXPECT_EQ(table.Find("x")->stages[0].lines[0][1], used);
        EXPECT_EQ(table.Find("x")->overrides.size(), 1u) << used;
    }
}

TEST(ShaderScripts, FindsNamesWithoutTheirExtension)
{
    std::vector<ShaderProblem> problems;
    const ShaderTable table = tableOf("models/x/hair { }\nmodels/x/skin.tga { }\nmodels/x.y/eyes { }\n", problems);
    EXPECT_EQ(table.Find("models/x/Hair.TGA")->name, "models/x/hair");
    EXPECT_EQ(table.Find("models/x/skin.tga")->name, "models/x/skin.tga");
    EXPECT_EQ(table.Find("models/x.y/eyes")->name, "models/x.y/eyes");
    EXPECT_EQ(table.Find("models/x.y/hair"), nullptr);
    EXPECT_EQ(table.Find("models/x/skin"), nullptr);
    EXPECT_EQ(table.Find(""), nullptr);
}

struct BrokenScript {
    const char* label;
    const char* text;
    const char* message;
};

void PrintTo(const BrokenScript& value, std::ostream* out) { *out << value.label; }

class BrokenShaderScripts : public ::testing::TestWithParam<BrokenScript> {};

// Each script holds a shader before its break and one after it; the game
// drops the whole file.
TEST_P(BrokenShaderScripts, DropTheWholeFileAtItsOneProblem)
{
    std::vector<ShaderProblem> problems;
    ShaderTable table;
    table.AddFile("scripts/broken.shader", GetParam().text, problems);
    table.AddFile("scripts/fine.shader", "other { }\n", problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].fileName, "scripts/broken.shader");
    EXPECT_EQ(problems[0].message, std::string(GetParam().message) + "; the game ignores this whole file");
    EXPECT_EQ(namesOf(table), (std::vector<std::string>{"other"}));
}

INSTANTIATE_TEST_SUITE_P(
    ShaderScripts, BrokenShaderScripts,
    ::testing::Values(
        BrokenScript{"CloseWithoutShader", "kept { }\n}\nlost { }\n", "scripts/broken.shader, line 2: '}' without a shader"},
        BrokenScript{"OpenForName", "kept {\n{ map a.tga }\n}\n/* two\nlines */ {\nlost { }\n",
                     "scripts/broken.shader, line 5: '{' where a shader name belongs"},
        BrokenScript{"StrayToken", "kept { }\r\nstray\r\nlost { }\r\n",
                     "scripts/broken.shader, line 3: 'lost' where the '{' after 'stray' belongs"},
        BrokenScript{"EndInsideShader", "kept { }\nlost\n{\n  { map a.tga }\n\n", "scripts/broken.shader, line 2: shader 'lost' is "
                                                              "not closed before the end of the file"},
        BrokenScript{"EndInsideNestedBlock", "kept { }\nlost { { { } }\n",
                     "scripts/broken.shader, line 2: shader 'lost' is not closed before the end of the file"},
        BrokenScript{"EmptyName", "kept { }\n\"\" { }\n", "scripts/broken.shader, line 2: a shader with an empty name"},
        BrokenScript{"NameAtEnd", "kept { } // done\nlost", "scripts/broken.shader, line 2: 'lost' is followed by no '{'"}),
    [](const auto& info) { return std::string(info.param.label); });

// The shader compiled from a script body; images whose names start with
// "gone" or "$" are not there.
GameShader compiled(const std::string& body)
{
    std::vector<ShaderProblem> problems;
    const ShaderTable table = tableOf("s {\n" + body + "\n}\n", problems);
    EXPECT_TRUE(problems.empty()) << body;
    const ShaderDefinition* definition = table.Find("s");
    if (!definition)
        return {};
    return CompileShader(*definition, [](const std::string& image, bool) {
        return image.rfind("gone", 0) != 0 && image.rfind('$', 0) != 0;
    });
}

TEST(GameShaders, StagesTakeTheGamesDefaults)
{
    struct {
        const char* body;
        bool blend;
        GLenum src, dst;
        bool depthWrite;
        RgbGen rgbGen;
        float sort;
    } const cases[] = {
        {"{ map a.tga }", false, GL_ONE, GL_ZERO, true, RgbGen::IdentityLighting, ShaderSort::Opaque},
        {"{ map a.tga\n blendFunc add }", true, GL_ONE, GL_ONE, false, RgbGen::IdentityLighting, ShaderSort::Blend0},
        {"{ map a.tga\n blendFunc FILTER }", true, GL_DST_COLOR, GL_ZERO, false, RgbGen::Identity, ShaderSort::Blend0},
        {"{ map a.tga\n blendFunc blend\n depthWrite }", true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, true,
         RgbGen::IdentityLighting, ShaderSort::SeeThrough},
        {"{ map a.tga\n blendFunc GL_ONE GL_ZERO }", false, GL_ONE, GL_ZERO, true, RgbGen::IdentityLighting,
         ShaderSort::Opaque},
        // A factor the game does not know in its place becomes GL_ONE.
        {"{ map a.tga\n blendFunc GL_SRC_COLOR GL_TWO }", true, GL_ONE, GL_ONE, false, RgbGen::IdentityLighting,
         ShaderSort::Blend0},
        {"{ map a.tga\n blendfunc gl_dst_color GL_ONE_MINUS_DST_ALPHA\n rgbGen lightingDiffuse }", true, GL_DST_COLOR,
         GL_ONE_MINUS_DST_ALPHA, false, RgbGen::LightingDiffuse, ShaderSort::Blend0},
        // Half a blendFunc is no blendFunc.
        {"{ map a.tga\n blendFunc GL_ONE }", false, GL_ONE, GL_ZERO, true, RgbGen::IdentityLighting, ShaderSort::Opaque},
        // Only a blended first stage sorts the shader after opaque ones.
        {"{ map a.tga } { map b.tga\n blendFunc add }", false, GL_ONE, GL_ZERO, true, RgbGen::IdentityLighting,
         ShaderSort::Opaque},
        {"polygonOffset\n{ map a.tga }", false, GL_ONE, GL_ZERO, true, RgbGen::IdentityLighting, ShaderSort::Decal},
        {"sort additive\n{ map a.tga }", false, GL_ONE, GL_ZERO, true, RgbGen::IdentityLighting, ShaderSort::Additive},
        {"sort 12.5\n{ map a.tga\n blendFunc add }", true, GL_ONE, GL_ONE, false, RgbGen::IdentityLighting, 12.5f},
    };
    for (const auto& c : cases) {
        const GameShader shader = compiled(c.body);
        ASSERT_FALSE(shader.stages.empty()) << c.body;
        const GameStage& stage = shader.stages[0];
        EXPECT_FALSE(shader.defaulted) << c.body;
        EXPECT_EQ(stage.blend, c.blend) << c.body;
        EXPECT_EQ(stage.blendSrc, c.src) << c.body;
        EXPECT_EQ(stage.blendDst, c.dst) << c.body;
        EXPECT_EQ(stage.depthWrite, c.depthWrite) << c.body;
        EXPECT_EQ(stage.rgbGen, c.rgbGen) << c.body;
        EXPECT_EQ(shader.sort, c.sort) << c.body;
    }
}

TEST(GameShaders, WhatTheGameCannotMakeIsDefaultedKeepingTheStagesBeforeIt)
{
    struct {
        const char* body;
        size_t stages;
    } const cases[] = {
        {"{ map a.tga } { map gone.tga }", 1},   // a stage image that is not there
        {"{ map a.tga } shimmer\n{ map b.tga }", 1}, // an unknown keyword of the shader
        // A stage cut short by an unknown keyword keeps its image.
        {"{ map a.tga } { map b.tga\n glow }", 2},
        {"{ map a.tga\n rgbGen identity extra }", 1}, // what is left on a line is read as a keyword
        {"{ map }", 0},                              // a map without an image
        {"{ clampMap $whiteimage }", 0},              // only map knows the $ names
        {"surfaceparm nodraw\ncull none", 0},         // no stages
        {"{ map a.tga\n tcMod scale 1 1\n tcMod scale 1 1\n tcMod scale 1 1\n tcMod scale 1 1\n tcMod scale 1 1 }", 1},
        {"{ map a } { map a } { map a } { map a } { map a } { map a } { map a } { map a } { map a }", 8},
    };
    for (const auto& c : cases) {
        const GameShader shader = compiled(c.body);
        EXPECT_TRUE(shader.defaulted) << c.body;
        EXPECT_EQ(shader.stages.size(), c.stages) << c.body;
        EXPECT_FALSE(shader.notes.empty()) << c.body;
    }
    // nodraw does not hide a model's surface that has stages.
    EXPECT_EQ(compiled("surfaceparm nodraw\n{ map $whiteimage }").stages.size(), 1u);
}

TEST(GameShaders, ImagesCullingAndTexModsAsTheGameReadsThem)
{
    GameShader shader = compiled("cull back\n{ map $LIGHTMAP }\n{ animMap 4 a.tga b.tga c.tga d.tga e.tga f.tga g.tga "
                                 "h.tga i.tga\n tcMod rotate 30\n tcMod jiggle 1\n tcMod scale 2 2 }\n"
                                 "{ ClampMap models\\x\\Hair.TGA\n alphaFunc LT128\n alphaFunc GT0 }\n"
                                 "{ map *white\n alphaFunc GE64 }");
    ASSERT_EQ(shader.stages.size(), 4u);
    EXPECT_EQ(shader.cull, CullFace::Back);
    EXPECT_EQ(shader.stages[0].images[0].kind, StageImageKind::Lightmap);
    EXPECT_EQ(shader.stages[0].texGen, TexGen::Lightmap);
    const GameStage& animated = shader.stages[1];
    EXPECT_EQ(animated.images.size(), kMaxAnimationImages);
    EXPECT_EQ(animated.animationFrequency, 4.0f);
    ASSERT_EQ(animated.texMods.size(), 3u); // an unknown tcMod takes a place and ends the chain
    EXPECT_EQ(animated.texMods[1].kind, TexMod::Kind::None);
    EXPECT_EQ(shader.stages[2].images[0].name, "models/x/Hair.TGA");
    EXPECT_TRUE(shader.stages[2].clamp);
    EXPECT_EQ(shader.stages[2].alphaFunc, static_cast<GLenum>(GL_GREATER)); // the later line wins
    EXPECT_EQ(shader.stages[3].images[0].kind, StageImageKind::White);
    EXPECT_EQ(shader.stages[3].alphaFunc, static_cast<GLenum>(GL_ALWAYS));
    for (const char* body : {"cull none\n{ map a }", "CULL Disable\n{ map a }", "{ map a }\ncull twosided"})
        EXPECT_EQ(compiled(body).cull, CullFace::None) << body;
    EXPECT_EQ(compiled("cull front\n{ map a }").cull, CullFace::Front);
    EXPECT_EQ(compiled("{ map a\n cull none }").defaulted, true); // a stage's cull is no keyword of stages
}

TEST(GameShaders, TwoMultipliedStagesTakeTheColourOnce)
{
    // The game draws these as one pass with two textures and one colour.
    EXPECT_TRUE(compiled("{ map a\n rgbGen lightingDiffuse } { map b\n blendFunc filter\n rgbGen lightingDiffuse }")
                    .stages[1]
                    .sharesPreviousColor);
    for (const char* body : {"{ map a\n rgbGen lightingDiffuse } { map b\n blendFunc filter }",
                             "{ map a } { map b\n blendFunc add }",
                             "{ map a\n alphaFunc GE128 } { map b\n blendFunc filter }"})
        EXPECT_FALSE(compiled(body).stages[1].sharesPreviousColor) << body;
}

// The passes the game's shader list gives, as the engine printed them for
// the real shaders these stand for.
TEST(GameShaders, ListedPassesCountTheStagesReadLessAFold)
{
    const struct {
        const char* body;
        int passes;
    } cases[] = {
        {"{ map a\n rgbGen lightingDiffuse }", 1},
        // Multiplied, and added with colours as they are: folded into one.
        {"{ map a\n rgbGen lightingDiffuse } { map b\n blendFunc filter\n rgbGen lightingDiffuse }", 1},
        {"{ map a\n rgbGen identity } { map b\n blendFunc add\n rgbGen identity }", 1},
        {"{ map a\n rgbGen lightingDiffuse } { map b\n blendFunc add\n rgbGen lightingDiffuse }", 2},
        // A weapon's four stages, detail ones included (none folds).
        {"{ map a\n rgbGen lightingDiffuse } { map d\n blendfunc gl_dst_color gl_src_color\n tcMod scale 8 8\n detail }"
         " { map e\n blendfunc gl_dst_color gl_dst_alpha\n rgbGen lightingDiffuse\n tcGen environment\n"
         " alphaGen lightingSpecular\n detail } { map a\n blendfunc gl_dst_color gl_dst_alpha\n"
         " rgbGen lightingDiffuse\n alphaGen lightingSpecular\n detail }",
         4},
        // A stage whose image is missing counts, though nothing is drawn of it.
        {"{ map a\n rgbGen lightingDiffuse } { map gone.tga\n blendfunc gl_dst_color gl_dst_alpha }", 2},
        {"{ map gone.tga }", 1},
        {"surfaceparm nodraw", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compiled(c.body).listedPasses, c.passes) << c.body;
}

} // namespace
