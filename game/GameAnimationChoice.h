#pragma once
// Choosing what plays, for a person picking animations and frames of a
// character of game data: the game's names of the animations, and starting
// and stepping the torso's and the legs' animations.
#include "GamePart.h"

#include <cstdint>
#include <optional>
#include <string>

// The game's name of animation k ("BOTH_DEATH1" ... "LEGS_TURN",
// "TORSO_GETFLAG" ..., "LEGS_BACKCR" ...); "" past the game's table.
// Throws nothing.
const char* AnimationName(uint32_t k);
// The index of the animation the game calls name (any letter case), or
// nothing for a name the table does not have. Throws nothing.
std::optional<uint32_t> AnimationNamed(const std::string& name);
// True for the animations that play on legs and torso together (deaths).
bool AnimationPlaysOnBoth(uint32_t k);

// Animations asked for by index, each part's optional (its start animation
// stays where none is given).
struct AnimationChoice {
    std::optional<uint32_t> torso;
    std::optional<uint32_t> legs;
};

// Starts the chosen animations: one that plays on both parts first, then the
// other part's own choice on that part alone. Indices that drive no part
// change nothing.
void StartAnimations(GamePlayer& player, const AnimationChoice& choice);

// Plays animation k on the torso (on the legs) from now on. An animation
// that plays on both parts starts on both; when a part leaves one, the other
// part, still playing it, goes back to standing (the player's standing torso
// animation, LEGS_IDLE). An index that does not drive the part changes
// nothing. Throw nothing.
void SetTorsoAnimation(GamePlayer& player, uint32_t k);
void SetLegsAnimation(GamePlayer& player, uint32_t k);

// The animation step places (1 next, -1 previous) from k among those that
// drive the torso (the legs), round the table. Throw nothing.
uint32_t StepTorsoAnimation(uint32_t k, int step);
uint32_t StepLegsAnimation(uint32_t k, int step);

// The still pose pictures show: the standing animations (or those chosen),
// each part on the first frame its animation shows, unblended.
void UseStillPose(GamePlayer& player, const AnimationChoice& choice = {});
