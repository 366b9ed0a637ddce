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
