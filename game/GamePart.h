#pragma once
// Characters and weapons as the game holds them: each part is a model part
// with what the game keeps beside it (the shader each surface is drawn with,
// the entity colour, the animation playing and the game's playback state, a
// roll of its own and the parts it carries), and a player is three such parts
// with the game's animation table of 37 entries and what its animation file
// and the game's checks said.
#include "model/Model.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct BoundShader; // GameData.h

// The game's animation numbers (its table order). It reads entries up to
// kGameAnimationsRead from a file and makes the ones after that itself.
enum GameAnimation : uint32_t {
    kBothDeath1 = 0,
    kTorsoGesture = 6,
    kTorsoStand = 11,
    kTorsoStand2 = 12,
    kLegsWalkCrouched = 13,
    kLegsWalk = 14,
    kLegsIdle = 22,
    kLegsTurn = 24,
    kTorsoGetFlag = 25,
    kTorsoNegative = 30,
    kGameAnimationsRead = 31,
    kLegsBackCrouched = 32,
    kLegsBackWalk = 33,
    kFlagRun = 34,
    kFlagStand = 35,
    kFlagStandToRun = 36,
    kGameAnimationCount = 37,
};

// One entry of the game's table: the frame range as an animation table
// holds it (NumFrames the offset of the last frame from the first), and how
// the game plays it: the number of frames played, whether they play last to
// first, and the milliseconds it gives each frame and the blend into the
// first.
struct GameAnimationEntry {
    int32_t FirstFrame = 0;
    int32_t NumFrames = 0;
    int32_t LoopingFrames = 0;
    int32_t FPS = 0;
    int32_t FrameCount = 0;
    bool Reversed = false;
    int32_t FrameLerpMs = 0;
    int32_t InitialLerpMs = 0;
};

// How the game moves a part along its animation, kept per part in whole
// milliseconds of the animation clock: the frame shown last and the one
// blended towards, when each is reached, and when the animation's first
// frame is (or was) reached.
struct GameLerp {
    bool started = false; // false: the next update starts the animation on its first frame
    bool changed = false; // a new animation was set since the last update
    int32_t oldFrame = 0;
    int32_t frame = 0;
    int64_t oldFrameTime = 0;
    int64_t frameTime = 0;
    int64_t animationTime = 0;
    int64_t oldStep = 0; // the places of oldFrame and frame in the animation (0 its first)
    int64_t step = 0;
};

// A part of game data. Its model's links and its own links name the same
// parts (LinkGamePart sets both); a linked part must stay where it is.
struct GamePart {
    TMD3Model model;
    // The shader the game draws each surface with, one per mesh of model,
    // owned by the character's texture set; empty before the part is bound.
    std::vector<const BoundShader*> shaders;
    // The colour shaders take as the entity's (the game gives a player's
    // body parts black with alpha 0, a weapon white).
    uint8_t entityColor[4] = {255, 255, 255, 255};
    // The animation playing and the game's playback state.
    GameAnimationEntry playing;
    GameLerp lerp;
    // The part's own roll about its x axis, degrees, when it hangs on a tag
    // (a weapon's barrel at rest).
    float rollDegrees = 0;
    // One entry per tag index: the part hanging on that tag, not owned.
    std::vector<GamePart*> links;
    // Parts this part carries itself and links to (a weapon's barrel).
    std::vector<std::shared_ptr<GamePart>> carried;

    // The shader of mesh i, or null.
    const BoundShader* ShaderOf(size_t i) const { return i < shaders.size() ? shaders[i] : nullptr; }
};

// A keyword line of an animation file ("sex f", "footsteps boot",
// "headoffset 0 0 0", "fixedlegs", "fixedtorso"), kept as written.
struct AnimationKeyword {
    std::string keyword; // lower case
    std::vector<std::string> values;
    int line = 0; // 1-based
};

// A character as the game loads it: legs (the root of the drawing tree),
// torso and head linked on their tags.
struct GamePlayer {
    GamePart Lower;
    GamePart Upper;
    GamePart Head;
    std::array<GameAnimationEntry, kGameAnimationCount> Animations{};
    int32_t LegsAnim = 0;
    int32_t TorsoAnim = 0;
    // The keyword lines of its animation file.
    std::vector<AnimationKeyword> Keywords;
    // The torso's standing animation, which depends on the weapon held.
    uint32_t StandingTorso = kTorsoStand;
    // Why the game would refuse the character and show its default one
    // instead; empty when it takes it.
    std::vector<std::string> Refusals;
};

// Hangs child on the first tag of parent named exactly tagName, in the
// model's links and the game part's alike; nothing happens when there is none.
void LinkGamePart(GamePart& parent, const std::string& tagName, GamePart& child);

// Calls visit for root and every part hanging on it, each once, parents
// before the parts they carry.
void ForEachGamePart(const GamePart& root, const std::function<void(const GamePart&)>& visit);
