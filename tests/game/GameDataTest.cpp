// Surface names of game data (shader, image, extensions, own folder) and the
// shaders and textures a character shares.

#include "Md3Files.h"
#include "game/GameCharacter.h"
#include "game/GameData.h"
#include "game/GameRenderer.h"
#include "platform/system/Dialogs.h"
#include "platform/files/FileLayer.h"
#include "support/HeadlessGL.h"
#include "support/TempDir.h"
#include "tools/writers/ImageWriters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

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

const char* const kScript = "models/players/a/skin\n{\n{\nmap models/players/a/own.tga\n}\n}\n"
                            "models/players/a/hair { cull none { map $lightmap } {\n"
                            "  map models/players/b/hair.tga\n  alphaFunc GE128\n} }\n"
                            "models/players/a/glow { { map models/players/a/own.tga\n blendFunc add } }\n"
                            "models/players/a/broken { { map models/players/a/gone.tga } }\n"
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
        root.write("models/players/a/alt.jpeg", "not read here");
        root.write("models/players/a/alt.png", "not read here");
        root.write("models/players/a/own.tga", image(0, 0, 200));
        root.write("models/players/a/odd.dds.bmp", "not read here");
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

TEST_F(GameData, ShadersComeBeforeImagesAndImagesTryTheGamesExtensions)
{
    const std::string own = "models/players/a/";
    // The script's shader wins over the image of the same name, extension or
    // not; a name written with "\\" is another shader's, and finds the image.
    for (const char* name : {"models/players/a/skin", "MODELS/Players/A/SKIN.TGA"})
        EXPECT_EQ(ResolveSurfaceName(name, own, &shaders).shader, shaders.Find("models/players/a/skin")) << name;
    const SurfaceName backslashed = ResolveSurfaceName("models\\players\\a\\skin.jpg", own, &shaders);
    EXPECT_EQ(backslashed.shader, nullptr);
    EXPECT_EQ(backslashed.image, "models/players/a/skin.tga");
    // Without scripts the image; then the other extensions in the game's order.
    const struct {
        const char* name;
        const char* image;
    } images[] = {{"models/players/a/skin", "models/players/a/skin.tga"},
                  {"models/players/a/alt.tga", "models/players/a/alt.jpeg"},
                  {"models/players/a/alt.png", "models/players/a/alt.png"},
                  {"models/players/a/alt.bmp", "models/players/a/alt.jpeg"},
                  {"models/players/a/odd.dds", "models/players/a/odd.dds.bmp"},
                  {"models/players/a/odd", ""}};
    for (const auto& c : images)
        EXPECT_EQ(ResolveSurfaceName(c.name, own, nullptr).image.value_or(""), c.image) << c.name;
    // Nothing of the name: the character's own folder is only a hint.
    const SurfaceName moved = ResolveSurfaceName("models/players/old/own.png", own, &shaders);
    EXPECT_FALSE(moved.shader || moved.image);
    EXPECT_EQ(moved.ownFolderImage, "models/players/a/own.tga");
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

TEST_F(GameData, OneShaderPerNameOneTexturePerImageAndWhatNothingDraws)
{
    TextureSet set(&shaders);
    const BoundShader* skin = set.ShaderFor("models/players/a/skin.tga", ShaderUse::Skin);
    EXPECT_EQ(set.ShaderFor("Models/Players/A/Skin", ShaderUse::Model), skin);
    const BoundShader* glow = set.ShaderFor("models/players/a/glow", ShaderUse::Skin);
    ASSERT_EQ(skin->shader.stages.size(), 1u);
    EXPECT_TRUE(glow->shader.stages[0].blend);
    EXPECT_EQ(skin->textures[0][0], glow->textures[0][0]); // own.tga, uploaded once
    EXPECT_LT(set.DefaultShader()->order, skin->order);    // the default is made first
    EXPECT_LT(skin->order, glow->order);

    // Neither shader nor image, or a shader whose image is gone: a skin line
    // draws nothing, the model's own name the default texture; one message each.
    for (const char* name : {"models/players/a/missing.tga", "models/players/a/broken"}) {
        EXPECT_TRUE(set.ShaderFor(name, ShaderUse::Skin)->shader.stages.empty()) << name;
        EXPECT_EQ(set.ShaderFor(name, ShaderUse::Model), set.DefaultShader()) << name;
    }
    EXPECT_EQ(platform::RecordedMessages().size(), 2u);
    const size_t count = set.Count(); // own.tga and the default image
    EXPECT_EQ(count, 2u);

    const GLuint texture = skin->textures[0][0];
    set.Clear();
    EXPECT_FALSE(glIsTexture(texture));
    EXPECT_EQ(set.Count(), 0u);
}

// A weapon with a barrel on its tag_barrel: the game hangs the barrel there,
// rolled to where it rests, and its tags blend between frames as the
// engine's tag lerp does (the axes normalised, frames past the last taken as
// the last, identity for a frame without the tag).
TEST_F(GameData, WeaponsCarryTheirBarrelAndTagsBlendAsTheGameBlendsThem)
{
    md3files::Model gun;
    gun.frames = 3;
    gun.tagsPerFrame = 1;
    md3files::Tag turned{"tag_barrel", {10, 0, 0}, {0, 1, 0, -1, 0, 0, 0, 0, 1}};
    gun.tags = {{"tag_barrel", {0, 0, 0}}, turned, {"tag_other", {5, 5, 5}}};
    gun.surfaces = {md3files::triangleSurface("w_gun", 3)};
    md3files::Model barrel;
    barrel.surfaces = {md3files::triangleSurface("w_barrel", 1)};
    root.write("models/weapons2/gun/gun.md3", md3files::build(gun));
    root.write("models/weapons2/gun/gun_barrel.md3", md3files::build(barrel));
    root.write("models/weapons2/bare/bare.md3", md3files::build(gun));
    files::MountGameRoot(root.path());
    TextureSet set(&shaders);
    GamePart weapon, bare;
    LoadGameWeapon(weapon, "gun", set);
    LoadGameWeapon(bare, "bare", set);
    ASSERT_EQ(weapon.model.Links.size(), 1u);
    ASSERT_NE(weapon.links[0], nullptr);
    EXPECT_EQ(weapon.model.Links[0], &weapon.links[0]->model);
    EXPECT_EQ(weapon.links[0]->rollDegrees, 450.0f); // the README's figure
    EXPECT_EQ(bare.model.Links[0], nullptr);

    struct Case {
        int32_t current, next;
        float blend;
        std::array<float, 3> axis0, origin;
    };
    const float half = std::sqrt(0.5f);
    const Case cases[] = {
        {0, 1, 0.5f, {half, half, 0}, {5, 0, 0}}, {1, 1, 0.3f, {0, 1, 0}, {10, 0, 0}},
        {1, 9, 0.5f, {1, 0, 0}, {0, 0, 0}}, // frame 9 is frame 2, which lacks the tag
    };
    for (const Case& c : cases) {
        weapon.model.CurrentFrame = c.current, weapon.model.NextFrame = c.next, weapon.model.Blend = c.blend;
        GLfloat m[16];
        GameTagMatrix(weapon.model, 0, m);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(m[i], c.axis0[i], 1e-5) << c.current << "-" << c.next;
            EXPECT_NEAR(m[12 + i], c.origin[i], 1e-5) << c.current << "-" << c.next;
        }
    }
    // Meshes: frames the part lacks show its first frame; equal frames do
    // not blend.
    const std::array<int32_t, 5> meshCases[] = {{0, 1, 0, 1, 1}, {2, 2, 2, 2, 0}, {1, 3, 0, 0, 0}, {-1, 0, 0, 0, 0}};
    for (const auto& [current, next, shown, towards, weighs] : meshCases) {
        weapon.model.CurrentFrame = current, weapon.model.NextFrame = next, weapon.model.Blend = 0.5f;
        const MeshFrames frames = GameMeshFrames(weapon.model);
        EXPECT_EQ(frames.current, static_cast<size_t>(shown)) << current << "-" << next;
        EXPECT_EQ(frames.next, static_cast<size_t>(towards)) << current << "-" << next;
        EXPECT_EQ(frames.weight, weighs ? 0.5 : 0.0) << current << "-" << next;
    }
}

} // namespace
