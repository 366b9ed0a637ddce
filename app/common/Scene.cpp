#include "Scene.h"

#include "OpglLib/OpglLight.h"

float SceneSize = 200.0f;

TGLPoint4f StartEye() { return Point4f(SceneSize / 2, SceneSize / 3, SceneSize / 2); }

TGLPoint4f StartViewPoint() { return Point4f(0, 10, 0); }

StartView SceneStartView() { return {StartEye(), StartViewPoint(), SceneSize}; }

void PlaceSceneLights()
{
    TGLLighter::Instance()->PlaceLights(Point4f(0, 0, 0), SceneSize / 2);
    TGLLighter::Instance()->LightingOn();
}
