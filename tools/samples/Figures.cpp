#include "tools/samples/Figures.h"

#include "tools/samples/Animations.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace samples {

namespace {

enum LegsBone { kPelvis, kLeftThigh, kLeftShin, kLeftFoot, kRightThigh, kRightShin, kRightFoot };
enum TorsoBone { kWaistBone, kChestBone, kLeftUpperArm, kLeftForearm, kRightUpperArm, kRightForearm };

constexpr float kLeft = 1.0f;
constexpr float kRight = -1.0f;

const std::string& shaderOf(const ShaderNames& shaders, const std::string& surface)
{
    static const std::string none;
    const auto found = shaders.find(surface);
    return found == shaders.end() ? none : found->second;
}

Mat3 turn(float yaw, float pitch, float roll) { return rotZ(yaw) * rotY(pitch) * rotX(roll); }

writers::Md3Tag tagAt(const std::string& name, const Transform& t)
{
    writers::Md3Tag tag;
    tag.name = name;
    tag.origin = t.translation;
    tag.axes = {t.rotation.columns[0], t.rotation.columns[1], t.rotation.columns[2]};
    return tag;
}

// The ankle keeps a standing foot level with the ground as far as it can
// bend; a swimming foot points its toes, a falling one goes slack.
float ankleAngle(const LowerPose& pose, const LegPose& leg)
{
    constexpr float kAnkleLimit = 45.0f;
    constexpr float kPointedToes = 30.0f;
    if (!pose.grounded)
        return kPointedToes;
    const float level = std::clamp(leg.hipPitch - leg.knee - pose.pitch, -kAnkleLimit, kAnkleLimit);
    return level * (1.0f - pose.fall);
}

// A leg hangs from its hip joint: the thigh swings and spreads there, the
// shin bends back at the knee, the foot turns at the ankle.
void poseLeg(const Build& b, const LowerPose& pose, const LegPose& leg, float side, std::vector<Transform>& bones)
{
    const bool left = side == kLeft;
    Transform& thigh = bones[left ? kLeftThigh : kRightThigh];
    Transform& shin = bones[left ? kLeftShin : kRightShin];
    thigh = bones[kPelvis] * translate({0, side * b.hipHalfWidth, b.hipZ})
            * rotate(rotY(-leg.hipPitch) * rotX(side * leg.hipRoll));
    shin = thigh * translate({0, 0, -b.thighLength}) * rotate(rotY(leg.knee));
    bones[left ? kLeftFoot : kRightFoot] =
        shin * translate({0, 0, -b.shinLength}) * rotate(rotY(ankleAngle(pose, leg)));
}

std::vector<Transform> legBones(const Build& b, const LowerPose& pose, Vec3 pelvisAt, const Mat3& pelvisTurn)
{
    std::vector<Transform> bones(7);
    bones[kPelvis] = {pelvisTurn, pelvisAt};
    poseLeg(b, pose, pose.left, kLeft, bones);
    poseLeg(b, pose, pose.right, kRight, bones);
    return bones;
}

// Lowest corner of both boot soles.
float lowestSole(const Build& b, const std::vector<Transform>& bones)
{
    float lowest = std::numeric_limits<float>::max();
    for (int foot : {kLeftFoot, kRightFoot})
        for (float x : {b.footLo.x, b.footHi.x})
            for (float y : {b.footLo.y, b.footHi.y})
                lowest = std::min(lowest, bones[foot].point({x, y, b.footLo.z}).z);
    return lowest;
}

// Places the pelvis: standing poses keep the lower sole on the ground (a
// lift raises it), swimming floats at the standing height, falling blends
// towards lying with the back, front or side on the ground.
std::vector<Transform> poseLegs(const Build& b, const LowerPose& pose)
{
    const Mat3 pelvisTurn = turn(pose.yaw, pose.pitch, pose.roll);
    float standZ = pose.shift.z;
    if (pose.grounded) {
        // While falling the legs fold under the body; measure them upright.
        const Mat3 measureTurn = pose.fall > 0.0f ? Mat3{} : pelvisTurn;
        standZ += kGroundZ - lowestSole(b, legBones(b, pose, {}, measureTurn));
    }
    const float rest = pose.onSide ? std::max(b.pelvisRadii.y, b.chestRadii.y * 0.8f)
                                   : std::max(b.pelvisRadii.x, b.chestRadii.x);
    const float z = lerp(standZ, kGroundZ + rest, pose.fall);
    return legBones(b, pose, {pose.shift.x, pose.shift.y, z}, pelvisTurn);
}

std::vector<Transform> poseTorso(const Build& b, const UpperPose& pose)
{
    std::vector<Transform> bones(6);
    bones[kChestBone] = rotate(turn(pose.yaw, pose.pitch, pose.roll));
    auto arm = [&](const ArmPose& a, float side, int upper, int fore) {
        bones[upper] = bones[kChestBone] * translate({0, side * b.shoulderHalfWidth, b.shoulderZ})
                       * rotate(rotY(-a.pitch) * rotX(side * a.roll));
        bones[fore] = bones[upper] * translate({0, 0, -b.upperArmLength}) * rotate(rotY(-a.elbow));
    };
    arm(pose.left, kLeft, kLeftUpperArm, kLeftForearm);
    arm(pose.right, kRight, kRightUpperArm, kRightForearm);
    return bones;
}

// The weapon's X axis runs along the forearm out of the hand, its Z axis
// along the back of the hand, so a level forearm holds it pointing forward.
Transform weaponGrip(const Build& b, const Transform& forearm)
{
    return forearm * translate({0, 0, -(b.forearmLength + b.handRadius * 0.5f)}) * rotate(rotY(90.0f));
}

Transform headMount(const Build& b, const Transform& chest, const UpperPose& pose)
{
    return chest * translate({0, 0, b.neckZ}) * rotate(turn(pose.headYaw, pose.headPitch, pose.headRoll));
}

void addLeg(SurfaceBuilder& s, const Build& b, int thigh, int shin, int foot, float side)
{
    using namespace layout;
    const bool bulky = b.figure == Figure::Bulky;
    s.addTube(thigh, {}, {b.thighLength, b.thighTop, b.thighTop, b.thighBottom, b.thighBottom, 10, false}, kThigh);
    s.addEllipsoid(shin, {}, {{b.kneeRadius, b.kneeRadius, b.kneeRadius}, 4, 8}, kKnee);
    s.addTube(shin, {}, {b.shinLength, b.shinTop, b.shinTop, b.shinBottom, b.shinBottom, 10, false}, kShin);
    s.addBox(foot, {}, b.footLo, b.footHi, kFoot);
    if (bulky) // knee pad
        s.addEllipsoid(shin, translate({b.kneeRadius * 0.8f, 0, -0.6f}),
                       {{1.0f, b.kneeRadius * 0.9f, 1.8f}, 4, 8, {0, 180}, {-90, 90}}, kFoot);
    else if (side == kRight) // holster on the right thigh
        s.addBox(thigh, translate({0.2f, -b.thighTop * 0.95f, -4.0f}), {-1.2f, -0.6f, -2.2f},
                 {1.2f, 0.4f, 2.0f}, kFoot);
}

} // namespace

Build slenderBuild()
{
    Build b;
    b.figure = Figure::Slender;
    b.pelvisCentre = {0, 0, -0.6f};
    b.pelvisRadii = {3.6f, 5.0f, 3.6f};
    b.hipHalfWidth = 2.8f;
    b.thighLength = 11.2f;
    b.shinLength = 11.2f;
    b.thighTop = 2.5f, b.thighBottom = 1.7f, b.kneeRadius = 1.75f, b.shinTop = 1.8f, b.shinBottom = 1.3f;
    b.footLo = {-1.5f, -1.2f, -2.0f};
    b.footHi = {4.2f, 1.2f, 0.4f};
    b.hipZ = kGroundZ - b.footLo.z + b.shinLength + b.thighLength;
    b.tagTorsoZ = 1.0f;
    b.abdomenCentre = {0, 0, 2.2f};
    b.abdomenRadii = {3.1f, 4.2f, 4.4f};
    b.chestCentre = {0.2f, 0, 10.8f};
    b.chestRadii = {3.9f, 5.4f, 6.4f};
    b.shoulderHalfWidth = 5.9f, b.shoulderZ = 15.4f;
    b.upperArmLength = 7.8f, b.forearmLength = 7.2f;
    b.upperArmTop = 1.4f, b.upperArmBottom = 1.1f, b.forearmTop = 1.1f, b.forearmBottom = 0.85f;
    b.handRadius = 1.15f;
    b.neckRadius = 1.4f, b.neckZ = 18.0f;
    b.skullCentre = {0.2f, 0, 6.3f};
    b.skullRadii = {4.0f, 3.6f, 5.0f};
    return b;
}

Build bulkyBuild()
{
    Build b;
    b.figure = Figure::Bulky;
    b.pelvisCentre = {0, 0, -0.6f};
    b.pelvisRadii = {4.6f, 6.6f, 4.0f};
    b.hipHalfWidth = 3.6f;
    b.thighLength = 10.0f;
    b.shinLength = 10.0f;
    b.thighTop = 3.3f, b.thighBottom = 2.4f, b.kneeRadius = 2.4f, b.shinTop = 2.4f, b.shinBottom = 2.0f;
    b.footLo = {-2.2f, -1.8f, -2.4f};
    b.footHi = {5.4f, 1.8f, 0.6f};
    b.hipZ = kGroundZ - b.footLo.z + b.shinLength + b.thighLength;
    b.tagTorsoZ = 1.0f;
    b.abdomenCentre = {0, 0, 2.2f};
    b.abdomenRadii = {4.6f, 6.2f, 4.8f};
    b.chestCentre = {0.3f, 0, 11.0f};
    b.chestRadii = {5.6f, 8.0f, 7.2f};
    b.shoulderHalfWidth = 8.6f, b.shoulderZ = 15.5f;
    b.upperArmLength = 8.0f, b.forearmLength = 7.5f;
    b.upperArmTop = 2.5f, b.upperArmBottom = 2.0f, b.forearmTop = 2.1f, b.forearmBottom = 1.6f;
    b.handRadius = 1.8f;
    b.neckRadius = 2.6f, b.neckZ = 18.6f;
    b.skullCentre = {0.2f, 0, 6.4f};
    b.skullRadii = {4.6f, 4.4f, 5.3f};
    return b;
}

writers::Md3Model makeLegs(const Build& b, const ShaderNames& shaders)
{
    SurfaceBuilder legs("l_legs", shaderOf(shaders, "l_legs"));
    legs.addEllipsoid(kPelvis, translate(b.pelvisCentre), {b.pelvisRadii, 7, 12}, layout::kHips);
    addLeg(legs, b, kLeftThigh, kLeftShin, kLeftFoot, kLeft);
    addLeg(legs, b, kRightThigh, kRightShin, kRightFoot, kRight);

    writers::Md3Model model;
    model.name = "lower";
    RigFrames rig;
    for (const LowerPose& pose : lowerPoses()) {
        rig.push_back(poseLegs(b, pose));
        model.tags.push_back({tagAt("tag_torso", rig.back()[kPelvis] * translate({0, 0, b.tagTorsoZ}))});
    }
    model.frameCount = static_cast<int32_t>(rig.size());
    model.surfaces.push_back(legs.bake(rig));
    return model;
}

writers::Md3Model makeTorso(const Build& b, const ShaderNames& shaders)
{
    using namespace layout;
    const bool bulky = b.figure == Figure::Bulky;
    SurfaceBuilder torso("u_torso", shaderOf(shaders, "u_torso"));
    torso.addEllipsoid(kWaistBone, translate(b.abdomenCentre), {b.abdomenRadii, 6, 12}, kAbdomen);
    torso.addEllipsoid(kChestBone, translate(b.chestCentre), {b.chestRadii, 8, 14}, kChest);
    // Shoulders: a flat ellipsoid joining the chest to both shoulder joints.
    torso.addEllipsoid(kChestBone, translate({b.chestCentre.x * 0.5f, 0, b.shoulderZ - 0.3f}),
                       {{b.chestRadii.x * 0.7f, b.shoulderHalfWidth + 0.3f, b.upperArmTop * 1.5f}, 5, 12},
                       {0.0f, 0.0f, 1.0f, 0.1f});
    if (bulky) {
        for (int bone : {kLeftUpperArm, kRightUpperArm})
            torso.addEllipsoid(bone, translate({0, 0, -0.8f}), {{b.upperArmTop * 1.3f, b.upperArmTop * 1.45f, 1.9f}, 4, 8},
                               {0.0f, 0.0f, 1.0f, 0.15f});
    } else {
        for (float side : {kLeft, kRight})
            torso.addEllipsoid(kChestBone, translate({b.chestCentre.x + b.chestRadii.x * 0.72f, side * 1.9f, 12.0f}),
                               {{1.6f, 1.8f, 1.6f}, 4, 6}, {0.3f, 0.25f, 0.7f, 0.45f});
    }

    SurfaceBuilder arms("u_arms", shaderOf(shaders, "u_arms"));
    arms.addTube(kChestBone, translate({0, 0, b.neckZ + 2.0f}), {5.5f, b.neckRadius, b.neckRadius, b.neckRadius * 1.15f,
                                                            b.neckRadius * 1.15f, 10, false}, kNeck);
    for (auto [upper, fore] : {std::pair{kLeftUpperArm, kLeftForearm}, std::pair{kRightUpperArm, kRightForearm}}) {
        const float r = b.upperArmTop * 1.1f;
        arms.addEllipsoid(upper, {}, {{r, r, r}, 4, 8}, kUpperArm);
        arms.addTube(upper, {}, {b.upperArmLength, b.upperArmTop, b.upperArmTop, b.upperArmBottom, b.upperArmBottom, 8, false},
                     kUpperArm);
        const float e = b.forearmTop * 1.05f;
        arms.addEllipsoid(fore, {}, {{e, e, e}, 4, 6}, kElbow);
        arms.addTube(fore, {}, {b.forearmLength, b.forearmTop, b.forearmTop, b.forearmBottom, b.forearmBottom, 8, false},
                     kForearm);
        const float h = b.handRadius;
        arms.addEllipsoid(fore, translate({0, 0, -(b.forearmLength + h * 0.7f)}), {{h * 0.75f, h * 0.55f, h * 1.1f}, 4, 6},
                          kHand);
    }

    writers::Md3Model model;
    model.name = "upper";
    RigFrames rig;
    for (const UpperPose& pose : upperPoses()) {
        rig.push_back(poseTorso(b, pose));
        const auto& bones = rig.back();
        model.tags.push_back({tagAt("tag_head", headMount(b, bones[kChestBone], pose)),
                              tagAt("tag_weapon", weaponGrip(b, bones[kRightForearm]))});
    }
    model.frameCount = static_cast<int32_t>(rig.size());
    model.surfaces.push_back(torso.bake(rig));
    model.surfaces.push_back(arms.bake(rig));
    return model;
}

writers::Md3Model makeHead(const Build& b, const ShaderNames& shaders)
{
    using namespace layout;
    const bool bulky = b.figure == Figure::Bulky;
    const Vec3 c = b.skullCentre, r = b.skullRadii;
    SurfaceBuilder head("h_head", shaderOf(shaders, "h_head"));
    head.addEllipsoid(0, translate(c), {r, 12, 18}, kSkull);
    const float nose = bulky ? 1.15f : 0.8f;
    head.addEllipsoid(0, translate({c.x + r.x - 0.2f, 0, c.z - 0.4f}), {{nose, nose * 0.6f, nose * 1.2f}, 4, 8}, kNose);
    for (float side : {kLeft, kRight})
        head.addEllipsoid(0, translate({c.x - 0.2f, side * (r.y - 0.1f), c.z}), {{0.7f, 0.5f, 1.2f}, 4, 8}, kEar);
    if (bulky) // the beard juts out under the mouth
        head.addEllipsoid(0, translate({c.x + r.x * 0.62f, 0, c.z - r.z * 0.68f}), {{2.4f, 3.3f, 2.4f}, 6, 10}, kBeard);

    SurfaceBuilder extra(bulky ? "h_helmet" : "h_hair", shaderOf(shaders, bulky ? "h_helmet" : "h_hair"));
    if (bulky) {
        extra.addEllipsoid(0, translate({c.x - 0.2f, 0, c.z + 0.5f}), {{r.x + 0.5f, r.y + 0.5f, r.z + 0.4f}, 7, 18, {0, 80}},
                           {0, 0, 1, 0.86f});
        extra.addEllipsoid(0, translate({c.x + 0.4f, 0, c.z + 1.9f}), {{r.x + 1.3f, r.y + 1.1f, 0.5f}, 4, 18}, kBrim);
    } else {
        const Vec3 cap{c.x - 0.15f, 0, c.z + 0.25f};
        const Vec3 capRadii{r.x + 0.35f, r.y + 0.35f, r.z + 0.3f};
        extra.addEllipsoid(0, translate(cap), {capRadii, 6, 18, {0, 72}}, {0, 0, 1, 0.5f});
        extra.addEllipsoid(0, translate(cap), {capRadii, 6, 10, {60, 128}, {95, 265}}, {0.25f, 0.4f, 0.75f, 1.0f});
        // A ponytail falling from the back of the head down the neck.
        const std::array<std::pair<Vec3, Vec3>, 6> tail{{{{-4.3f, 0, 8.5f}, {1.6f, 1.5f, 1.6f}},
                                                         {{-5.0f, 0, 6.0f}, {1.3f, 1.2f, 1.8f}},
                                                         {{-5.3f, 0, 3.2f}, {1.1f, 1.0f, 1.8f}},
                                                         {{-5.4f, 0, 0.4f}, {0.9f, 0.85f, 1.7f}},
                                                         {{-5.3f, 0, -2.3f}, {0.7f, 0.7f, 1.5f}},
                                                         {{-5.1f, 0, -4.2f}, {0.5f, 0.5f, 1.0f}}}};
        for (const auto& [centre, radii] : tail)
            extra.addEllipsoid(0, translate(centre), {radii, 5, 8}, {0, 0, 1, 1});
    }

    writers::Md3Model model;
    model.name = "head";
    model.frameCount = 1;
    model.tags.push_back({tagAt("tag_head", Transform{})});
    const RigFrames rig{{Transform{}}};
    model.surfaces.push_back(head.bake(rig));
    model.surfaces.push_back(extra.bake(rig));
    return model;
}

writers::Md3Surface makeCape(const Build& b, const std::string& name, const std::string& shader)
{
    // A band of an upright ellipsoid around the back: its top ring hugs the
    // shoulders, its equator is the flared hem.
    constexpr float kTopPolarDegrees = 50.0f;
    constexpr float kCollarAbove = 1.0f; // the top ring above the shoulder joints
    constexpr float kLength = 23.0f; // from the top ring down to the hem
    const float topPolar = kTopPolarDegrees * std::numbers::pi_v<float> / 180.0f;
    // At the top ring the cape stands clear of the chest's back, and its
    // edges beside the shoulder joints.
    const Vec3 radii{(b.chestRadii.x + 0.8f) / std::sin(topPolar), (b.shoulderHalfWidth + 0.6f) / std::sin(topPolar),
                     kLength / std::cos(topPolar)};
    SurfaceBuilder cape(name, shader);
    cape.addEllipsoid(kChestBone, translate({b.chestCentre.x, 0, b.shoulderZ + kCollarAbove - kLength}),
                      {radii, 6, 12, {kTopPolarDegrees, 90.0f}, {120.0f, 240.0f}}, {0, 0, 1, 1});
    RigFrames rig;
    for (const UpperPose& pose : upperPoses())
        rig.push_back(poseTorso(b, pose));
    return cape.bake(rig);
}

writers::Md3Surface makeHeadBox(const Build& b, const std::string& name, const std::string& shader)
{
    constexpr float kGrowth = 1.5f;
    const Vec3 c = b.skullCentre, half = b.skullRadii * kGrowth;
    SurfaceBuilder box(name, shader);
    box.addBox(0, {}, {c.x - half.x, c.y - half.y, c.z - half.z}, {c.x + half.x, c.y + half.y, c.z + half.z},
               {0, 0, 1, 1});
    return box.bake({{Transform{}}});
}

} // namespace samples
