#pragma once
// Animation files ("animation.cfg") as the game reads them, and the game's
// playback of an animation on a part (character mode and the checker; the
// Model/ tree keeps its own reading, Animation.cpp).
//
// The game reads the file as one token stream (GameTokens.h): lines mean
// nothing, so an entry may span lines and several may share one. Keywords
// come first (footsteps, headoffset, sex, fixedlegs, fixedtorso, in any
// letter case); the first token starting with a digit begins the entries,
// and any other token is reported and skipped. Then up to 31 entries of four
// tokens each: first frame, frame count and looping frames as atoi reads
// them, frames per second as atof reads it.
#include "GamePart.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The game's buffer for the file: a file this long or longer is refused.
inline constexpr size_t kMostAnimationFileBytes = 19999;

// Something the game says about a token of the file and goes on.
struct AnimationProblem {
    int line = 0; // 1-based
    std::string text;
};

struct GameAnimationFile {
    // As the game plays them, the legs entries moved into the legs file's
    // numbering and the entries the game makes itself filled in.
    std::array<GameAnimationEntry, kGameAnimationCount> entries{};
    int entriesRead = 0;            // complete entries read from the file
    bool copiedFromGesture = false; // entries 25 ... 30 were missing and copy TORSO_GESTURE
    std::vector<AnimationKeyword> keywords;
    std::vector<AnimationProblem> problems;
    // Why the game refuses the file (and with it the character), or nothing.
    std::optional<std::string> refusal;
};

// The text of an animation file that the game reads back as keywords and
// entries (the first entries.size() of the table, at most those it reads, as
// the game holds them: the legs entries in the legs file's numbering,
// FrameCount and Reversed for the count, FrameLerpMs for the rate). The
// legs entries are numbered on from the torso's frames, as files usually
// number them. Throws nothing but std::bad_alloc.
std::string GameAnimationText(const std::vector<AnimationKeyword>& keywords,
                              const std::vector<GameAnimationEntry>& entries);

// Reads the text of an animation file as the game does. Throws nothing but
// std::bad_alloc.
GameAnimationFile ReadGameAnimation(std::string_view text);

// ReadGameAnimation on the file at path in the mounted game data; throws
// platform::EInOutError when it cannot be read.
GameAnimationFile ReadGameAnimationFile(const std::string& path);

// The game's animation names in table order, for indices below
// kGameAnimationCount; "" for 31 (no animation) and past the table.
const char* GameAnimationName(uint32_t k);

// Whether animation k plays on the legs (as the model's table, and the
// game's backwards walks 32 and 33) and on the torso (as the model's table,
// and 25-30); others play on neither. Throw nothing.
bool GameAnimationDrivesLegs(uint32_t k);
bool GameAnimationDrivesTorso(uint32_t k);

// Starts animation on part by the game's playback: the first update after
// a part's first animation shows its first frame; a later one blends from
// the frame shown into the new animation's first frame. The model's frame
// range follows the entry. Throws nothing.
void StartGameAnimation(GamePart& part, const GameAnimationEntry& animation);

// Starts animation k of the player's table on the parts it drives; others
// change nothing.
void SetGameAnimation(GamePlayer& player, uint32_t k);

// Moves part to timeMs on the animation clock as the game does each frame:
// at most one frame switch per call, looping over the last looping frames or
// stopping on the last, and CurrentFrame, NextFrame and Blend set to what the
// game draws (its old frame, its frame and 1 - its back-lerp). Throws nothing.
void UpdateGameFrame(GamePart& part, int64_t timeMs);

// Moves the legs, torso and head to t seconds on the animation clock.
void UpdateGamePlayer(GamePlayer& player, float seconds);

// For a stopped clock at timeMs: shows the frame one place on (step 1) or
// back (step -1) in the part's animation, unblended, and plays on from there
// when the clock runs again; a newly set animation shows its first frame.
// Throws nothing.
void StepGameFrame(GamePart& part, int step, int64_t timeMs);

// The clock of the game's playback for t seconds of the animation clock.
int64_t GameTimeMs(float seconds);

// The frames an entry plays, in the order it plays them: count frames from
// first, each step (1, or -1 backwards) from the one before. Frames are the
// file's numbers before the game's 32-bit arithmetic wraps them.
struct FrameSequence {
    int64_t first = 0;
    int64_t step = 1;
    int64_t count = 0; // 0 or less: the entry plays nothing

    // The frame at place (0 the first frame played).
    int64_t FrameAt(int64_t place) const { return first + step * place; }
    // The place of frame in the sequence.
    int64_t PlaceOf(int64_t frame) const { return (frame - first) * step; }
};

// The frames the game plays of entry: its frame count from its first frame,
// backwards for a negative count in the file and for the backwards walks the
// game makes. Throws nothing.
FrameSequence GameFrameSequence(const GameAnimationEntry& entry);

// The milliseconds the game gives each frame of entry, as it truncates
// 1000 / rate (a rate of 0 counts as 1); 0, for a rate above 1000, holds the
// part still. Throws nothing.
int32_t GameFramePeriodMs(const GameAnimationEntry& entry);

// The place the game shows of a sequence of count frames once it has played
// place of them: place itself within the sequence, past its end round its
// last loopingFrames, or, without looping frames, its last place (stuck is
// then true). Throws nothing.
int64_t GamePlaceAfterEnd(int64_t count, int64_t loopingFrames, int64_t place, bool& stuck);
