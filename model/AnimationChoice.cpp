// Choosing what plays: the game's names of the animations, and starting and
// stepping the torso's and the legs' animations for a person picking them.
#include "GameAnimation.h"
#include "Model.h"

#include "platform/system/System.h"

namespace {

uint32_t stepAmong(uint32_t k, int step, Conventions rules, bool (*drives)(uint32_t, Conventions))
{
    const int64_t count = kGameAnimationCount;
    int64_t at = k < kGameAnimationCount ? k : 0;
    for (int64_t tries = 0; tries < count; ++tries) {
        at = ((at + step) % count + count) % count;
        if (drives(static_cast<uint32_t>(at), rules))
            return static_cast<uint32_t>(at);
    }
    return k;
}

// Starts k on the part it is chosen for; other, the part's partner, follows
// into an animation of both and out of one it shared.
void choose(Q3Player& player, uint32_t k, bool (*drives)(uint32_t, Conventions), int32_t otherAnim,
            uint32_t otherStand)
{
    if (!drives(k, player.Rules))
        return;
    const bool leavesShared = AnimationPlaysOnBoth(static_cast<uint32_t>(otherAnim)) && !AnimationPlaysOnBoth(k);
    SetAnimation(player, k);
    if (leavesShared)
        SetAnimation(player, otherStand);
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

void StartAnimations(Q3Player& player, const AnimationChoice& choice)
{
    for (bool both : {true, false}) {
        for (const std::optional<uint32_t>& k : {choice.torso, choice.legs}) {
            if (k && AnimationPlaysOnBoth(*k) == both)
                SetAnimation(player, *k);
        }
    }
}

void SetTorsoAnimation(Q3Player& player, uint32_t k)
{
    choose(player, k, AnimationDrivesTorso, player.LegsAnim, kLegsIdle);
}

void SetLegsAnimation(Q3Player& player, uint32_t k)
{
    choose(player, k, AnimationDrivesLegs, player.TorsoAnim, player.StandingTorso);
}

uint32_t StepTorsoAnimation(uint32_t k, int step, Conventions rules)
{
    return stepAmong(k, step, rules, AnimationDrivesTorso);
}

uint32_t StepLegsAnimation(uint32_t k, int step, Conventions rules)
{
    return stepAmong(k, step, rules, AnimationDrivesLegs);
}
