#pragma once
// The light a character of game data is drawn in. By default it is the
// game's own light for a model in a scene without a level (as its menus show
// characters): an ambient term and one directed light a vertex, coming from
// in front of the viewer, above and to the left, with the strength the game
// gives them in a window. The other choice is the viewer's eight lights, as
// the sample characters are lit.
#include "StageVertices.h"

#include <GL/gl.h>

enum class SceneLight { Game, Viewer };

// Chooses the light for every character of game data drawn from now on.
void UseSceneLight(SceneLight light);
SceneLight CurrentSceneLight();

// The game's light in eye coordinates: ambient and directed strength per
// channel (0 ... 255 a unit) and the unit direction towards the light.
struct GameSceneLight {
    float ambient[3];
    float directed[3];
    float towardsLight[3];
};
const GameSceneLight& TheGameSceneLight();

// The light of a part drawn under modelView (its GL model-view matrix,
// column-major): the game's light turned into the part's own coordinates,
// and the eye's place there. lightingOn false: lighting is switched off and
// lit stages draw full bright.
PartLighting LightingOfPart(const GLfloat (&modelView)[16], bool lightingOn);
