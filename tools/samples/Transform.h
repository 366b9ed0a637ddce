#pragma once
// Rigid transforms for posing the sample characters. Z is up, X forward,
// Y to the character's left; angles are degrees.
#include "tools/writers/Md3Writer.h"

#include <array>

namespace samples {

using writers::Vec3;

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 normalise(Vec3 v);
inline Vec3 lerp(Vec3 a, Vec3 b, float t) { return a + (b - a) * t; }
inline float lerp(float a, float b, float t) { return a + (b - a) * t; }

// Rotation matrix kept as its three columns (the images of the X, Y, Z axes).
struct Mat3 {
    std::array<Vec3, 3> columns{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
};

inline Vec3 operator*(const Mat3& m, Vec3 v)
{
    return m.columns[0] * v.x + m.columns[1] * v.y + m.columns[2] * v.z;
}
Mat3 operator*(const Mat3& a, const Mat3& b);

// Right-handed rotations about the axes. rotY with a positive angle tips +Z
// towards +X (a forward lean); rotX with a positive angle tips +Z towards -Y.
Mat3 rotX(float degrees);
Mat3 rotY(float degrees);
Mat3 rotZ(float degrees);

struct Transform {
    Mat3 rotation;
    Vec3 translation;

    Vec3 point(Vec3 p) const { return rotation * p + translation; }
    Vec3 direction(Vec3 d) const { return rotation * d; }
};

inline Transform operator*(const Transform& a, const Transform& b)
{
    return {a.rotation * b.rotation, a.rotation * b.translation + a.translation};
}
inline Transform translate(Vec3 offset) { return {Mat3{}, offset}; }
inline Transform rotate(const Mat3& rotation) { return {rotation, Vec3{}}; }

} // namespace samples
