#pragma once
// The export's conversions from the game's records to glTF's terms: axes,
// normals, tag turns as quaternions, and names as UTF-8.
#include "model/Model.h"

#include <array>
#include <cstdint>
#include <string>

namespace gltf {

using Vec3 = std::array<double, 3>;
using Quat = std::array<double, 4>; // x, y, z, w

// The game's axes (X forward, Y left, Z up) in glTF's (X left, Y up, Z
// forward): a turn, so lengths, angles and windings are kept.
template <class T> std::array<T, 3> ToGltf(T x, T y, T z) { return {y, z, x}; }

// glTF's axes back in the game's: the turn ToGltf makes, undone.
template <class T> std::array<T, 3> FromGltf(T x, T y, T z) { return {z, x, y}; }

// The unit normal of a vertex record in glTF's axes.
Vec3 NormalOf(const TMD3Vertex& vertex);

// The angle bytes of the record's normal nearest a direction in glTF's axes.
std::array<uint8_t, 2> NormalCodeOf(const Vec3& direction);

// The normal a frame's vertex has in the file: its base normal (shorts of
// a unit vector) plus the difference its morph target holds.
Vec3 StoredNormal(const std::array<int16_t, 4>& base, const Vec3& difference);

// A normalised integer's value: a byte's over 127, a short's over 32767.
inline constexpr double kByteNormal = 127.0;
inline constexpr double kShortNormal = 32767.0;

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
