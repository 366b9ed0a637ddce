// The game's light for characters shown without a level.
#include "GameLight.h"

#include <algorithm>
#include <cmath>

namespace {

SceneLight sceneLight = SceneLight::Game;

// In a window the game's unit of light is full white.
constexpr float kIdentityLight = 1.0f;
// Without a level the game lights an entity with this much ambient and
// directed light, and adds a minimum to the ambient light.
constexpr float kNoLevelLight = 150.0f;
constexpr float kMinimumLight = 32.0f;
// Dynamic lights weigh by this factor over the squared distance, which counts
// as at least this much.
constexpr float kDynamicLightWeight = 16.0f;
constexpr float kDynamicLightMinimumDistance = 16.0f;

// The two lights the game's menus put beside a character, relative to it, in
// the menus' view frame (x into the screen, y to the left, z up).
struct DynamicLight {
    float offset[3];
    float radius;
    float color[3];
};
constexpr DynamicLight kMenuLights[] = {
    {{-100.0f, 100.0f, 100.0f}, 500.0f, {1.0f, 1.0f, 1.0f}},
    {{-200.0f, 0.0f, 0.0f}, 500.0f, {1.0f, 0.0f, 0.0f}},
};

GameSceneLight computeGameLight()
{
    GameSceneLight light{};
    float sum[3] = {0, 0, 0}; // the weighted directions, in the menus' frame
    for (int c = 0; c < 3; ++c) {
        light.ambient[c] = std::min(255.0f * kIdentityLight, (kNoLevelLight + kMinimumLight) * kIdentityLight);
        light.directed[c] = kNoLevelLight * kIdentityLight;
    }
    for (const DynamicLight& dynamic : kMenuLights) {
        const float* d = dynamic.offset;
        const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const float distance = std::max(length, kDynamicLightMinimumDistance);
        const float weight = kDynamicLightWeight * dynamic.radius * dynamic.radius / (distance * distance);
        for (int c = 0; c < 3; ++c) {
            light.directed[c] += weight * dynamic.color[c];
            sum[c] += weight * d[c] / length;
        }
    }
    const float length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
    // The menus' frame in eye coordinates: x into the screen is -z, y to the
    // left is -x, z up is y.
    light.towardsLight[0] = -sum[1] / length;
    light.towardsLight[1] = sum[2] / length;
    light.towardsLight[2] = -sum[0] / length;
    return light;
}

// The inverse of the 3 x 3 part of a column-major matrix; false when it has none.
bool invert3(const GLfloat (&m)[16], double (&inverse)[3][3])
{
    // a[row][column]
    const double a[3][3] = {{m[0], m[4], m[8]}, {m[1], m[5], m[9]}, {m[2], m[6], m[10]}};
    const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                       a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                       a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    if (!std::isfinite(det) || std::abs(det) < 1e-12)
        return false;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
            inverse[r][c] = (a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1]) / det;
        }
    }
    return true;
}

} // namespace

void UseSceneLight(SceneLight light) { sceneLight = light; }

SceneLight CurrentSceneLight() { return sceneLight; }

const GameSceneLight& TheGameSceneLight()
{
    static const GameSceneLight light = computeGameLight();
    return light;
}

PartLighting LightingOfPart(const GLfloat (&modelView)[16], bool lightingOn)
{
    PartLighting part;
    part.lit = lightingOn;
    const GameSceneLight& scene = TheGameSceneLight();
    std::copy_n(scene.ambient, 3, part.ambient);
    std::copy_n(scene.directed, 3, part.directed);
    double inverse[3][3];
    if (!invert3(modelView, inverse))
        return part; // a part squeezed flat: no direction, no eye
    double direction[3] = {0, 0, 0};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            direction[r] += inverse[r][c] * scene.towardsLight[c];
            part.viewOrigin[r] -= static_cast<float>(inverse[r][c] * modelView[12 + c]);
        }
    }
    const double length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2]);
    for (int r = 0; r < 3 && length > 0; ++r)
        part.direction[r] = static_cast<float>(direction[r] / length);
    return part;
}
