#include "SkinnedReference.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <utility>

namespace importtest {

namespace {

using Values = std::vector<double>;

RefMatrix multiply(const RefMatrix& a, const RefMatrix& b)
{
    RefMatrix m{};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                m[column * 4 + row] += a[k * 4 + row] * b[column * 4 + k];
    return m;
}

// Gauss-Jordan elimination with partial pivoting, on a row-major copy.
RefMatrix invert(const RefMatrix& m)
{
    double a[4][8] = {};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column)
            a[row][column] = m[column * 4 + row];
        a[row][4 + row] = 1;
    }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int row = c + 1; row < 4; ++row)
            if (std::abs(a[row][c]) > std::abs(a[pivot][c]))
                pivot = row;
        std::swap(a[c], a[pivot]);
        const double p = a[c][c];
        for (double& x : a[c])
            x /= p;
        for (int row = 0; row < 4; ++row)
            if (row != c) {
                const double f = a[row][c];
                for (int k = 0; k < 8; ++k)
                    a[row][k] -= f * a[c][k];
            }
    }
    RefMatrix inverse{};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            inverse[column * 4 + row] = a[row][4 + column];
    return inverse;
}

// T * R * S of a node's translation, rotation (normalised here) and scale.
RefMatrix compose(const Values& t, const Values& r, const Values& s)
{
    const double length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2] + r[3] * r[3]);
    const double x = r[0] / length, y = r[1] / length, z = r[2] / length, w = r[3] / length;
    RefMatrix m{1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
                2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
                2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
                0, 0, 0, 1};
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row)
            m[column * 4 + row] *= s[column];
        m[12 + column] = t[column];
    }
    return m;
}

// Spherical interpolation the short way: a and -a are the same rotation.
Values slerp(const Values& a, Values b, double u)
{
    double cosine = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    if (cosine < 0) {
        for (double& x : b)
            x = -x;
        cosine = -cosine;
    }
    double wa = 1 - u, wb = u;
    if (cosine < 0.9999) { // nearly equal rotations are lerped, to avoid dividing by sin(0)
        const double angle = std::acos(cosine);
        wa = std::sin((1 - u) * angle) / std::sin(angle);
        wb = std::sin(u * angle) / std::sin(angle);
    }
    Values q(4);
    for (size_t i = 0; i < 4; ++i)
        q[i] = wa * a[i] + wb * b[i];
    return q;
}

// The channel's value at seconds.
Values sample(const samples::SkinnedChannel& channel, double seconds)
{
    const size_t width = channel.path == "rotation" ? 4 : 3;
    const bool cubic = channel.interpolation == "CUBICSPLINE";
    // Element e of key k: the value itself (1) or, for cubic splines, the in-tangent (0) and out-tangent (2).
    const auto element = [&](size_t key, size_t e) {
        const size_t first = (cubic ? key * 3 + e : key) * width;
        return Values(channel.values.begin() + first, channel.values.begin() + first + width);
    };
    const std::vector<float>& times = channel.times;
    if (seconds <= times.front())
        return element(0, 1);
    if (seconds >= times.back())
        return element(times.size() - 1, 1);
    size_t k = 0;
    while (seconds >= times[k + 1])
        ++k;
    if (channel.interpolation == "STEP")
        return element(k, 1);
    const double interval = static_cast<double>(times[k + 1]) - times[k];
    const double u = (seconds - times[k]) / interval;
    const Values a = element(k, 1), b = element(k + 1, 1);
    Values v(width);
    if (cubic) {
        const Values out = element(k, 2), in = element(k + 1, 0);
        const double u2 = u * u, u3 = u2 * u;
        for (size_t i = 0; i < width; ++i)
            v[i] = (2 * u3 - 3 * u2 + 1) * a[i] + (u3 - 2 * u2 + u) * interval * out[i] +
                   (-2 * u3 + 3 * u2) * b[i] + (u3 - u2) * interval * in[i];
        return v; // compose normalises a rotation
    }
    if (width == 4)
        return slerp(a, b, u);
    for (size_t i = 0; i < width; ++i)
        v[i] = a[i] + (b[i] - a[i]) * u;
    return v;
}

const samples::SkinnedAnimation* findAnimation(const samples::SkinnedCharacter& character, const std::string& name)
{
    if (name.empty())
        return nullptr;
    for (const samples::SkinnedAnimation& animation : character.animations)
        if (animation.name == name)
            return &animation;
    throw std::invalid_argument("no animation " + name);
}

RefMatrix worldMatrix(const samples::SkinnedCharacter& character, int node,
                      const samples::SkinnedAnimation* animation, double seconds)
{
    RefMatrix world{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (; node >= 0; node = character.nodes[static_cast<size_t>(node)].parent) {
        const samples::SkinnedNode& n = character.nodes[static_cast<size_t>(node)];
        Values t(n.translation.begin(), n.translation.end()), r(n.rotation.begin(), n.rotation.end()),
            s(n.scale.begin(), n.scale.end());
        if (animation)
            for (const samples::SkinnedChannel& channel : animation->channels)
                if (channel.node == n.name)
                    (channel.path == "translation" ? t : channel.path == "rotation" ? r : s) = sample(channel, seconds);
        world = multiply(compose(t, r, s), world);
    }
    return world;
}

} // namespace

RefMatrix ReferenceWorldMatrix(const samples::SkinnedCharacter& character, const std::string& nodeName,
                               const std::string& animationName, double seconds)
{
    for (size_t i = 0; i < character.nodes.size(); ++i)
        if (character.nodes[i].name == nodeName)
            return worldMatrix(character, static_cast<int>(i), findAnimation(character, animationName), seconds);
    throw std::invalid_argument("no node " + nodeName);
}

std::vector<RefPoint> ReferenceSkinnedPositions(const samples::SkinnedCharacter& character,
                                                const std::string& meshName, const std::string& animationName,
                                                double seconds)
{
    const samples::SkinnedMesh* mesh = nullptr;
    for (const samples::SkinnedMesh& m : character.meshes)
        if (m.name == meshName)
            mesh = &m;
    if (!mesh)
        throw std::invalid_argument("no mesh " + meshName);
    // Each joint's skinning matrix: its posed world matrix times the inverse of its rest world matrix.
    const samples::SkinnedAnimation* animation = findAnimation(character, animationName);
    std::vector<RefMatrix> skinning;
    for (const int joint : character.joints)
        skinning.push_back(multiply(worldMatrix(character, joint, animation, seconds),
                                    invert(worldMatrix(character, joint, nullptr, 0))));
    std::vector<RefPoint> positions;
    for (const samples::SkinnedVertex& v : mesh->vertices) {
        RefPoint p{};
        for (size_t slot = 0; slot < 4; ++slot) {
            const RefMatrix& m = skinning.at(v.joints[slot]);
            for (int row = 0; row < 3; ++row)
                p[static_cast<size_t>(row)] += v.weights[slot] * (m[row] * v.position[0] + m[4 + row] * v.position[1] +
                                                                  m[8 + row] * v.position[2] + m[12 + row]);
        }
        positions.push_back(p);
    }
    return positions;
}

} // namespace importtest
