#include "tools/samples/SkinnedCharacter.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <utility>

namespace samples {

namespace {

// Indices into SkinnedCharacter::joints, as JOINTS_0 holds them.
enum Joint : uint8_t { Hips, Spine, Neck, ThighL, ArmR };

using Quat = Float4;

Quat axisAngle(Float3 axis, float degrees)
{
    const float length = std::hypot(axis[0], axis[1], axis[2]);
    const float half = degrees * std::numbers::pi_v<float> / 360.0f;
    const float s = std::sin(half) / length;
    return {axis[0] * s, axis[1] * s, axis[2] * s, std::cos(half)};
}

Quat operator*(const Quat& a, const Quat& b)
{
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
            a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
            a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

// Up to three joints and their weights, the rest of the four slots empty.
struct Influence {
    std::array<uint8_t, 4> joints{};
    Float4 weights{};
    Influence(std::initializer_list<std::pair<Joint, float>> list)
    {
        size_t slot = 0;
        for (const auto& [joint, weight] : list) {
            joints[slot] = joint;
            weights[slot++] = weight;
        }
    }
};

// A horizontal cross-section of a box: its height, centre, half extents and
// the joints that move it.
struct Ring {
    float y;
    float centreX, centreZ;
    float halfX, halfZ;
    Influence influence;
};

// The side image runs over v 0 (top ring) to kSideV (bottom ring); the caps
// lie below it, the bottom cap on the left, the top cap on the right.
constexpr float kSideV = 0.7f;
constexpr float kCapV = 0.75f;
constexpr float kCapSize = 0.2f;
constexpr std::array<std::array<float, 2>, 4> kCorners{{{1, 1}, {1, -1}, {-1, -1}, {-1, 1}}};

// A closed box through rings (bottom first). The sides are smooth at the
// corners; the texture wraps once around them, so the first corner appears
// twice, at u 0 and u 1. Each cap has vertices of its own, facing out.
void addBox(SkinnedMesh& mesh, const std::vector<Ring>& rings)
{
    const auto vertex = [&mesh](const Ring& ring, size_t corner, Float3 normal, std::array<float, 2> uv) {
        const Float3 position{ring.centreX + kCorners[corner % 4][0] * ring.halfX, ring.y,
                              ring.centreZ + kCorners[corner % 4][1] * ring.halfZ};
        mesh.vertices.push_back({position, normal, uv, ring.influence.joints, ring.influence.weights});
        return static_cast<uint16_t>(mesh.vertices.size() - 1);
    };
    const float diagonal = std::numbers::sqrt2_v<float> / 2;
    const float bottom = rings.front().y, top = rings.back().y;
    std::vector<std::array<uint16_t, 5>> side;
    for (const Ring& ring : rings) {
        std::array<uint16_t, 5>& around = side.emplace_back();
        for (size_t corner = 0; corner < 5; ++corner)
            around[corner] = vertex(ring, corner,
                                    {kCorners[corner % 4][0] * diagonal, 0, kCorners[corner % 4][1] * diagonal},
                                    {corner / 4.0f, kSideV * (top - ring.y) / (top - bottom)});
    }
    for (size_t r = 0; r + 1 < side.size(); ++r)
        for (size_t c = 0; c < 4; ++c)
            mesh.triangles.insert(mesh.triangles.end(), {side[r][c], side[r][c + 1], side[r + 1][c + 1], side[r][c],
                                                         side[r + 1][c + 1], side[r + 1][c]});
    for (const bool up : {false, true}) {
        const Ring& ring = up ? rings.back() : rings.front();
        const float u0 = up ? 0.5f : 0.0f;
        std::array<uint16_t, 4> cap;
        for (size_t c = 0; c < 4; ++c)
            cap[c] = vertex(ring, c, {0, up ? 1.0f : -1.0f, 0},
                            {u0 + kCapSize * (kCorners[c][0] + 1) / 2, kCapV + kCapSize * (kCorners[c][1] + 1) / 2});
        // Seen from above the corners run counter-clockwise.
        if (up)
            mesh.triangles.insert(mesh.triangles.end(), {cap[0], cap[1], cap[2], cap[0], cap[2], cap[3]});
        else
            mesh.triangles.insert(mesh.triangles.end(), {cap[0], cap[2], cap[1], cap[0], cap[3], cap[2]});
    }
}

std::vector<SkinnedMesh> sampleMeshes()
{
    SkinnedMesh legs{"l_legs", "Trousers", {70, 80, 150}, {}, {}};
    addBox(legs, {{0.02f, 0.1f, 0, 0.07f, 0.08f, {{ThighL, 1.0f}}},
                  {0.5f, 0.1f, 0, 0.075f, 0.08f, {{ThighL, 0.875f}, {Hips, 0.125f}}},
                  {0.97f, 0.1f, 0, 0.08f, 0.09f, {{Hips, 0.5f}, {ThighL, 0.5f}}}});
    addBox(legs, {{0.02f, -0.1f, 0, 0.07f, 0.08f, {{Hips, 1.0f}}},
                  {0.5f, -0.1f, 0, 0.075f, 0.08f, {{Hips, 1.0f}}},
                  {0.97f, -0.1f, 0, 0.08f, 0.09f, {{Hips, 1.0f}}}});
    SkinnedMesh torso{"u_torso", "Body", {170, 60, 40}, {}, {}};
    addBox(torso, {{0.95f, 0, 0, 0.16f, 0.1f, {{Hips, 0.75f}, {Spine, 0.25f}}},
                   {1.22f, 0, 0, 0.17f, 0.1f, {{Spine, 0.625f}, {Hips, 0.125f}, {ArmR, 0.25f}}},
                   {1.5f, 0, 0.01f, 0.15f, 0.09f, {{Spine, 0.5f}, {Neck, 0.5f}}}});
    addBox(torso, {{0.9f, -0.215f, 0, 0.04f, 0.04f, {{ArmR, 1.0f}}},
                   {1.15f, -0.215f, 0, 0.045f, 0.045f, {{ArmR, 1.0f}}},
                   {1.45f, -0.215f, 0, 0.05f, 0.05f, {{ArmR, 0.75f}, {Spine, 0.25f}}}});
    SkinnedMesh head{"h_head", "Skin", {225, 180, 150}, {}, {}};
    addBox(head, {{1.5f, 0, 0.01f, 0.085f, 0.1f, {{Neck, 0.75f}, {Spine, 0.25f}}},
                  {1.6f, 0, 0.01f, 0.09f, 0.1f, {{Neck, 1.0f}}},
                  {1.72f, 0, 0, 0.08f, 0.09f, {{Neck, 1.0f}}}});
    return {legs, torso, head};
}

// Rotation keys: each the node's rest rotation turned by degrees about axis.
std::vector<float> turns(const Quat& rest, Float3 axis, std::initializer_list<float> degrees)
{
    std::vector<float> values;
    for (const float d : degrees) {
        const Quat q = rest * axisAngle(axis, d);
        values.insert(values.end(), q.begin(), q.end());
    }
    return values;
}

std::vector<SkinnedAnimation> sampleAnimations(const std::vector<SkinnedNode>& nodes)
{
    const auto rest = [&nodes](const char* name) {
        return std::find_if(nodes.begin(), nodes.end(), [name](const SkinnedNode& n) { return n.name == name; })
            ->rotation;
    };
    SkinnedAnimation walk{kSkinnedWalk, {}};
    walk.channels.push_back({"hips", "translation", "LINEAR", {0, 0.37f, 0.81f, 1.2f},
                             {0, 0.95f, 0, 0.01f, 0.92f, 0.04f, -0.01f, 0.965f, 0.02f, 0, 0.95f, 0}});
    walk.channels.push_back(
        {"hips", "rotation", "LINEAR", {0, 0.52f, 1.2f}, turns(rest("hips"), {0, 1, 0}, {0, 12, 0})});
    SkinnedChannel thigh{"thigh.L", "rotation", "LINEAR", {0, 0.29f, 0.66f, 1.03f, 1.2f},
                         turns(rest("thigh.L"), {1, 0, -0.1f}, {0, 30, -25, 10, 0})};
    // Opposite signs, one rotation: the interpolation must take the short way.
    for (size_t c = 8; c < 12; ++c)
        thigh.values[c] = -thigh.values[c];
    walk.channels.push_back(thigh);

    SkinnedAnimation gesture{kSkinnedGesture, {}};
    const std::vector<float> spineKeys = turns(rest("spine"), {0, 1, 0.2f}, {0, 20, -15, 0});
    SkinnedChannel spine{"spine", "rotation", "CUBICSPLINE", {0, 0.43f, 0.9f, 1.37f}, {}};
    const std::array<Float4, 4> tangents{
        {{0, 0.1f, 0, 0}, {0.05f, 0.3f, 0, -0.02f}, {0, -0.25f, 0.05f, 0}, {0, 0, 0, 0}}};
    for (size_t key = 0; key < 4; ++key) {
        const Float4& t = tangents[key];
        spine.values.insert(spine.values.end(), t.begin(), t.end());
        spine.values.insert(spine.values.end(), spineKeys.begin() + 4 * key, spineKeys.begin() + 4 * key + 4);
        for (const float v : t)
            spine.values.push_back(v * 0.5f);
    }
    gesture.channels.push_back(spine);
    gesture.channels.push_back(
        {"arm.R", "rotation", "LINEAR", {0, 0.52f, 1.37f}, turns(rest("arm.R"), {1, 0, 0}, {0, 70, 0})});
    gesture.channels.push_back(
        {"neck", "rotation", "STEP", {0, 0.61f, 1.1f}, turns(rest("neck"), {0, 1, 0}, {0, 25, -15})});

    SkinnedAnimation dance{kSkinnedDance, {}};
    dance.channels.push_back(
        {"hips", "rotation", "LINEAR", {0, 0.45f, 0.95f}, turns(rest("hips"), {0, 1, 0.1f}, {0, 40, 0})});
    dance.channels.push_back({"hips", "translation", "LINEAR", {0, 0.31f, 0.64f, 0.95f},
                              {0, 0.95f, 0, 0, 1.0f, 0.03f, 0.02f, 0.9f, 0, 0, 0.95f, 0}});
    // Its first key comes after the animation's start.
    dance.channels.push_back({"spine", "scale", "LINEAR", {0.1f, 0.45f, 0.95f}, {1, 1, 1, 1.1f, 0.9f, 1.1f, 1, 1, 1}});
    return {walk, gesture, dance};
}

} // namespace

SkinnedCharacter SampleSkinnedCharacter()
{
    SkinnedCharacter character;
    std::vector<SkinnedNode>& n = character.nodes;
    n.push_back({kSkinnedArmature, -1, {0, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}, -1});
    n.push_back({"hips", 0, {0, 0.95f, 0}, axisAngle({0.2f, 1, 0}, 10), {1, 1, 1}, -1});
    n.push_back({"spine", 1, {0, 0.13f, -0.01f}, axisAngle({1, 0, 0.3f}, -6), {1, 1, 1}, -1});
    n.push_back({"neck", 2, {0, 0.4f, 0.02f}, axisAngle({1, 0, 0}, 7), {1, 1, 1}, -1});
    // Bones of limbs that hang down point their Y axis down.
    n.push_back({"thigh.L", 1, {0.09f, -0.03f, 0}, axisAngle({0.05f, 0, 1}, 178), {1, 1, 1}, -1});
    n.push_back({"arm.R", 2, {-0.22f, 0.33f, 0}, axisAngle({-0.05f, 0, 1}, 180), {1, 1, 1}, -1});
    character.joints = {1, 2, 3, 4, 5};
    n.push_back({"tag_torso", 1, {0, 0.06f, 0.01f}, axisAngle({1, 0, 0}, 5), {1, 1, 1}, -1});
    n.push_back({"tag_head", 3, {0, 0.04f, 0}, axisAngle({0, 1, 0.2f}, -8), {1, 1, 1}, -1});
    n.push_back({"tag_weapon", 5, {0, 0.55f, 0.03f}, axisAngle({1, 0, 0}, 90), {1, 1, 1}, -1});
    character.meshes = sampleMeshes();
    for (size_t m = 0; m < character.meshes.size(); ++m)
        n.push_back({character.meshes[m].name, 0, {0, 0, 0}, {0, 0, 0, 1}, {1, 1, 1}, static_cast<int>(m)});
    character.animations = sampleAnimations(n);
    return character;
}

} // namespace samples
