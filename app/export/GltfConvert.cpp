#include "GltfConvert.h"

#include <cmath>
#include <cstdint>

namespace gltf {

namespace {

// A tag axis shorter than this has no direction to keep.
constexpr double kShortestAxis = 1e-6;

Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The unit quaternion of a turn matrix m (rows of columns).
Quat quaternionOf(const double (&m)[3][3])
{
    Quat q;
    const double trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        q = {(m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s, s / 4};
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2;
        q = {s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s};
    } else if (m[1][1] > m[2][2]) {
        const double s = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2;
        q = {(m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s};
    } else {
        const double s = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2;
        q = {(m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4, (m[1][0] - m[0][1]) / s};
    }
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q)
        c /= length;
    return q;
}

} // namespace

Vec3 NormalOf(const TMD3Vertex& vertex)
{
    const double* n = NormalTable[vertex.Normal[0]][vertex.Normal[1]];
    return ToGltf(n[0], n[1], n[2]);
}

std::array<uint8_t, 2> NormalCodeOf(const Vec3& direction)
{
    const Vec3 game = FromGltf(direction[0], direction[1], direction[2]);
    return NearestNormalCode(game[0], game[1], game[2]);
}

Vec3 StoredNormal(const std::array<int16_t, 4>& base, const Vec3& difference)
{
    Vec3 n;
    for (size_t c = 0; c < 3; ++c)
        n[c] = base[c] / kShortNormal + difference[c];
    return n;
}

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

bool Normalise(Vec3& v)
{
    const double length = std::sqrt(Dot(v, v));
    if (!(length > kShortestAxis) || !std::isfinite(length))
        return false;
    for (double& c : v)
        c /= length;
    return true;
}

Vec3 TagTranslation(const TMD3Tag& tag) { return ToGltf<double>(tag.Origin[0], tag.Origin[1], tag.Origin[2]); }

Quat TagRotation(const TMD3Tag& tag)
{
    // The tag's axes are the columns of the turn; noise is taken out (the
    // first axis kept, the second made square to it, the third their cross
    // product).
    Vec3 a = ToGltf<double>(tag.Axis[0][0], tag.Axis[0][1], tag.Axis[0][2]);
    Vec3 b = ToGltf<double>(tag.Axis[1][0], tag.Axis[1][1], tag.Axis[1][2]);
    if (!Normalise(a))
        return {0, 0, 0, 1};
    const double along = Dot(a, b);
    for (int i = 0; i < 3; ++i)
        b[i] -= along * a[i];
    if (!Normalise(b))
        return {0, 0, 0, 1};
    const Vec3 c = cross(a, b);
    // glTF's X, Y and Z are the game's Y, Z and X: the turn's columns are the
    // game's axes 1, 2 and 0, each in glTF's axes.
    const Vec3 cols[3] = {b, c, a};
    const double m[3][3] = {{cols[0][0], cols[1][0], cols[2][0]},
                            {cols[0][1], cols[1][1], cols[2][1]},
                            {cols[0][2], cols[1][2], cols[2][2]}};
    return quaternionOf(m);
}

std::string Utf8Name(const std::string& text)
{
    constexpr const char* kReplacement = "\xEF\xBF\xBD";
    std::string out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = bytes[i];
        const size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                                : (lead & 0xF8) == 0xF0 ? 4 : 0;
        bool valid = length > 0 && i + length <= text.size();
        uint32_t code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (bytes[i + k] & 0xC0) == 0x80;
            code = (code << 6) | (bytes[i + k] & 0x3F);
        }
        // No overlong forms, surrogates or code points past U+10FFFF.
        constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= kLeast[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

} // namespace gltf
