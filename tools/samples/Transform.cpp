#include "tools/samples/Transform.h"

#include <cmath>
#include <numbers>

namespace samples {

namespace {

float radians(float degrees) { return degrees * std::numbers::pi_v<float> / 180.0f; }

} // namespace

Vec3 normalise(Vec3 v)
{
    const float length = std::sqrt(dot(v, v));
    return length > 0.0f ? v * (1.0f / length) : Vec3{0, 0, 1};
}

Mat3 operator*(const Mat3& a, const Mat3& b)
{
    return {{a * b.columns[0], a * b.columns[1], a * b.columns[2]}};
}

Mat3 rotX(float degrees)
{
    const float c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
    return {{Vec3{1, 0, 0}, Vec3{0, c, s}, Vec3{0, -s, c}}};
}

Mat3 rotY(float degrees)
{
    const float c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
    return {{Vec3{c, 0, -s}, Vec3{0, 1, 0}, Vec3{s, 0, c}}};
}

Mat3 rotZ(float degrees)
{
    const float c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
    return {{Vec3{c, s, 0}, Vec3{-s, c, 0}, Vec3{0, 0, 1}}};
}

} // namespace samples
