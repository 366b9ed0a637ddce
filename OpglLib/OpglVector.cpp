#include "OpglVector.h"

#include <cmath>

namespace {
constexpr double kDegToRad = 0.017453292519943295769;
}

float TGLVector::Distance(const TGLPoint4f& a, const TGLPoint4f& b) const
{
    double dx = double(b.X) - a.X, dy = double(b.Y) - a.Y, dz = double(b.Z) - a.Z;
    return static_cast<float>(std::sqrt(dx * dx + dy * dy + dz * dz));
}

float TGLVector::VecLength(const TGLPoint4f& v) const
{
    return static_cast<float>(std::sqrt(double(v.X) * v.X + double(v.Y) * v.Y + double(v.Z) * v.Z));
}

TGLPoint3f TGLVector::CrossProduct(const TGLPoint4f& a, const TGLPoint4f& b) const
{
    return {static_cast<float>(double(a.Y) * b.Z - double(a.Z) * b.Y),
            static_cast<float>(double(a.Z) * b.X - double(a.X) * b.Z),
            static_cast<float>(double(a.X) * b.Y - double(a.Y) * b.X)};
}

TGLPoint3f TGLVector::Normalize(const TGLPoint4f& v) const
{
    double length = VecLength(v);
    // A zero vector has no direction; keep it zero rather than spreading NaN
    // into the camera.
    if (length == 0.0 || !std::isfinite(length))
        return {0.0f, 0.0f, 0.0f};
    return {static_cast<float>(v.X / length), static_cast<float>(v.Y / length), static_cast<float>(v.Z / length)};
}

void TGLVector::NormalizeInPlace(TGLPoint4f& v) const
{
    TGLPoint3f n = Normalize(v);
    v.X = n.X;
    v.Y = n.Y;
    v.Z = n.Z;
}

float TGLVector::DegToRad(float degrees) const { return static_cast<float>(degrees * kDegToRad); }

void TGLVector::Negate(const TGLPoint3f& v, TGLPoint4f& r) const
{
    r.X = -v.X;
    r.Y = -v.Y;
    r.Z = -v.Z;
}

void TGLVector::MoveAlong(TGLPoint4f& p, const TGLPoint4f& dir, float dist) const
{
    double length = VecLength(dir);
    if (length == 0.0 || !std::isfinite(length))
        return;
    double scale = dist / length;
    p.X = static_cast<float>(p.X + dir.X * scale);
    p.Y = static_cast<float>(p.Y + dir.Y * scale);
    p.Z = static_cast<float>(p.Z + dir.Z * scale);
}

void TGLVector::RotateAroundVertical(TGLPoint4f& p, const TGLPoint4f& c, float angle) const
{
    double dx = double(p.X) - c.X, dz = double(p.Z) - c.Z;
    double cs = std::cos(double(angle)), sn = std::sin(double(angle));
    p.X = static_cast<float>(dx * cs + dz * sn + c.X);
    p.Z = static_cast<float>(dz * cs - dx * sn + c.Z);
}

void TGLVector::RotateAroundAxis(TGLPoint4f& p, const TGLPoint4f& c, float angle, const TGLPoint3f& axis) const
{
    const double x = p.X, y = p.Y, z = p.Z;
    const double a = c.X, b = c.Y, cc = c.Z;
    const double u = axis.X, v = axis.Y, w = axis.Z;
    const double l = u * u + v * v + w * w;
    if (l == 0.0 || !std::isfinite(l))
        return;
    const double rootL = std::sqrt(l);
    const double cs = std::cos(double(angle)), sn = std::sin(double(angle));
    const double dot = u * x + v * y + w * z;
    p.X = static_cast<float>(((a * (v * v + w * w) - u * (b * v + cc * w - dot)) * (1 - cs) + l * x * cs +
                              rootL * (-cc * v + b * w - w * y + v * z) * sn) / l);
    p.Y = static_cast<float>(((b * (u * u + w * w) - v * (a * u + cc * w - dot)) * (1 - cs) + l * y * cs +
                              rootL * (cc * u - a * w + w * x - u * z) * sn) / l);
    p.Z = static_cast<float>(((cc * (u * u + v * v) - w * (a * u + b * v - dot)) * (1 - cs) + l * z * cs +
                              rootL * (-b * u + a * v - v * x + u * y) * sn) / l);
}

void OpglVectorInitialization() { TGLVector::Create(); }

void OpglVectorFinalization()
{
    if (TGLVector* vector = TGLVector::Instance())
        vector->Free();
}
