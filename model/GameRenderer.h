#pragma once
// Drawing characters of game data the way the game draws the entities of a
// scene: every surface with every stage of its shader as one pass, surfaces
// sorted across all parts (opaque before blended, then by the order shaders
// were first asked for, then part, then surface), consecutive surfaces of one
// part and shader drawn together stage by stage, in the scene light of
// GameLight.h. Needs a current GL context; leaves every GL state as it found
// it.
#include "Model.h"

// Draws root and the parts hanging on it by their tags, with the meshes'
// shaders (TMesh::Shader; meshes without one are not drawn), at shader time
// shaderSeconds.
void DrawGameModel(const TMD3Model& root, double shaderSeconds);

// True for a surface of game data whose shader has no stages: the game draws
// nothing of it.
bool DrawsNothing(const TMesh& mesh);

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
// child's own roll (TMD3Model::RollDegrees) is not included.
void GameTagMatrix(const TMD3Model& part, size_t tag, GLfloat matrix[16]);
