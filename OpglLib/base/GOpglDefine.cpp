#include "GOpglDefine.h"

#include "platform/system/Errors.h"

#include <cmath>

GLUquadric* SharedQuadric = nullptr;

TGLPoint4f Point4f(float x, float y, float z) { return {x, y, z, 1.0f}; }
TGLPoint4f Point4fW(float x, float y, float z, float w) { return {x, y, z, w}; }
TGLColor4f Color4f(float r, float g, float b, float a) { return {r, g, b, a}; }

TGLPoint4f Point4fFromInt(int32_t x, int32_t y, int32_t z, int32_t w)
{
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), static_cast<float>(w)};
}

TGLPoint4f VectorBetween(float x1, float y1, float z1, float x2, float y2, float z2)
{
    return {x2 - x1, y2 - y1, z2 - z1, 1.0f};
}

TGLPoint4f VectorFromTo(const TGLPoint4f& a, const TGLPoint4f& b)
{
    return VectorBetween(a.X, a.Y, a.Z, b.X, b.Y, b.Z);
}

bool IsEqual(float a, float b)
{
    constexpr double kTolerance = 1e-12;
    const float d = b - a;
    const bool within = -kTolerance <= d && d <= kTolerance;
    if (within != (std::fabs(d) <= kTolerance))
        throw platform::EAssertionFailed(
            "Error - Illogical error in equality check. (IsEqual) (GOpglDefine, line 257)");
    return within;
}

namespace {

// Rounds c * 255 half to even and keeps the low 8 bits, so values outside
// 0 ... 1 wrap instead of being clamped.
uint32_t channelByte(float c)
{
    double scaled = std::nearbyint(static_cast<double>(c) * 255.0);
    if (!std::isfinite(scaled))
        return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(std::fmod(scaled, 4294967296.0))) & 0xFFu;
}

} // namespace

TColorValue Color4fToValue(float r, float g, float b, float /*a*/)
{
    return channelByte(r) | channelByte(g) << 8 | channelByte(b) << 16;
}

TColorValue Color3fToValue(const TGLPoint3f& c) { return Color4fToValue(c.X, c.Y, c.Z, 0.0f); }

TGLColor4f ValueToColor4f(TColorValue v)
{
    return {static_cast<float>(v & 0xFF) / 255.0f, static_cast<float>((v >> 8) & 0xFF) / 255.0f,
            static_cast<float>((v >> 16) & 0xFF) / 255.0f, 0.5f};
}

void GOpglDefineInitialization()
{
    if (!SharedQuadric)
        SharedQuadric = gluNewQuadric();
}

void GOpglDefineFinalization()
{
    if (SharedQuadric)
        gluDeleteQuadric(SharedQuadric);
    SharedQuadric = nullptr;
}
