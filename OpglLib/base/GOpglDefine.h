#pragma once
// Shared vocabulary of the scene framework: point, vector and colour records,
// packed colour values, colour constants, the float equality test and the
// process-wide GLU quadric.
#include <GL/glu.h>

#include <cstdint>

// Four floats: a point (W = 1 from the constructors), a direction, or a colour
// read as R, G, B, A. Sixteen bytes; stored in settings as its bytes.
struct TGLPoint4f {
    float X;
    float Y;
    float Z;
    float W;
};
static_assert(sizeof(TGLPoint4f) == 16);

using TGLColor4f = TGLPoint4f;

// Three floats: cross products, normalised vectors, three-float colours.
struct TGLPoint3f {
    float X;
    float Y;
    float Z;
};
static_assert(sizeof(TGLPoint3f) == 12);

// A 32-bit colour value: byte 0 red, byte 1 green, byte 2 blue, byte 3 unused.
using TColorValue = uint32_t;

inline constexpr TGLColor4f GLRed{1.0f, 0.0f, 0.0f, 0.5f};
inline constexpr TGLColor4f GLGreen{0.0f, 1.0f, 0.0f, 0.5f};
inline constexpr TGLColor4f GLBlue{0.0f, 0.0f, 1.0f, 0.5f};
inline constexpr TGLColor4f GLBlack{0.0f, 0.0f, 0.0f, 0.5f};
inline constexpr TGLColor4f GLWhite{1.0f, 1.0f, 1.0f, 0.5f};
inline constexpr TGLColor4f GLOpaqueBlack{0.0f, 0.0f, 0.0f, 1.0f};
inline constexpr float GLShininess = 120.0f;
inline constexpr float GLLowShininess = 20.0f;

TGLPoint4f Point4f(float x, float y, float z);
TGLPoint4f Point4fW(float x, float y, float z, float w);
TGLColor4f Color4f(float r, float g, float b, float a);
TGLPoint4f Point4fFromInt(int32_t x, int32_t y, int32_t z, int32_t w);
// (x2 - x1, y2 - y1, z2 - z1, 1).
TGLPoint4f VectorBetween(float x1, float y1, float z1, float x2, float y2, float z2);
// B - A with W = 1; the W of both is ignored.
TGLPoint4f VectorFromTo(const TGLPoint4f& a, const TGLPoint4f& b);

// True when b - a, taken as a 32-bit float, lies within +-1e-12. Throws
// EAssertionFailed if its two equivalent forms ever disagree.
bool IsEqual(float a, float b);

// Each channel times 255, rounded half to even, low 8 bits kept; a is ignored.
TColorValue Color4fToValue(float r, float g, float b, float a);
TColorValue Color3fToValue(const TGLPoint3f& c);
// Channels over 255, alpha always 0.5; byte 3 is ignored.
TGLColor4f ValueToColor4f(TColorValue v);

// The one GLU quadric of the process, made at start and deleted at the end.
extern GLUquadric* SharedQuadric;

void GOpglDefineInitialization();
void GOpglDefineFinalization();
