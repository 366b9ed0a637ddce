#include "model/Shaders.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(namesOf(table), (std::vector<std::string>{"models/players/test/hair", "quoted {"}));

    const ShaderDefinition* hair = table.Find("MODELS/players\\test/HAIR");
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

TEST(ShaderScripts, LaterFileWinsAndRepeatsInAFileAreIgnored)
{
    std::vector<ShaderProblem> problems;
    ShaderTable table;
    // Added against name order: the rule follows the names, not the calls.
    table.AddFile("scripts/Zeta.shader", "shared { { map z.tga } }\n", problems);
    table.AddFile("scripts/alpha.shader", "shared { { map a.tga } }\nonly { }\n", problems);
    table.AddFile("scripts/beta.shader",
                  "SHARED { { map b1.tga } }\nshared { { map b2.tga } }\nonly { cull none }\n", problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(LookOf(*table.Find("shared")).image, "z.tga");
    EXPECT_EQ(table.Find("only")->fileName, "scripts/beta.shader");
    EXPECT_EQ(table.Find("only")->lines, (std::vector<ShaderLine>{{"cull", "none"}}));

    ShaderTable within;
    within.AddFile("scripts/x.shader", "twice { cull none }\ntwice { }\n", problems);
    EXPECT_EQ(within.Find("twice")->lines.size(), 1u);
    EXPECT_EQ(within.Find("twice")->line, 1u);
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

// Each script holds the shader "kept" before its break and "lost" after it.
TEST_P(BrokenShaderScripts, KeepsShadersBeforeTheOneProblem)
{
    std::vector<ShaderProblem> problems;
    ShaderTable table;
    table.AddFile("scripts/broken.shader", GetParam().text, problems);
    table.AddFile("scripts/fine.shader", "other { }\n", problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].fileName, "scripts/broken.shader");
    EXPECT_EQ(problems[0].message, GetParam().message);
    EXPECT_EQ(namesOf(table), (std::vector<std::string>{"kept", "other"}));
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

SurfaceLook lookOf(const std::string& body)
{
    std::vector<ShaderProblem> problems;
    const ShaderTable table = tableOf("s {\n" + body + "\n}\n", problems);
    EXPECT_TRUE(problems.empty());
    const ShaderDefinition* definition = table.Find("s");
    return definition ? LookOf(*definition) : SurfaceLook{};
}

TEST(ShaderLooks, TakeTheFirstImageStageSkippingLightmaps)
{
    SurfaceLook look = lookOf("surfaceparm trans\n"
                              "{ map $LIGHTMAP\n blendFunc add\n alphaFunc GT0 }\n"
                              "{ rgbGen identity }\n"
                              "{ blendFunc blend\n alphaFunc LT128\n ClampMap models\\x\\Hair.TGA }\n"
                              "{ map other.tga\n alphaFunc GE128 }\n");
    EXPECT_EQ(look.image, "models/x/Hair.TGA");
    EXPECT_FALSE(look.white);
    EXPECT_FALSE(look.noDraw);
    EXPECT_TRUE(look.blend);
    EXPECT_EQ(look.blendSrc, static_cast<GLenum>(GL_SRC_ALPHA));
    EXPECT_EQ(look.blendDst, static_cast<GLenum>(GL_ONE_MINUS_SRC_ALPHA));
    EXPECT_EQ(look.alphaFunc, static_cast<GLenum>(GL_LESS));
    EXPECT_EQ(look.alphaRef, 0.5f);
    EXPECT_FALSE(look.twoSided);

    look = lookOf("{ animMap 10 first.tga second.tga }");
    EXPECT_EQ(look.image, "first.tga");
    EXPECT_FALSE(look.blend);
    EXPECT_EQ(look.alphaFunc, static_cast<GLenum>(GL_ALWAYS));

    // An animMap without images, like a map without one, gives no image.
    look = lookOf("{ animMap 10 }\n{ map }\n{ map \"\" }\n{ map $whiteimage }");
    EXPECT_TRUE(look.white);
    EXPECT_TRUE(look.image.empty());
    EXPECT_TRUE(lookOf("{ map *WHITE }").white);
}

TEST(ShaderLooks, DrawNothingWithoutAnImageStageOrWithNodraw)
{
    for (const char* body : {"", "cull none", "{ map $lightmap }", "{ rgbGen wave sin 0 1 0 1 }",
                             "surfaceParm NODRAW\n{ map a.tga }", "{ map a.tga }\nsurfaceparm trans nodraw2\n"
                                                                  "surfaceparm nodraw"}) {
        const SurfaceLook look = lookOf(body);
        EXPECT_TRUE(look.noDraw) << body;
        EXPECT_TRUE(look.image.empty()) << body;
        EXPECT_FALSE(look.blend || look.twoSided || look.white) << body;
    }
}

TEST(ShaderLooks, CullingFollowsTheLastCullLineOfTheShader)
{
    EXPECT_TRUE(lookOf("cull none\n{ map a.tga }").twoSided);
    EXPECT_TRUE(lookOf("CULL Disable\n{ map a.tga }").twoSided);
    EXPECT_TRUE(lookOf("{ map a.tga }\ncull twosided").twoSided);
    EXPECT_FALSE(lookOf("cull none\ncull back\n{ map a.tga }").twoSided);
    EXPECT_FALSE(lookOf("{ map a.tga\n cull none }").twoSided); // a stage's cull line is no shader's
}

struct BlendCase {
    const char* label;
    const char* arguments;
    bool blend;
    GLenum src, dst;
};

void PrintTo(const BlendCase& value, std::ostream* out) { *out << value.label; }

class ShaderBlendFunc : public ::testing::TestWithParam<BlendCase> {};

TEST_P(ShaderBlendFunc, GivesGL11Factors)
{
    const SurfaceLook look = lookOf(std::string("{ blendFunc ") + GetParam().arguments + "\n map a.tga }");
    EXPECT_EQ(look.blend, GetParam().blend);
    EXPECT_EQ(look.blendSrc, GetParam().src);
    EXPECT_EQ(look.blendDst, GetParam().dst);
}

INSTANTIATE_TEST_SUITE_P(
    ShaderLooks, ShaderBlendFunc,
    ::testing::Values(BlendCase{"Add", "add", true, GL_ONE, GL_ONE}, BlendCase{"Filter", "FILTER", true, GL_DST_COLOR, GL_ZERO},
                      BlendCase{"Blend", "Blend", true, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                      BlendCase{"DstColorOneMinusDstAlpha", "gl_dst_color GL_ONE_MINUS_DST_ALPHA", true, GL_DST_COLOR, GL_ONE_MINUS_DST_ALPHA},
                      BlendCase{"SaturateOneMinusSrcColor", "GL_SRC_ALPHA_SATURATE GL_ONE_MINUS_SRC_COLOR", true, GL_SRC_ALPHA_SATURATE,
                                GL_ONE_MINUS_SRC_COLOR},
                      // Opaque, unknown or out of place in GL 1.1: no blending.
                      BlendCase{"OneZeroIsOpaque", "GL_ONE GL_ZERO", false, GL_ONE, GL_ZERO},
                      BlendCase{"UnknownFactor", "GL_ONE GL_TWO", false, GL_ONE, GL_ZERO},
                      BlendCase{"SrcColorAsSource", "GL_SRC_COLOR GL_ONE", false, GL_ONE, GL_ZERO},
                      BlendCase{"DstColorAsDestination", "GL_ONE GL_DST_COLOR", false, GL_ONE, GL_ZERO},
                      BlendCase{"UnknownWord", "mix", false, GL_ONE, GL_ZERO}, BlendCase{"NoArguments", "", false, GL_ONE, GL_ZERO}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ShaderLooks, AlphaFuncGivesTheTestOfItsStage)
{
    struct {
        const char* argument;
        GLenum func;
        GLfloat ref;
    } const cases[] = {{"GT0", GL_GREATER, 0.0f},
                       {"lt128", GL_LESS, 0.5f},
                       {"Ge128", GL_GEQUAL, 0.5f},
                       {"GE64", GL_ALWAYS, 0.0f},
                       {"", GL_ALWAYS, 0.0f}};
    for (const auto& c : cases) {
        const SurfaceLook look = lookOf(std::string("{ map a.tga\n alphaFunc ") + c.argument + " }");
        EXPECT_EQ(look.alphaFunc, c.func) << c.argument;
        EXPECT_EQ(look.alphaRef, c.ref) << c.argument;
    }
    // A later line of the stage overrides an earlier one.
    EXPECT_EQ(lookOf("{ alphaFunc GT0\n map a.tga\n alphaFunc GE128 }").alphaFunc, static_cast<GLenum>(GL_GEQUAL));
}

} // namespace
