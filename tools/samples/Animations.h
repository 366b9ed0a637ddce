#pragma once
// The animation set of the sample characters: the table written to
// "animation.cfg" and the pose of every frame of the legs and torso files.
//
// Index ranges: 0 … 5 play on legs and torso together, 6 … 12 on the torso,
// 13 … 24 on the legs. The legs file holds the frames of 0 … 5 followed by
// those of 13 … 24; the torso file those of 0 … 5 followed by 6 … 12.
#include "tools/samples/Transform.h"
#include "tools/writers/TextWriters.h"

#include <array>
#include <vector>

namespace samples {

inline constexpr int kAnimationCount = 25;
inline constexpr int kFirstTorsoAnimation = 6;
inline constexpr int kFirstLegsAnimation = 13;

struct AnimationInfo {
    const char* name;
    int frames;
    int loopingFrames;
    int framesPerSecond;
};

const std::array<AnimationInfo, kAnimationCount>& animationTable();

// Frames of animations [first, last] laid end to end.
int frameTotal(int first, int last);

// The lines of "animation.cfg" for the table, in table order. The legs'
// first frames are numbered after all torso frames, as if legs and torso
// frames formed one sequence; a reader subtracts the distance between the
// first legs and the first torso animation to map them into the legs file,
// where they follow the shared frames directly.
std::vector<writers::AnimationLine> animationLines();

// Angles in degrees. A positive hip or shoulder pitch swings the limb
// forward, a positive roll spreads it sideways away from the body, a positive
// knee bends the shin back and a positive elbow bends the forearm forward.
struct LegPose {
    float hipPitch = 0.0f;
    float hipRoll = 3.0f;
    float knee = 0.0f;
};

struct LowerPose {
    Vec3 shift;            // pelvis offset; z lifts the feet off the ground
    float pitch = 0.0f;    // pelvis lean, positive forward
    float roll = 0.0f;     // pelvis tilt, positive towards the right side
    float yaw = 0.0f;      // pelvis turn, positive to the left
    float fall = 0.0f;     // 0 standing on the feet … 1 lying on the ground
    bool onSide = false;   // lying on the side rather than on the back or front
    bool grounded = true;  // feet kept on the ground (false while swimming)
    LegPose left, right;
};

struct ArmPose {
    float pitch = 0.0f;
    float roll = 0.0f;
    float elbow = 0.0f;
};

struct UpperPose {
    float pitch = 0.0f, roll = 0.0f, yaw = 0.0f; // chest about the waist
    float headPitch = 0.0f, headYaw = 0.0f, headRoll = 0.0f;
    ArmPose left, right;
};

// Poses of every frame of the legs file, in file order.
std::vector<LowerPose> lowerPoses();
// Poses of every frame of the torso file, in file order.
std::vector<UpperPose> upperPoses();

} // namespace samples
