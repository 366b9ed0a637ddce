#pragma once
// The export's conversions from the game's records to glTF's terms: axes,
// normals, tag turns as quaternions, and names as UTF-8.
#include "model/Model.h"

#include <array>
#include <string>

namespace gltf {

using Vec3 = std::array<double, 3>;
using Quat = std::array<double, 4>; // x, y, z, w

// The game's axes (X forward, Y left, Z up) in glTF's (X left, Y up, Z
// forward): a turn, so lengths, angles and windings are kept.
template <class T> std::array<T, 3> ToGltf(T x, T y, T z) { return {y, z, x}; }

// The unit normal of a vertex record in glTF's axes.
Vec3 NormalOf(const TMD3Vertex& vertex);

double Dot(const Vec3& a, const Vec3& b);

// Makes v unit length; false (v unchanged) when it is too short to have a
// direction or not finite.
bool Normalise(Vec3& v);

// A tag's origin in glTF's axes.
Vec3 TagTranslation(const TMD3Tag& tag);

// A tag's turn in glTF's axes as a unit quaternion; axes without a
// direction give no turn.
Quat TagRotation(const TMD3Tag& tag);

// text with every byte that is no part of a UTF-8 character (JSON holds no
// other text) put as U+FFFD, as the checker's JSON puts it.
std::string Utf8Name(const std::string& text);

} // namespace gltf
