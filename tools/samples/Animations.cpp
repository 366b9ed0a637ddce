#include "tools/samples/Animations.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <utility>

namespace samples {

namespace {

constexpr float kTwoPi = 2.0f * std::numbers::pi_v<float>;

const std::array<AnimationInfo, kAnimationCount> kTable{{
    {"BOTH_DEATH1", 10, 0, 20},
    {"BOTH_DEAD1", 4, 0, 10},
    {"BOTH_DEATH2", 10, 0, 20},
    {"BOTH_DEAD2", 4, 0, 10},
    {"BOTH_DEATH3", 10, 0, 20},
    {"BOTH_DEAD3", 4, 0, 10},
    {"TORSO_GESTURE", 12, 0, 15},
    {"TORSO_ATTACK", 6, 0, 15},
    {"TORSO_ATTACK2", 8, 0, 15},
    {"TORSO_DROP", 5, 0, 20},
    {"TORSO_RAISE", 5, 0, 20},
    {"TORSO_STAND", 10, 10, 15},
    {"TORSO_STAND2", 10, 10, 15},
    {"LEGS_WALKCR", 10, 10, 15},
    {"LEGS_WALK", 12, 12, 20},
    {"LEGS_RUN", 8, 8, 20},
    {"LEGS_BACK", 12, 12, 20},
    {"LEGS_SWIM", 10, 10, 15},
    {"LEGS_JUMP", 8, 0, 15},
    {"LEGS_LAND", 5, 0, 15},
    {"LEGS_JUMPB", 8, 0, 15},
    {"LEGS_LANDB", 5, 0, 15},
    {"LEGS_IDLE", 10, 10, 15},
    {"LEGS_IDLECR", 10, 10, 15},
    {"LEGS_TURN", 8, 8, 15},
}};

LegPose blend(const LegPose& a, const LegPose& b, float t)
{
    return {lerp(a.hipPitch, b.hipPitch, t), lerp(a.hipRoll, b.hipRoll, t), lerp(a.knee, b.knee, t)};
}

LowerPose blend(const LowerPose& a, const LowerPose& b, float t)
{
    LowerPose p = t < 0.5f ? a : b;
    p.shift = lerp(a.shift, b.shift, t);
    p.pitch = lerp(a.pitch, b.pitch, t);
    p.roll = lerp(a.roll, b.roll, t);
    p.yaw = lerp(a.yaw, b.yaw, t);
    p.fall = lerp(a.fall, b.fall, t);
    p.left = blend(a.left, b.left, t);
    p.right = blend(a.right, b.right, t);
    return p;
}

ArmPose blend(const ArmPose& a, const ArmPose& b, float t)
{
    return {lerp(a.pitch, b.pitch, t), lerp(a.roll, b.roll, t), lerp(a.elbow, b.elbow, t)};
}

UpperPose blend(const UpperPose& a, const UpperPose& b, float t)
{
    return {lerp(a.pitch, b.pitch, t),         lerp(a.roll, b.roll, t),         lerp(a.yaw, b.yaw, t),
            lerp(a.headPitch, b.headPitch, t), lerp(a.headYaw, b.headYaw, t), lerp(a.headRoll, b.headRoll, t),
            blend(a.left, b.left, t),          blend(a.right, b.right, t)};
}

// The pose at s (0 … 1) between key poses, eased in and out between keys.
template <class Pose>
Pose keyed(std::initializer_list<std::pair<float, Pose>> keys, float s)
{
    const auto* previous = keys.begin();
    for (const auto* key = keys.begin() + 1; key != keys.end(); ++key) {
        if (s <= key->first) {
            const float t = (s - previous->first) / (key->first - previous->first);
            return blend(previous->second, key->second, t * t * (3.0f - 2.0f * t));
        }
        previous = key;
    }
    return previous->second;
}

LegPose leg(float hipPitch, float knee, float hipRoll = 3.0f) { return {hipPitch, hipRoll, knee}; }

LowerPose legs(LegPose left, LegPose right, float pitch = 0.0f)
{
    LowerPose p;
    p.left = left;
    p.right = right;
    p.pitch = pitch;
    return p;
}

LowerPose lying(LowerPose p, float pitch, Vec3 shift)
{
    p.pitch = pitch;
    p.fall = 1.0f;
    p.shift = shift;
    return p;
}

// The torso's usual stance: the weapon hand in front, forearm level.
UpperPose ready()
{
    UpperPose p;
    p.right = {20.0f, 8.0f, 70.0f};
    p.left = {30.0f, 6.0f, 50.0f};
    return p;
}

UpperPose arms(UpperPose p, ArmPose left, ArmPose right)
{
    p.left = left;
    p.right = right;
    return p;
}

// Falls over backwards (k = 0), forwards (1) or twisting onto the side (2);
// s runs from the standing first frame (0) to the lying last frame (1).
LowerPose lowerDeath(int k, float s)
{
    const LowerPose stand;
    if (k == 0) {
        LowerPose buckle = legs(leg(20, 35), leg(15, 25), -15);
        buckle.fall = 0.1f;
        buckle.shift = {-1, 0, 0};
        LowerPose tip = legs(leg(30, 45), leg(25, 40), -60);
        tip.fall = 0.6f;
        tip.shift = {-3, 0, 0};
        const LowerPose down = lying(legs(leg(-5, 15, 8), leg(-8, 8, 12)), -90, {-5, 0, 0});
        return keyed<LowerPose>({{0, stand}, {0.3f, buckle}, {0.7f, tip}, {1, down}}, s);
    }
    if (k == 1) {
        LowerPose kneel = legs(leg(50, 70), leg(45, 75), 15);
        kneel.fall = 0.25f;
        kneel.shift = {1, 0, 0};
        LowerPose tip = legs(leg(30, 60), leg(25, 55), 55);
        tip.fall = 0.6f;
        tip.shift = {2.5f, 0, 0};
        const LowerPose down = lying(legs(leg(0, 10, 6), leg(-5, 20, 8)), 90, {4, 0, 0});
        return keyed<LowerPose>({{0, stand}, {0.35f, kneel}, {0.7f, tip}, {1, down}}, s);
    }
    LowerPose spin = legs(leg(30, 40), leg(10, 20), 5);
    spin.yaw = 45;
    spin.roll = 20;
    spin.fall = 0.2f;
    spin.onSide = true;
    LowerPose down = lying(legs(leg(40, 50), leg(20, 30)), 10, {0, -3, 0});
    down.yaw = 90;
    down.roll = 85;
    down.onSide = true;
    LowerPose start = stand;
    start.onSide = true;
    return keyed<LowerPose>({{0, start}, {0.4f, spin}, {1, down}}, s);
}

UpperPose upperDeath(int k, float s)
{
    const UpperPose start = ready();
    if (k == 0) {
        UpperPose thrown = arms(start, {70, 30, 30}, {60, 20, 40});
        thrown.pitch = -10;
        thrown.headPitch = -20;
        UpperPose down = arms(start, {-10, 80, 10}, {-5, 65, 15});
        down.pitch = -3;
        down.headPitch = -10;
        down.headYaw = 25;
        return keyed<UpperPose>({{0, start}, {0.3f, thrown}, {1, down}}, s);
    }
    if (k == 1) {
        UpperPose brace = arms(start, {90, 15, 20}, {85, 20, 25});
        brace.pitch = 10;
        brace.headPitch = -15;
        UpperPose down = arms(start, {175, 25, 5}, {170, 35, 0});
        down.headYaw = 30;
        return keyed<UpperPose>({{0, start}, {0.6f, brace}, {1, down}}, s);
    }
    UpperPose flail = arms(start, {40, 100, 30}, {50, 60, 60});
    flail.yaw = 20;
    flail.headRoll = 15;
    UpperPose down = arms(start, {60, 10, 90}, {50, 15, 100});
    down.pitch = 20;
    down.headPitch = 20;
    return keyed<UpperPose>({{0, start}, {0.4f, flail}, {1, down}}, s);
}

// A fallen body that still twitches a little.
LowerPose lowerDead(int k, float phase)
{
    LowerPose p = lowerDeath(k, 1.0f);
    p.left.knee += 6.0f * std::sin(kTwoPi * phase);
    p.right.hipRoll += 3.0f * std::sin(kTwoPi * phase);
    return p;
}

UpperPose upperDead(int k, float phase)
{
    UpperPose p = upperDeath(k, 1.0f);
    p.right.elbow += 10.0f * std::sin(kTwoPi * phase);
    p.left.roll += 4.0f * std::sin(kTwoPi * phase);
    p.headRoll += 3.0f * std::sin(kTwoPi * phase);
    return p;
}

// One stride: each leg swings by swing degrees about base and bends its knee
// by bend while it moves in the walking direction.
LowerPose stride(float phase, float base, float swing, float knee, float bend, float pitch, bool backwards)
{
    const float a = kTwoPi * phase;
    const float direction = backwards ? -1.0f : 1.0f;
    auto one = [&](float offset) {
        const float hip = base + direction * swing * std::sin(a + offset);
        return leg(hip, knee + bend * std::max(0.0f, std::cos(a + offset)));
    };
    LowerPose p = legs(one(0.0f), one(std::numbers::pi_v<float>), pitch);
    p.yaw = 6.0f * std::sin(a) * direction;
    p.roll = 2.0f * std::sin(2.0f * a);
    return p;
}

LowerPose jump(float s, bool backwards)
{
    const float lean = backwards ? -12.0f : 0.0f;
    const float reach = backwards ? 15.0f : 0.0f;
    LowerPose crouch = legs(leg(45, 85), leg(45, 85), 10);
    LowerPose push = legs(leg(0, 5), leg(-5, 5), lean);
    push.shift = {backwards ? -0.5f : 0.5f, 0, 3};
    LowerPose tuck = legs(leg(50 + reach, 80 - reach), leg(45 + reach, 85 - reach), lean);
    tuck.shift = {backwards ? -1.5f : 1.5f, 0, 9};
    LowerPose fall = legs(leg(30 + reach, 40), leg(25 + reach, 45), lean * 0.5f);
    fall.shift = {backwards ? -2.0f : 2.0f, 0, 7};
    return keyed<LowerPose>({{0, LowerPose{}}, {0.25f, crouch}, {0.45f, push}, {0.7f, tuck}, {1, fall}}, s);
}

LowerPose land(float s, bool backwards)
{
    const float lean = backwards ? -10.0f : 15.0f;
    LowerPose air = legs(leg(30, 40), leg(25, 45), lean * 0.5f);
    air.shift = {0, 0, 5};
    const LowerPose impact = legs(leg(55, 100), leg(50, 95), lean);
    return keyed<LowerPose>({{0, air}, {0.35f, impact}, {1, LowerPose{}}}, s);
}

LowerPose legsFrame(int animation, int i, int frames)
{
    const float phase = float(i) / float(frames);          // looping cycles
    const float s = float(i) / float(std::max(frames - 1, 1)); // one-shot moves
    const float a = kTwoPi * phase;
    switch (animation) {
    case 13: return stride(phase, 55, 20, 95, 25, 15, false);
    case 14: return stride(phase, 0, 25, 5, 35, 3, false);
    case 16: return stride(phase, 0, 22, 5, 35, -3, true);
    case 15: {
        LowerPose p = stride(phase, 5, 45, 20, 70, 12, false);
        p.shift.z = 1.5f * std::abs(std::sin(a));
        return p;
    }
    case 17: {
        LowerPose p = legs(leg(15 * std::sin(a), 20 + 15 * std::sin(a + 1.5f)),
                           leg(-15 * std::sin(a), 20 - 15 * std::sin(a + 1.5f)), 75);
        p.roll = 5 * std::sin(a);
        p.grounded = false;
        return p;
    }
    case 18: return jump(s, false);
    case 19: return land(s, false);
    case 20: return jump(s, true);
    case 21: return land(s, true);
    case 22: {
        LowerPose p = legs(leg(2, 6 + 6 * std::max(0.0f, std::sin(a)), 4 + 2 * std::sin(a)),
                           leg(2, 6 + 6 * std::max(0.0f, -std::sin(a)), 4 - 2 * std::sin(a)));
        p.roll = 3 * std::sin(a);
        p.yaw = 2 * std::sin(a);
        p.shift = {0, 0.6f * std::sin(a), 0};
        return p;
    }
    case 23: {
        LowerPose p = legs(leg(60, 110 + 5 * std::sin(a)), leg(60, 110 - 5 * std::sin(a)), 18);
        p.roll = 3 * std::sin(a);
        return p;
    }
    default: { // LEGS_TURN: stepping round on the spot
        const float up = std::max(0.0f, std::sin(a)), down = std::max(0.0f, -std::sin(a));
        LowerPose p = legs(leg(25 * up, 45 * up), leg(25 * down, 45 * down));
        p.yaw = 25 * std::sin(a);
        return p;
    }
    }
}

UpperPose torsoFrame(int animation, int i, int frames)
{
    const float phase = float(i) / float(frames);
    const float s = float(i) / float(std::max(frames - 1, 1));
    const float a = kTwoPi * phase;
    const UpperPose base = ready();
    switch (animation) {
    case 6: { // a wave of the free hand above the head
        UpperPose up = arms(base, {20, 140, 30}, base.right);
        up.headYaw = 15;
        up.roll = -5;
        UpperPose bent = up;
        bent.left.elbow = 75;
        return keyed<UpperPose>(
            {{0, base}, {0.2f, up}, {0.35f, bent}, {0.5f, up}, {0.65f, bent}, {0.8f, up}, {1, base}}, s);
    }
    case 7: { // the weapon kicks up and back
        UpperPose kick = arms(base, {36, 8, 45}, {38, 10, 55});
        kick.pitch = -6;
        kick.yaw = 4;
        kick.headPitch = -4;
        return keyed<UpperPose>({{0, base}, {0.2f, kick}, {1, base}}, s);
    }
    case 8: { // a swing of the weapon arm from high to low
        UpperPose high = arms(base, {40, 20, 40}, {130, 30, 40});
        high.yaw = -20;
        high.pitch = -5;
        UpperPose low = arms(base, {20, 15, 30}, {-10, 10, 10});
        low.yaw = 25;
        low.pitch = 10;
        return keyed<UpperPose>({{0, base}, {0.3f, high}, {0.6f, low}, {1, base}}, s);
    }
    case 9:
    case 10: { // the weapon lowered out of the way, or brought back up
        UpperPose lowered = arms(base, {5, 8, 15}, {-5, 10, 5});
        lowered.pitch = 8;
        lowered.headPitch = 10;
        return animation == 9 ? keyed<UpperPose>({{0, base}, {1, lowered}}, s)
                              : keyed<UpperPose>({{0, lowered}, {1, base}}, s);
    }
    case 11: {
        UpperPose p = base;
        p.pitch = 2.5f * std::sin(a);
        p.right.pitch += 4 * std::sin(a);
        p.left.elbow += 10 * std::sin(a);
        p.headYaw = 5 * std::sin(a);
        return p;
    }
    default: { // TORSO_STAND2: weapon held low, looking around
        UpperPose p = arms(base, {0, 10, 15 + 12 * std::sin(a)}, {10, 10, 35});
        p.yaw = 6 * std::sin(a);
        p.headYaw = 12 * std::sin(a);
        p.headPitch = 4;
        return p;
    }
    }
}

} // namespace

const std::array<AnimationInfo, kAnimationCount>& animationTable() { return kTable; }

int frameTotal(int first, int last)
{
    int total = 0;
    for (int k = first; k <= last; ++k)
        total += kTable[static_cast<std::size_t>(k)].frames;
    return total;
}

std::vector<writers::AnimationLine> animationLines()
{
    std::vector<writers::AnimationLine> lines;
    int next = 0;
    for (int k = 0; k < kAnimationCount; ++k) {
        if (k == kFirstLegsAnimation)
            next = frameTotal(0, kFirstLegsAnimation - 1);
        const AnimationInfo& info = kTable[static_cast<std::size_t>(k)];
        lines.push_back({next, info.frames, info.loopingFrames, info.framesPerSecond, info.name});
        next += info.frames;
    }
    return lines;
}

std::vector<LowerPose> lowerPoses()
{
    std::vector<LowerPose> poses;
    for (int k = 0; k < kAnimationCount; ++k) {
        if (k >= kFirstTorsoAnimation && k < kFirstLegsAnimation)
            continue;
        const int frames = kTable[static_cast<std::size_t>(k)].frames;
        for (int i = 0; i < frames; ++i) {
            if (k < kFirstTorsoAnimation)
                poses.push_back(k % 2 == 0 ? lowerDeath(k / 2, float(i) / float(frames - 1))
                                           : lowerDead(k / 2, float(i) / float(frames)));
            else
                poses.push_back(legsFrame(k, i, frames));
        }
    }
    return poses;
}

std::vector<UpperPose> upperPoses()
{
    std::vector<UpperPose> poses;
    for (int k = 0; k < kFirstLegsAnimation; ++k) {
        const int frames = kTable[static_cast<std::size_t>(k)].frames;
        for (int i = 0; i < frames; ++i) {
            if (k < kFirstTorsoAnimation)
                poses.push_back(k % 2 == 0 ? upperDeath(k / 2, float(i) / float(frames - 1))
                                           : upperDead(k / 2, float(i) / float(frames)));
            else
                poses.push_back(torsoFrame(k, i, frames));
        }
    }
    return poses;
}

} // namespace samples
