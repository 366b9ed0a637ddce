#pragma once
// Vector operations used by the camera and the lights, as methods of a
// settings-backed singleton. Arithmetic runs in double precision; results are
// stored in the 32-bit float records.
#include "OpglLib/base/Component.h"
#include "OpglLib/base/GOpglDefine.h"

class TGLVector : public TComponent<TGLVector> {
public:
    static constexpr const char* kClassName = "TGLVector";
    static constexpr const char* kUnitName = "OpglVector";
    static constexpr bool kRegistersUnit = true;

    float Distance(const TGLPoint4f& a, const TGLPoint4f& b) const;
    float VecLength(const TGLPoint4f& v) const;
    TGLPoint3f CrossProduct(const TGLPoint4f& a, const TGLPoint4f& b) const;
    // V / |V|; a zero-length vector gives (0, 0, 0).
    TGLPoint3f Normalize(const TGLPoint4f& v) const;
    void NormalizeInPlace(TGLPoint4f& v) const;
    float DegToRad(float degrees) const;
    // R.XYZ := -V.XYZ; R.W is left as it is.
    void Negate(const TGLPoint3f& v, TGLPoint4f& r) const;
    // Moves P by dist along Dir; a zero-length Dir leaves P where it is.
    void MoveAlong(TGLPoint4f& p, const TGLPoint4f& dir, float dist) const;
    // Turns P about the vertical line through C by angle radians.
    void RotateAroundVertical(TGLPoint4f& p, const TGLPoint4f& c, float angle) const;
    // Turns P about the line through C with direction Axis (any length, right-hand
    // rule); a zero axis leaves P where it is.
    void RotateAroundAxis(TGLPoint4f& p, const TGLPoint4f& c, float angle, const TGLPoint3f& axis) const;
};

void OpglVectorInitialization();
void OpglVectorFinalization();
