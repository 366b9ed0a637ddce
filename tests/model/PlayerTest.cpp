#include "Md3Files.h"

#include "model/Model.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "support/HeadlessGL.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>

using namespace md3files;

namespace {

using Point = std::array<float, 3>;
constexpr float kDepth = 100.0f;

class DrawTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        platform::SetNonInteractive(true);
        gl = std::make_unique<testsupport::HeadlessGL>(64, 64);
        BuildNormalTable();
    }
    static void TearDownTestSuite() { gl.reset(); }

    // The corners of every triangle drawn, in object units: the projection
    // maps x and y one to one onto the 64 x 64 viewport.
    static std::vector<Point> drawnCorners(const std::function<void()>& draw)
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 64, 0, 64, -kDepth, kDepth);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        std::vector<GLfloat> buffer(1 << 16);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        draw();
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer overflow";
        std::vector<Point> corners;
        for (GLint i = 0; i < used;) {
            EXPECT_EQ(buffer[i], GL_POLYGON_TOKEN);
            const int count = static_cast<int>(buffer[i + 1]);
            EXPECT_EQ(count, 3);
            for (int c = 0; c < count; ++c) {
                const GLfloat* v = &buffer[i + 2 + c * 3];
                corners.push_back({v[0], v[1], kDepth * (1.0f - 2.0f * v[2])});
            }
            i += 2 + count * 3;
        }
        return corners;
    }

    static TMD3Model part(const Model& model)
    {
        TMD3Model p;
        const std::string bytes = build(model);
        LoadMD3FromBytes(p, "part.md3", std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return p;
    }

    static inline std::unique_ptr<testsupport::HeadlessGL> gl;
};

void expectCorners(const std::vector<Point>& got, const std::vector<Point>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(got[i][k], want[i][k], 2e-3) << "corner " << i << " axis " << k;
}

// Frame 0 at (10,10,0) (20,10,0) (10,20,0); each frame moves by (10, 5, 2).
Model movingTriangle()
{
    Model m;
    m.frames = 2;
    m.surfaces = {triangleSurface("body", 2, {640, 320, 128})};
    return m;
}

const std::vector<Point> kFrame0{{10, 10, 0}, {20, 10, 0}, {10, 20, 0}};
const std::vector<Point> kFrame1{{20, 15, 2}, {30, 15, 2}, {20, 25, 2}};
const std::vector<Point> kHalfway{{15, 12.5f, 1}, {25, 12.5f, 1}, {15, 22.5f, 1}};

TEST_F(DrawTest, BlendsVerticesBetweenFramesWithinZeroToOne)
{
    const TMD3Model p = part(movingTriangle());
    expectCorners(drawnCorners([&] { DrawMeshes(p, 0, 1, 0.0); }), kFrame0);
    expectCorners(drawnCorners([&] { DrawMeshes(p, 0, 1, 1.0); }), kFrame1);
    expectCorners(drawnCorners([&] { DrawMeshes(p, 0, 1, 0.5); }), kHalfway);
    expectCorners(drawnCorners([&] { DrawMeshes(p, 0, 1, 3.0); }), kFrame1);
    expectCorners(drawnCorners([&] { DrawMeshes(p, 1, 0, -2.0); }), kFrame1);
    // Frames beyond the surface's vertex frames draw its last frame.
    expectCorners(drawnCorners([&] { DrawMeshes(p, 40, 7, 0.5); }), kFrame1);
    expectCorners(drawnCorners([&] { DrawMeshes(p, -4, 0, 0.0); }), kFrame0);
}

TEST_F(DrawTest, SendsFlippedTexCoordsAndUnnormalisedBlendedNormals)
{
    const TMD3Model p = part(movingTriangle());
    drawnCorners([&] { DrawMeshes(p, 0, 1, 0.5); });
    // The last corner: t = 1.0 in the file, normal bytes (64, 64) then (96, 64).
    GLfloat texCoord[4], normal[3];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, texCoord);
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_FLOAT_EQ(texCoord[0], 0.0f);
    EXPECT_FLOAT_EQ(texCoord[1], 0.0f);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(normal[k], (NormalTable[64][64][k] + NormalTable[96][64][k]) / 2, 1e-6);
}

TEST_F(DrawTest, DrawsChildrenAtTheTagOfTheCurrentFrame)
{
    Model parentFile = movingTriangle();
    parentFile.tagsPerFrame = 2;
    // Frame 1 turns tag_weapon by 90 degrees about Z and moves it to (30, 30, 5).
    parentFile.tags = {{"tag_torso", {}}, {"tag_weapon", {1, 1, 1}},
                       {"tag_torso", {}}, {"tag_weapon", {30, 30, 5}, {0, 1, 0, -1, 0, 0, 0, 0, 1}}};
    TMD3Model parent = part(parentFile);
    Model childFile;
    childFile.surfaces = {triangleSurface("w", 1)};
    childFile.surfaces[0].vertices = {{128, 64, 0}, {192, 64, 0}, {128, 128, 64}};
    TMD3Model child = part(childFile);
    LinkModel(parent, "tag_weapon", child);

    // The child at (2,1,0) (3,1,0) (2,2,1) in the tag's frame; the tag is not
    // blended even while the parent's vertices are.
    const std::vector<Point> childAtTag{{29, 32, 5}, {29, 33, 5}, {28, 32, 6}};
    std::vector<Point> want = kHalfway;
    want.insert(want.end(), childAtTag.begin(), childAtTag.end());
    parent.CurrentFrame = 1;
    parent.NextFrame = 0;
    parent.Blend = 0.5f;
    expectCorners(drawnCorners([&] { DrawModel(parent); }), want);

    // A current frame beyond the tags uses the last frame's tags.
    parent.CurrentFrame = 12;
    parent.Blend = 0.0f;
    want = kFrame1;
    want.insert(want.end(), childAtTag.begin(), childAtTag.end());
    expectCorners(drawnCorners([&] { DrawModel(parent); }), want);

    GLfloat modelView[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    EXPECT_EQ(modelView[12], 0.0f);
    EXPECT_EQ(modelView[0], 1.0f);
}

TEST_F(DrawTest, LinksAtTheFirstTagWithExactlyThatName)
{
    Model m;
    m.tagsPerFrame = 3;
    m.tags = {{"tag_torso"}, {"tag_head"}, {"tag_head"}};
    TMD3Model parent = part(m), child;
    LinkModel(parent, "TAG_TORSO", child);
    LinkModel(parent, "tag_head", child);
    LinkModel(parent, "tag_weapon", child);
    EXPECT_EQ(parent.Links, (std::vector<TMD3Model*>{nullptr, &child, nullptr}));
}

TEST_F(DrawTest, ScaledTagAxesDrawLikeUnitAxes)
{
    Model childFile;
    childFile.surfaces = {triangleSurface("w", 1)};
    childFile.surfaces[0].vertices = {{128, 64, 0}, {192, 64, 0}, {128, 128, 64}};
    TMD3Model child = part(childFile);
    auto drawnWithTag = [&](std::array<float, 9> axes) {
        Model parentFile;
        parentFile.tagsPerFrame = 1;
        parentFile.tags = {{"tag_weapon", {30, 30, 5}, axes}};
        TMD3Model parent = part(parentFile);
        LinkModel(parent, "tag_weapon", child);
        return drawnCorners([&] { DrawModel(parent); });
    };
    const std::vector<Point> unit = drawnWithTag({0, 1, 0, -1, 0, 0, 0, 0, 1});
    expectCorners(unit, {{29, 32, 5}, {29, 33, 5}, {28, 32, 6}});
    // Axes 4, 30 and 2.5 long, as exporters write them, turn the same way.
    expectCorners(drawnWithTag({0, 4, 0, -30, 0, 0, 0, 0, 2.5f}), unit);
}

TEST(TagMatrix, NormalisesAxesButKeepsUnitAndZeroAxesAsTheyAre)
{
    TMD3Tag tag{};
    const float axes[3][3] = {{0.6f, 0.8f, 0.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 3.0f, 4.0f}};
    std::memcpy(tag.Axis, axes, sizeof axes);
    tag.Origin[0] = 7;
    GLfloat m[16];
    TagMatrix(tag, m);
    // 0.6 and 0.8 are not exact in binary; their matrix entries stay bit for bit.
    EXPECT_EQ(m[0], 0.6f);
    EXPECT_EQ(m[1], 0.8f);
    EXPECT_EQ(m[4], 0.0f);
    EXPECT_EQ(m[5], 0.0f);
    EXPECT_FLOAT_EQ(m[9], 0.6f);
    EXPECT_FLOAT_EQ(m[10], 0.8f);
    EXPECT_EQ(m[12], 7.0f);
    EXPECT_EQ(m[15], 1.0f);
}

TEST_F(DrawTest, SurfacesWithoutVertexFramesDrawNothing)
{
    Model m = movingTriangle();
    m.surfaces.push_back(triangleSurface("ghost", 0));
    m.surfaces.push_back(triangleSurface("ghost", 0));
    m.surfaces[2].triangles.clear();
    m.surfaces[2].texCoords.clear();
    const TMD3Model p = part(m);
    expectCorners(drawnCorners([&] { DrawModel(p); }), kFrame0);
    expectCorners(drawnCorners([&] { DrawModel(TMD3Model{}); }), {});
}

TEST_F(DrawTest, UntexturedMeshesKeepTheTextureBoundBefore)
{
    Model m = movingTriangle();
    m.surfaces.push_back(triangleSurface("second", 2));
    TMD3Model p = part(m);
    GLuint names[2];
    glGenTextures(2, names);
    glBindTexture(GL_TEXTURE_2D, names[1]);
    p.Meshes[0].HasTexture = true;
    p.Meshes[0].Texture = names[0];
    p.Meshes[1].Texture = names[1]; // not marked: stays unused
    DrawModel(p);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), names[0]);
    glDeleteTextures(2, names);
}

// Files that pass the reader's checks but hold odd frame counts draw within
// their arrays whatever the frame fields say.
TEST_F(DrawTest, CorruptedFilesThatLoadDrawSafely)
{
    Model m = movingTriangle();
    m.tagsPerFrame = 1;
    m.tags = {{"tag_head"}, {"tag_head"}};
    const std::string whole = build(m);
    TMD3Model child = part(movingTriangle());
    uint32_t seed = 3;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes(whole.begin(), whole.end());
        seed = seed * 134775813 + 1;
        bytes[seed % bytes.size()] ^= static_cast<uint8_t>(seed >> 24 | 1);
        TMD3Model p;
        try {
            LoadMD3FromBytes(p, "flip.md3", bytes);
        } catch (const platform::EInOutError&) {
            continue;
        }
        LinkModel(p, "tag_head", child);
        p.CurrentFrame = static_cast<int32_t>(seed % 7) - 2;
        p.NextFrame = static_cast<int32_t>(seed % 5) + 1;
        drawnCorners([&] { DrawModel(p); });
    }
}

// A character folder: the three parts, skins, the animation table, an image.
class PlayerTest : public DrawTest {
protected:
    void writeCharacter(bool withLegs)
    {
        Model lower = movingTriangle(), upper, head;
        lower.tagsPerFrame = 1;
        lower.tags = {{"tag_torso", {0, 0, 10}}, {"tag_torso", {0, 0, 10}}};
        upper.frames = 1;
        upper.tagsPerFrame = 2;
        upper.tags = {{"tag_weapon"}, {"tag_head", {0, 0, 20}}};
        upper.surfaces = {triangleSurface("u_torso", 1)};
        head.surfaces = {triangleSurface("h_head", 1)};
        if (withLegs)
            dir.write("Body/lower.md3", build(lower));
        dir.write("Body/upper.md3", build(upper));
        dir.write("Body/head.md3", build(head));
        dir.write("Body/lower_default.skin", "body,models/players/test/missing.tga\n");
        dir.write("Body/upper_default.skin", "u_torso,models/players/test/missing.tga\n");
        std::string table = "sex m\n";
        for (int i = 0; i < kAnimationCount; ++i)
            table += std::to_string(i) + "\t2\t0\t" + std::to_string(10 + i) + "\t\t// anim\n";
        dir.write("Body/animation.cfg", table);
    }

    testsupport::TempDir dir;
};

TEST_F(PlayerTest, LoadsLinksAndStartsTheTwoAnimations)
{
    writeCharacter(true);
    platform::ClearRecordedMessages();
    Q3Player player;
    LoadPlayer(player, dir.file("Body/"), "default");
    EXPECT_EQ(player.Lower.Links[0], &player.Upper);
    EXPECT_EQ(player.Upper.Links, (std::vector<TMD3Model*>{nullptr, &player.Head}));
    EXPECT_TRUE(player.Lower.Meshes[0].HasTexture);
    EXPECT_TRUE(player.Upper.Meshes[0].HasTexture);
    EXPECT_FALSE(player.Head.Meshes[0].HasTexture);
    EXPECT_EQ(platform::RecordedMessages().size(), 2u); // the two missing images
    // 11 plays on the torso, 14 on the legs (legs first frames lowered by 13 - 6).
    EXPECT_EQ(player.TorsoAnim, 11);
    EXPECT_EQ(player.LegsAnim, 14);
    EXPECT_EQ(player.Upper.StartFrame, 11);
    EXPECT_EQ(player.Upper.EndFrame, 12);
    EXPECT_EQ(player.Upper.FPS, 21);
    EXPECT_EQ(player.Lower.StartFrame, 7);
    EXPECT_EQ(player.Lower.FPS, 24);
    EXPECT_EQ(player.Head.EndFrame, 0);
    EXPECT_EQ(player.Head.FPS, 0);

    // Legs at frame 0, torso 10 above them, head 20 above the torso.
    std::vector<Point> want = kFrame0;
    for (float z : {10.0f, 30.0f})
        for (Point p : {Point{10, 10, z}, Point{20, 10, z}, Point{10, 20, z}})
            want.push_back(p);
    expectCorners(drawnCorners([&] { DrawPlayer(player, 0.0f); }), want);
}

TEST_F(PlayerTest, WithoutLegsNothingIsDrawn)
{
    writeCharacter(false);
    Q3Player player;
    LoadPlayer(player, dir.file("Body/"), "default");
    EXPECT_EQ(player.Upper.Links[1], &player.Head);
    expectCorners(drawnCorners([&] { DrawPlayer(player, 1.0f); }), {});
}

} // namespace
