#pragma once
// The scene that the window and every offscreen picture show: its scale,
// the camera it starts with and its lights.
#include "PoseFraming.h"

#include "OpglLib/OpglCamera.h"

// Scale from which the camera, the lights, the axes and the logo width follow.
extern float SceneSize;

// The camera the window starts with: from the front right and above the
// character, looking at a point a little above the origin; the eye's place
// scales with SceneSize.
TGLPoint4f StartEye();
TGLPoint4f StartViewPoint();
// The same camera as framing takes it.
StartView SceneStartView();

// Places the scene's lights around the origin, scaled by SceneSize, and
// switches lighting on; needs the GL context.
void PlaceSceneLights();
