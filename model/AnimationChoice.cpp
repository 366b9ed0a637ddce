// Choosing what plays: the game's names of the animations, and starting and
// stepping the torso's and the legs' animations for a person picking them.
#include "Model.h"

#include "platform/system/System.h"

#include <iterator>

namespace {

// The game's animation names in table order; the table holds the first
// kAnimationCount of them.
constexpr const char* kAnimationNames[] = {
    "BOTH_DEATH1",   "BOTH_DEAD1",      "BOTH_DEATH2",  "BOTH_DEAD2",     "BOTH_DEATH3",       "BOTH_DEAD3",
    "TORSO_GESTURE", "TORSO_ATTACK",    "TORSO_ATTACK2", "TORSO_DROP",    "TORSO_RAISE",       "TORSO_STAND",
    "TORSO_STAND2",  "LEGS_WALKCR",     "LEGS_WALK",    "LEGS_RUN",       "LEGS_BACK",         "LEGS_SWIM",
    "LEGS_JUMP",     "LEGS_LAND",       "LEGS_JUMPB",   "LEGS_LANDB",     "LEGS_IDLE",         "LEGS_IDLECR",
    "LEGS_TURN",     "TORSO_GETFLAG",   "TORSO_GUARDBASE", "TORSO_PATROL", "TORSO_FOLLOWME",   "TORSO_AFFIRMATIVE",
    "TORSO_NEGATIVE"};
static_assert(std::size(kAnimationNames) >= kAnimationCount, "every entry of the table has a name");

// Where a part goes when the other part leaves an animation of both.
constexpr uint32_t kTorsoStand = 11;
constexpr uint32_t kLegsIdle = 22;

uint32_t stepAmong(uint32_t k, int step, bool (*drives)(uint32_t))
{
    const int64_t count = kAnimationCount;
    int64_t at = k < kAnimationCount ? k : 0;
    for (int64_t tries = 0; tries < count; ++tries) {
        at = ((at + step) % count + count) % count;
        if (drives(static_cast<uint32_t>(at)))
            return static_cast<uint32_t>(at);
    }
    return k;
}

// Starts k on the part it is chosen for; other, the part's partner, follows
// into an animation of both and out of one it shared.
void choose(Q3Player& player, uint32_t k, bool (*drives)(uint32_t), int32_t otherAnim, uint32_t otherStand)
{
    if (!drives(k))
        return;
    const bool leavesShared = AnimationPlaysOnBoth(static_cast<uint32_t>(otherAnim)) && !AnimationPlaysOnBoth(k);
    SetAnimation(player, k);
    if (leavesShared)
        SetAnimation(player, otherStand);
}

} // namespace

const char* AnimationName(uint32_t k) { return k < kAnimationCount ? kAnimationNames[k] : ""; }

std::optional<uint32_t> AnimationNamed(const std::string& name)
{
    const std::string upper = platform::UpperCase(name);
    for (uint32_t k = 0; k < kAnimationCount; ++k) {
        if (upper == kAnimationNames[k])
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
    choose(player, k, AnimationDrivesLegs, player.TorsoAnim, kTorsoStand);
}

uint32_t StepTorsoAnimation(uint32_t k, int step) { return stepAmong(k, step, AnimationDrivesTorso); }

uint32_t StepLegsAnimation(uint32_t k, int step) { return stepAmong(k, step, AnimationDrivesLegs); }
