// Choosing what plays: the game's names of the animations, and starting and
// stepping the torso's and the legs' animations for a person picking them.
#include "GameAnimationChoice.h"

#include "GameAnimation.h"
#include "platform/system/System.h"

namespace {

uint32_t stepAmong(uint32_t k, int step, bool (*drives)(uint32_t))
{
    const int64_t count = kGameAnimationCount;
    int64_t at = k < kGameAnimationCount ? k : 0;
    for (int64_t tries = 0; tries < count; ++tries) {
        at = ((at + step) % count + count) % count;
        if (drives(static_cast<uint32_t>(at)))
            return static_cast<uint32_t>(at);
    }
    return k;
}

// Starts k on the part it is chosen for; other, the part's partner, follows
// into an animation of both and out of one it shared.
void choose(GamePlayer& player, uint32_t k, bool (*drives)(uint32_t), int32_t otherAnim, uint32_t otherStand)
{
    if (!drives(k))
        return;
    const bool leavesShared = AnimationPlaysOnBoth(static_cast<uint32_t>(otherAnim)) && !AnimationPlaysOnBoth(k);
    SetGameAnimation(player, k);
    if (leavesShared)
        SetGameAnimation(player, otherStand);
}

} // namespace

const char* AnimationName(uint32_t k) { return GameAnimationName(k); }

std::optional<uint32_t> AnimationNamed(const std::string& name)
{
    const std::string upper = platform::UpperCase(name);
    for (uint32_t k = 0; k < kGameAnimationCount; ++k) {
        if (!upper.empty() && upper == GameAnimationName(k))
            return k;
    }
    return std::nullopt;
}

bool AnimationPlaysOnBoth(uint32_t k) { return AnimationDrivesLegs(k) && AnimationDrivesTorso(k); }

void StartAnimations(GamePlayer& player, const AnimationChoice& choice)
{
    for (bool both : {true, false}) {
        for (const std::optional<uint32_t>& k : {choice.torso, choice.legs}) {
            if (k && AnimationPlaysOnBoth(*k) == both)
                SetGameAnimation(player, *k);
        }
    }
}

void SetTorsoAnimation(GamePlayer& player, uint32_t k)
{
    choose(player, k, GameAnimationDrivesTorso, player.LegsAnim, kLegsIdle);
}

void SetLegsAnimation(GamePlayer& player, uint32_t k)
{
    choose(player, k, GameAnimationDrivesLegs, player.TorsoAnim, player.StandingTorso);
}

uint32_t StepTorsoAnimation(uint32_t k, int step) { return stepAmong(k, step, GameAnimationDrivesTorso); }

uint32_t StepLegsAnimation(uint32_t k, int step) { return stepAmong(k, step, GameAnimationDrivesLegs); }

void UseStillPose(GamePlayer& player, const AnimationChoice& choice)
{
    SetGameAnimation(player, player.StandingTorso);
    SetGameAnimation(player, kLegsIdle);
    StartAnimations(player, choice);
    // The first frame each animation shows: the game's playback starts on
    // the first frame in the file, backwards animations too.
    for (GamePart* part : {&player.Lower, &player.Upper}) {
        const int32_t first = part->playing.FirstFrame;
        part->model.CurrentFrame = first;
        part->model.NextFrame = first;
        part->model.Blend = 0;
    }
}
