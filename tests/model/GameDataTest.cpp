// Texture names of game data (image, alternate, own folder, shader), the
// textures a character shares, and surfaces drawn with their shader's state.
#include "Md3Files.h"

#include "model/GameData.h"
#include "platform/system/Dialogs.h"
#include "platform/files/FileLayer.h"
#include "support/HeadlessGL.h"
#include "support/TempDir.h"
#include "tools/writers/ImageWriters.h"

#include <gtest/gtest.h>

#include <memory>

using namespace md3files;
namespace files = platform::files;

namespace {

// A 4 x 4 Targa of one colour; with alpha, columns 0 and 1 are transparent.
std::string image(uint8_t r, uint8_t g, uint8_t b, bool holes = false)
{
    writers::Image picture(4, 4, holes ? 4 : 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            uint8_t* p = picture.at(x, y);
            p[0] = r, p[1] = g, p[2] = b;
            if (holes)
                p[3] = x < 2 ? 0 : 255;
        }
    return writers::encodeTga(picture);
}

const char* const kScript = "models/players/a/skin\n{\n{\nmap models/players/a/other.tga\n}\n}\n"
                            "models/players/a/hair { cull none { map $lightmap } {\n"
                            "  map models/players/b/hair.tga\n  alphaFunc GE128\n} }\n"
                            "models/players/a/glow { { map models/players/a/skin.tga\n blendFunc add } }\n"
                            "models/players/a/white { { map $whiteimage } }\n"
                            "models/players/a/clip { surfaceparm nodraw { map models/players/a/skin.tga } }\n"
                            "models/players/a/empty { cull none }\n";

class GameData : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platform::SetNonInteractive(true);
        gl = std::make_unique<testsupport::HeadlessGL>(64, 64);
    }
    static void TearDownTestSuite()
    {
        files::MountDisk();
        gl.reset();
    }

    void SetUp() override
    {
        root.write("models/players/a/skin.tga", image(200, 0, 0));
        root.write("models/players/a/alt.jpg", "not read here");
        root.write("models/players/a/own.tga", image(0, 0, 200));
        root.write("models/players/b/hair.tga", image(0, 200, 0, true));
        root.write("scripts/a.shader", kScript);
        files::MountGameRoot(root.path());
        std::vector<ShaderProblem> problems;
        shaders = LoadShaderScripts(problems);
        ASSERT_TRUE(problems.empty());
        platform::ClearRecordedMessages();
    }

    testsupport::TempDir root;
    ShaderTable shaders;
    static inline std::unique_ptr<testsupport::HeadlessGL> gl;
};

TEST_F(GameData, NamesResolveToFileThenAlternateThenOwnFolderThenShader)
{
    const std::string own = "models/players/a/";
    auto imageOf = [&](const std::string& name) { return ResolveTexture(name, own, &shaders).imagePath; };
    // A file wins over a shader of the same name.
    EXPECT_EQ(imageOf("models/players/a/skin"), "models/players/a/skin.tga");
    EXPECT_EQ(imageOf("MODELS/Players/A/SKIN.TGA"), "models/players/a/skin.tga");
    EXPECT_EQ(imageOf("models/players/a/alt.tga"), "models/players/a/alt.jpg");
    EXPECT_EQ(imageOf("models/players/old/own.png"), "models/players/a/own.tga");
    EXPECT_EQ(imageOf("models\\players\\a\\skin.tga"), "models/players/a/skin.tga");

    const ResolvedTexture hair = ResolveTexture("models/players/a/hair", own, &shaders);
    ASSERT_TRUE(hair.found && hair.shader);
    EXPECT_EQ(hair.imagePath, "models/players/b/hair.tga"); // in another character's folder
    EXPECT_TRUE(hair.look.twoSided);
    EXPECT_EQ(hair.look.alphaFunc, GLenum(GL_GEQUAL));

    EXPECT_FALSE(ResolveTexture("models/players/a/nothing", own, &shaders).found);
    EXPECT_FALSE(ResolveTexture("models/players/a/hair", own, nullptr).found);
}

// Skins are named by their files, PART_NAME.skin in any letter case, in name
// order; a file with no name between the part and the extension names none.
TEST_F(GameData, SkinsAreTheNamesOfTheirFilesAndAnEmptyNameIsNone)
{
    for (const char* name : {"lower_.skin", "lower_red.skin", "LOWER_Blue.SKIN", "upper_x.skin", "lower_old.skin.bak",
                             "lower_.skin.skin", "lowerred.skin"})
        root.write(std::string("models/players/c/") + name, "");
    root.write("models/players/c/lower_folder.skin/inside", "");
    files::MountGameRoot(root.path());
    EXPECT_EQ(ListSkins("models/players/c/"), (std::vector<std::string>{".skin", "Blue", "red"}));
    EXPECT_EQ(ListSkins("models/players/c/", "upper"), std::vector<std::string>{"x"});
}

TEST_F(GameData, OneTexturePerImageForTheWholeCharacterFreedTogether)
{
    TextureSet set(&shaders);
    const std::string own = "models/players/a/";
    const GLuint byPath = set.SurfaceFor("models/players/a/skin.tga", own).texture;
    const GLuint byOtherCase = set.SurfaceFor("Models/Players/A/Skin", own).texture;
    const GLuint byShader = set.SurfaceFor("models/players/a/glow", own).texture;
    const SurfaceTexture white = set.SurfaceFor("models/players/a/white", own);
    ASSERT_NE(byPath, 0u);
    EXPECT_EQ(byOtherCase, byPath);
    EXPECT_EQ(byShader, byPath);
    EXPECT_TRUE(set.SurfaceFor("models/players/a/glow", own).style.blend);
    EXPECT_NE(white.texture, 0u);
    EXPECT_EQ(set.Count(), 2u); // skin.tga and the white image
    EXPECT_TRUE(set.SurfaceFor("models/players/a/clip", own).style.hidden);
    EXPECT_TRUE(set.SurfaceFor("models/players/a/empty", own).style.hidden);

    // A name that is nothing leaves the surface untextured after one message.
    EXPECT_EQ(set.SurfaceFor("models/players/a/missing.tga", own).texture, 0u);
    EXPECT_EQ(set.SurfaceFor("models/players/a/missing.tga", own).texture, 0u);
    EXPECT_EQ(platform::RecordedMessages().size(), 1u);
    EXPECT_EQ(set.Count(), 2u);

    set.Clear();
    EXPECT_FALSE(glIsTexture(byPath));
    EXPECT_FALSE(glIsTexture(white.texture));
    EXPECT_EQ(set.Count(), 0u);
}

// A square over the middle of the 64 x 64 view, wound clockwise (as the
// game's models are) or counter-clockwise (its back face towards the eye).
TMD3Model square(bool clockwise)
{
    Surface s;
    s.name = "square";
    s.vertexFrames = 1;
    s.texCoords = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    s.vertices = {{16 * 64, 16 * 64, 0}, {48 * 64, 16 * 64, 0}, {48 * 64, 48 * 64, 0}, {16 * 64, 48 * 64, 0}};
    s.triangles = clockwise ? std::vector<std::array<int32_t, 3>>{{0, 2, 1}, {0, 3, 2}}
                            : std::vector<std::array<int32_t, 3>>{{0, 1, 2}, {0, 2, 3}};
    Model m;
    m.surfaces = {s};
    const std::string bytes = build(m);
    TMD3Model part;
    LoadMD3FromBytes(part, "square.md3", std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return part;
}

class SurfaceDrawing : public GameData {
protected:
    // Draws the square on a grey background with the surface a texture name
    // gives it; the GL state outside the surface is checked to be as before.
    std::vector<uint8_t> draw(const std::string& textureName, bool clockwise = true)
    {
        TMD3Model part = square(clockwise);
        UseGameStyle(part);
        ApplySurfaceTexture(part.Meshes[0], set.SurfaceFor(textureName, "models/players/a/"));
        glViewport(0, 0, 64, 64);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 64, 0, 64, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
        glColor4f(1, 1, 1, 1);
        glClearColor(0.5f, 0.5f, 0.5f, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        DrawMeshes(part, 0, 0, 0.0);

        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        GLint value = 0;
        glGetIntegerv(GL_BLEND_SRC, &value);
        EXPECT_EQ(value, GL_SRC_COLOR);
        glGetIntegerv(GL_BLEND_DST, &value);
        EXPECT_EQ(value, GL_ONE_MINUS_SRC_COLOR);
        glGetIntegerv(GL_CULL_FACE_MODE, &value);
        EXPECT_EQ(value, GL_BACK);
        GLboolean depthWrite = GL_FALSE;
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrite);
        EXPECT_TRUE(depthWrite);
        glBindTexture(GL_TEXTURE_2D, 0);
        return gl->readPixels();
    }

    // The colour at a point of the square: x 16 ... 48, y 16 ... 48.
    static testsupport::HeadlessGL::Rgb at(const std::vector<uint8_t>& pixels, int x, int y)
    {
        const size_t i = (static_cast<size_t>(y) * 64 + x) * 3;
        return {pixels[i], pixels[i + 1], pixels[i + 2]};
    }

    TextureSet set{&shaders};
};

TEST_F(SurfaceDrawing, FacesAreCulledAsTheGameCullsThemUnlessTwoSided)
{
    EXPECT_EQ(at(draw("models/players/a/skin.tga"), 32, 32).r, 200);
    const std::vector<uint8_t> back = draw("models/players/a/skin.tga", false);
    EXPECT_EQ(at(back, 32, 32).r, at(back, 2, 2).r); // the back face: culled
    // The two-sided hair shader draws the back face too.
    EXPECT_EQ(at(draw("models/players/a/hair", false), 40, 32).g, 200);
}

TEST_F(SurfaceDrawing, AlphaTestLeavesHolesWhereAlphaIsBelowHalf)
{
    const std::vector<uint8_t> pixels = draw("models/players/a/hair");
    const auto hole = at(pixels, 20, 32), solid = at(pixels, 44, 32), background = at(pixels, 2, 2);
    EXPECT_EQ(hole.r, background.r);
    EXPECT_EQ(hole.g, background.g);
    EXPECT_EQ(solid.g, 200);
    EXPECT_EQ(solid.r, 0);
}

TEST_F(SurfaceDrawing, BlendedSurfacesAddToWhatIsBehind)
{
    const std::vector<uint8_t> pixels = draw("models/players/a/glow");
    const auto added = at(pixels, 32, 32), background = at(pixels, 2, 2);
    EXPECT_EQ(added.r, 255); // grey + 200, clamped
    EXPECT_EQ(added.g, background.g);
}

TEST_F(SurfaceDrawing, NodrawAndStagelessShadersDrawNothing)
{
    for (const char* name : {"models/players/a/clip", "models/players/a/empty"}) {
        const std::vector<uint8_t> pixels = draw(name);
        for (size_t i = 0; i < pixels.size(); ++i)
            ASSERT_EQ(pixels[i], pixels[0]) << name << " at byte " << i;
    }
}

} // namespace
