#pragma once
// Drawing characters of game data the way the game draws the entities of a
// scene: every surface with every stage of its shader as one pass, surfaces
// sorted across all parts (opaque before blended, then by the order shaders
// were first asked for, then part, then surface), consecutive surfaces of one
// part and shader drawn together stage by stage, in the scene light of
// GameLight.h. Needs a current GL context; leaves every GL state as it found
// it.
#include "GamePart.h"

#include <unordered_set>

// Draws root and the parts hanging on it by their tags, with the meshes'
// shaders (GamePart::shaders; meshes without one are not drawn), at shader
// time shaderSeconds.
void DrawGameModel(const GamePart& root, double shaderSeconds);

// Advances the player's legs, torso and head to seconds on the animation
// clock by the game's playback and draws the tree from the legs in the
// character's own colours, its shaders on the same clock.
void DrawGamePlayer(GamePlayer& player, float seconds);

// True for a surface of game data whose shader has no stages: the game draws
// nothing of it.
bool DrawsNothing(const BoundShader* shader);

// The meshes of root and the parts hanging on it whose shader draws nothing.
std::unordered_set<const TMesh*> MeshesDrawingNothing(const GamePart& root);

// The frames the game draws a part's meshes in: its CurrentFrame and
// NextFrame, or frame 0 for both when either lies outside the part's frames.
// The blend weight (towards the second) is 0 when the two are the same.
struct MeshFrames {
    size_t current = 0;
    size_t next = 0;
    double weight = 0;
};
MeshFrames GameMeshFrames(const TMD3Model& part);

// The matrix a part hanging on tag index tag of part is drawn under, as the
// game places it: the tag (found by its frame-0 name in each frame) blended
// from CurrentFrame towards NextFrame by Blend, frames past the last taken as
// the last, each axis normalised; identity where a frame lacks the tag. The
// child's own roll (GamePart::rollDegrees) is not included.
void GameTagMatrix(const TMD3Model& part, size_t tag, GLfloat matrix[16]);
