// Framing a pose: the points gathered from a part tree as DrawModel draws
// it, and the camera that shows them centred and filling the picture.
#include "app/common/Scene.h"


#include "OpglLib/OpglVector.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

namespace {

const ViewAxes kSceneAxes{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

// A mesh with one vertex per frame, positions in file units (1/64).
TMesh oneVertexMesh(const std::vector<std::array<int16_t, 3>>& frames)
{
    TMesh mesh;
    mesh.TexCoords.resize(1);
    mesh.TexCoords[0] = {0, 0};
    for (const auto& p : frames) {
        TMD3Vertex v{};
        std::memcpy(v.Position, p.data(), sizeof v.Position);
        mesh.Vertices.push_back(v);
    }
    return mesh;
}

TMD3Tag tagAt(float x, float y, float z, float axisLength)
{
    TMD3Tag tag{};
    std::strcpy(tag.Name, "tag_torso");
    tag.Origin[0] = x, tag.Origin[1] = y, tag.Origin[2] = z;
    for (int i = 0; i < 3; ++i)
        tag.Axis[i][i] = axisLength;
    return tag;
}

// Points of the scene as a pose seen along axes.
PoseInView poseOf(const std::vector<ScenePoint>& scene, const ViewAxes& axes)
{
    auto dot = [](const ScenePoint& a, const ScenePoint& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    PoseInView pose;
    for (const ScenePoint& p : scene) {
        pose.points.push_back({dot(p, axes.right), dot(p, axes.up), dot(p, axes.toEye)});
        pose.box.Add(pose.points.back());
    }
    return pose;
}

class Framing : public ::testing::Test {
protected:
    void SetUp() override
    {
        vectors = TGLVector::Create();
        camera = TGLCamera::Create();
    }
    void TearDown() override
    {
        camera->Free();
        vectors->Free();
    }

    // Where the points show through rec's camera: the bounds of their
    // normalised picture coordinates, -1 ... 1 across the viewport.
    struct Shown {
        double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
        bool allBetweenPlanes = true;
    };
    static Shown show(const std::vector<ScenePoint>& scene, const TGLCameraRec& rec)
    {
        const ScenePoint eye{rec.Eye.X, rec.Eye.Y, rec.Eye.Z};
        ScenePoint forward{rec.View.X - eye[0], rec.View.Y - eye[1], rec.View.Z - eye[2]};
        const double length = std::sqrt(forward[0] * forward[0] + forward[1] * forward[1] + forward[2] * forward[2]);
        for (double& c : forward)
            c /= length;
        const ScenePoint up{rec.Up.X, rec.Up.Y, rec.Up.Z};
        const ScenePoint right{forward[1] * up[2] - forward[2] * up[1], forward[2] * up[0] - forward[0] * up[2],
                               forward[0] * up[1] - forward[1] * up[0]};
        const double tanY = std::tan(rec.Fov * std::numbers::pi / 360.0);
        const double tanX = tanY * rec.ViewportWidth / rec.ViewportHeight;
        Shown shown;
        for (const ScenePoint& p : scene) {
            const ScenePoint d{p[0] - eye[0], p[1] - eye[1], p[2] - eye[2]};
            const double depth = d[0] * forward[0] + d[1] * forward[1] + d[2] * forward[2];
            const double x = (d[0] * right[0] + d[1] * right[1] + d[2] * right[2]) / depth / tanX;
            const double y = (d[0] * up[0] + d[1] * up[1] + d[2] * up[2]) / depth / tanY;
            shown.left = std::min(shown.left, x), shown.right = std::max(shown.right, x);
            shown.bottom = std::min(shown.bottom, y), shown.top = std::max(shown.top, y);
            shown.allBetweenPlanes = shown.allBetweenPlanes && depth > rec.Near && depth < rec.Far;
        }
        return shown;
    }

    testsupport::Sandbox sandbox;
    TGLVector* vectors = nullptr;
    TGLCamera* camera = nullptr;
};

} // namespace

// The points are those DrawModel draws: the part's current frame (clamped
// to the frames there are), hidden surfaces left out, children under the
// tag of that frame with its axes normalised, all stood upright.
TEST(PoseAlong, GathersTheDrawnFrameThroughTheTagsStoodUpright)
{
    TMD3Model root, child;
    root.Meshes.push_back(oneVertexMesh({{64, 0, 0}, {0, 0, 128}}));
    root.Meshes.push_back(oneVertexMesh({{9000, 9000, 9000}, {9000, 9000, 9000}})); // draws nothing
    root.Tags = {tagAt(-50, 0, 0, 1), tagAt(10, 0, 0, 4)};
    root.Links = {&child};
    root.CurrentFrame = 5; // past the last frame: the last one is drawn
    child.Meshes.push_back(oneVertexMesh({{0, 64, 0}}));

    const PoseInView pose = PoseAlong(root, kSceneAxes, {&root.Meshes[1]});
    ASSERT_EQ(pose.points.size(), 2u);
    // Model (x, y, z) stands as scene (x, z, -y).
    EXPECT_EQ(pose.points[0], (ScenePoint{0, 2, 0}));
    EXPECT_EQ(pose.points[1], (ScenePoint{10, 0, -1}));
    EXPECT_EQ(pose.box.low, (ScenePoint{0, 0, -1}));
    EXPECT_EQ(pose.box.high, (ScenePoint{10, 2, 0}));
}

// Seen from the start direction, the pose's picture is centred and fills
// 85 % of the viewport in its tighter direction, whatever the viewport's
// shape and however far the pose reaches towards the eye.
TEST_F(Framing, PoseIsCentredAndFillsTheTighterDirection)
{
    const ViewAxes axes = StartViewAxes(SceneStartView());
    const std::vector<ScenePoint> figure{{-10, -25, -8}, {10, 30, 8}, {-10, 30, 8}, {10, -25, -8}, {4, 2, -3}};
    std::vector<ScenePoint> armed = figure;
    armed.push_back({38, 5, 2}); // a weapon held out to the front
    for (const auto& scene : {figure, armed}) {
        for (auto [width, height] : {std::pair{256, 238}, std::pair{400, 100}, std::pair{90, 300}}) {
            const TGLCameraRec rec =
                FramePose(poseOf(scene, axes), axes, SceneStartView(), 18, width, height, 0.85f);
            EXPECT_EQ(rec.ViewportY, 18);
            const Shown shown = show(scene, rec);
            SCOPED_TRACE(std::to_string(scene.size()) + " points in " + std::to_string(width) + "x" +
                         std::to_string(height));
            EXPECT_TRUE(shown.allBetweenPlanes);
            EXPECT_NEAR(shown.left + shown.right, 0.0, 0.005);
            EXPECT_NEAR(shown.bottom + shown.top, 0.0, 0.005);
            const double across = (shown.right - shown.left) / 2, upward = (shown.top - shown.bottom) / 2;
            EXPECT_NEAR(std::max(across, upward), 0.85, 0.005);
            EXPECT_LE(std::min(across, upward), 0.855);
        }
    }
}

TEST_F(Framing, NothingToFrameIsRefused)
{
    const ViewAxes axes = StartViewAxes(SceneStartView());
    const StartView view = SceneStartView();
    EXPECT_THROW(FramePose(PoseInView{}, axes, view, 0, 64, 64, 0.85f), NothingToDraw);
    EXPECT_THROW(FramePose(poseOf({{0, 0, 0}, {INFINITY, 0, 0}}, axes), axes, view, 0, 64, 64, 0.85f), NothingToDraw);
    // Parts hung on tags at the largest float: finite, and no picture of them.
    EXPECT_THROW(FramePose(poseOf({{0, 0, 0}, {3.4e38, -3.4e38, 3.4e38}}, axes), axes, view, 0, 64, 64, 0.85f),
                 NothingToDraw);
    EXPECT_NO_THROW(FramePose(poseOf({{0, 0, 0}, {kGameWorldWidth / 2, 0, 0}}, axes), axes, view, 0, 64, 64, 0.85f));
    // A single point is framed from some distance, not from inside it.
    const TGLCameraRec rec = FramePose(poseOf({{1, 2, 3}}, axes), axes, view, 0, 64, 64, 0.85f);
    EXPECT_TRUE(show({{1, 2, 3}}, rec).allBetweenPlanes);
}
