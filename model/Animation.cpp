// The animation table ("animation.cfg") and frame playback.
#include "Model.h"
#include "platform/system/System.h"

#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>

namespace {

// Animation indices by the parts they drive.
constexpr uint32_t kLastBothAnimation = 5;   // 0 ... 5: legs and torso
constexpr uint32_t kLastTorsoAnimation = 12; // 6 ... 12: torso
constexpr uint32_t kLastLegsAnimation = 24;  // 13 ... 24: legs
constexpr int kFirstTorsoAnimation = 6;
constexpr int kFirstLegsAnimation = 13;

// Frame arithmetic wraps like the 32-bit integers of the file, so that odd
// numbers in an animation file never overflow.
int32_t wrapAdd(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t wrapSub(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Header lines ("sex", "headoffset", "footsteps"), blank lines and comment
// lines carry no animation. A data line's comment starts after its fifth
// character.
bool isAnimationLine(const std::string& line)
{
    if (line.empty() || line.find("sex") != std::string::npos || line.find("headoffset") != std::string::npos ||
        line.find("footsteps") != std::string::npos)
        return false;
    const size_t comment = line.find("//");
    return comment != std::string::npos && comment + 1 > 5;
}

// Four whole numbers, each ended by a TAB. A missing TAB leaves an empty
// field, which is not a number.
TAnimation parseAnimationLine(std::string line)
{
    int32_t values[4];
    for (int32_t& value : values) {
        const size_t tab = line.find('\t');
        value = platform::StrToInt(tab == std::string::npos ? std::string() : line.substr(0, tab));
        line = tab == std::string::npos ? line : line.substr(tab + 1);
    }
    return {values[0], values[1], values[2], values[3]};
}

void startAnimation(TMD3Model& part, const TAnimation& animation)
{
    part.FPS = animation.FPS;
    part.StartFrame = animation.FirstFrame;
    part.NextFrame = animation.FirstFrame;
    part.EndFrame = wrapAdd(animation.FirstFrame, animation.NumFrames);
}

} // namespace

void AdjustAnimations(std::span<TAnimation, kAnimationCount> animations)
{
    // Legs frames are counted in the legs file, which holds no torso-only
    // frames: they move down by the distance between the first torso and the
    // first legs animation.
    const int32_t legsOffset = wrapSub(animations[kFirstLegsAnimation].FirstFrame,
                                       animations[kFirstTorsoAnimation].FirstFrame);
    for (size_t i = kFirstLegsAnimation; i < animations.size(); ++i)
        animations[i].FirstFrame = wrapSub(animations[i].FirstFrame, legsOffset);
    for (TAnimation& animation : animations) {
        if (animation.NumFrames > 0)
            --animation.NumFrames;
    }
}

bool AnimationDrivesLegs(uint32_t k)
{
    return k <= kLastBothAnimation || (k > kLastTorsoAnimation && k <= kLastLegsAnimation);
}

bool AnimationDrivesTorso(uint32_t k) { return k <= kLastTorsoAnimation; }

void LoadAnimation(Q3Player& player, const std::string& fileName)
{
    if (platform::files::FileExists(fileName))
        LoadAnimationFromLines(player, platform::files::ReadTextLines(fileName));
}

void LoadAnimationFromLines(Q3Player& player, const std::vector<std::string>& lines)
{
    size_t entry = 0;
    for (const std::string& line : lines) {
        // The table has no room for further lines; they are not read.
        if (entry == kAnimationCount)
            break;
        if (isAnimationLine(line))
            player.Animations[entry++] = parseAnimationLine(line);
    }
    AdjustAnimations(std::span(player.Animations).first<kAnimationCount>());
}

void SetAnimation(Q3Player& player, uint32_t k)
{
    if (AnimationDrivesLegs(k)) {
        startAnimation(player.Lower, player.Animations[k]);
        player.LegsAnim = static_cast<int32_t>(k);
    }
    if (AnimationDrivesTorso(k)) {
        startAnimation(player.Upper, player.Animations[k]);
        player.TorsoAnim = static_cast<int32_t>(k);
    }
}

void UpdateFrame(TMD3Model& part, float t)
{
    part.Blend = t - part.LastTime;
    // A rate of 0 gives an endless period: the part never switches.
    const double period = part.FPS == 0 ? std::numeric_limits<double>::infinity() : 1.0 / part.FPS;
    if (period >= part.Blend)
        return;
    // One switch per call, however much time has passed.
    part.CurrentFrame = part.NextFrame;
    part.NextFrame = wrapAdd(part.NextFrame, 1);
    if (part.NextFrame > part.EndFrame)
        part.NextFrame = part.StartFrame;
    part.LastTime = t;
}

void StepFrame(TMD3Model& part, int step, float t)
{
    if (step > 0) {
        part.CurrentFrame = part.NextFrame;
    } else if (part.CurrentFrame < part.StartFrame || part.CurrentFrame > part.EndFrame) {
        // Still blending in from the animation before: back is the range's start.
        part.CurrentFrame = part.StartFrame;
    } else if (part.CurrentFrame > part.StartFrame) {
        part.CurrentFrame = wrapSub(part.CurrentFrame, 1);
    } else {
        part.CurrentFrame = part.EndFrame;
    }
    const int32_t next = wrapAdd(part.CurrentFrame, 1);
    part.NextFrame = next > part.EndFrame ? part.StartFrame : next;
    // The frame shows unblended on the stopped clock: no time has passed
    // since this switch.
    part.LastTime = t;
    part.Blend = 0;
}
