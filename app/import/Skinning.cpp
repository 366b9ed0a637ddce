// A primitive where a pose puts it: its morph targets weighted as the pose
// says, then bound to its skin's joints (each vertex moved by the weighted
// sum of its joints' matrices) or placed by its node.
#include "GltfScene.h"

#include "platform/system/Errors.h"

#include <algorithm>
#include <cmath>

namespace gltfin {

namespace {

// The attribute's accessor of a primitive or a target, -1 without one.
int attributeOf(const std::map<std::string, int>& attributes, const char* name)
{
    const auto found = attributes.find(name);
    return found == attributes.end() ? -1 : found->second;
}

// The vectors of a 3-component attribute, count of them.
std::vector<Vec3> vectorsOf(const GltfScene& scene, int accessor, size_t count, const char* what)
{
    std::vector<Vec3> out(count, Vec3{0, 0, 0});
    if (accessor < 0)
        return out;
    size_t width = 0;
    const std::vector<double>& values = scene.Accessor(accessor, width);
    if (width != 3 || values.size() != count * 3)
        throw platform::EConvertError(std::string("a primitive's ") + what + " does not match its positions");
    for (size_t i = 0; i < count; ++i)
        out[i] = {values[i * 3], values[i * 3 + 1], values[i * 3 + 2]};
    return out;
}

} // namespace

GltfScene::Posed GltfScene::PosePrimitive(int node, size_t primitive, const std::vector<NodePose>& poses,
                                          const std::vector<Mat4>& world) const
{
    const tinygltf::Node& n = model_.nodes[static_cast<size_t>(node)];
    const tinygltf::Primitive& p = model_.meshes[static_cast<size_t>(n.mesh)].primitives[primitive];
    const int position = attributeOf(p.attributes, "POSITION");
    if (position < 0)
        throw platform::EConvertError("a primitive of node '" + n.name + "' has no positions");
    size_t width = 0;
    const size_t count = Accessor(position, width).size() / 3;
    Posed posed;
    posed.positions = vectorsOf(*this, position, count, "positions");
    posed.normals = vectorsOf(*this, attributeOf(p.attributes, "NORMAL"), count, "normals");
    // Morph targets, weighted.
    const std::vector<double>& weights = poses[static_cast<size_t>(node)].weights;
    for (size_t t = 0; t < p.targets.size() && t < weights.size(); ++t) {
        if (weights[t] == 0)
            continue;
        const std::vector<Vec3> moves = vectorsOf(*this, attributeOf(p.targets[t], "POSITION"), count, "target");
        const std::vector<Vec3> turns = vectorsOf(*this, attributeOf(p.targets[t], "NORMAL"), count, "target");
        for (size_t v = 0; v < count; ++v)
            for (size_t c = 0; c < 3; ++c) {
                posed.positions[v][c] += weights[t] * moves[v][c];
                posed.normals[v][c] += weights[t] * turns[v][c];
            }
    }
    const int joints = attributeOf(p.attributes, "JOINTS_0"), jointWeights = attributeOf(p.attributes, "WEIGHTS_0");
    const bool skinned = n.skin >= 0 && static_cast<size_t>(n.skin) < model_.skins.size() && joints >= 0 &&
                         jointWeights >= 0;
    if (!skinned) {
        const Mat4& m = world[static_cast<size_t>(node)];
        for (size_t v = 0; v < count; ++v) {
            posed.positions[v] = TransformPoint(m, posed.positions[v]);
            posed.normals[v] = TransformDirection(m, posed.normals[v]);
        }
        return posed;
    }
    // Each joint's matrix: where it is now times the inverse of where it was bound.
    const tinygltf::Skin& skin = model_.skins[static_cast<size_t>(n.skin)];
    std::vector<Mat4> jointMatrices(skin.joints.size(), Identity());
    std::vector<double> inverseBinds;
    if (skin.inverseBindMatrices >= 0) {
        size_t sixteen = 0;
        inverseBinds = Accessor(skin.inverseBindMatrices, sixteen);
        if (sixteen != 16 || inverseBinds.size() < skin.joints.size() * 16)
            throw platform::EConvertError("skin '" + skin.name + "' has fewer inverse bind matrices than joints");
    }
    for (size_t j = 0; j < skin.joints.size(); ++j) {
        const int joint = skin.joints[j];
        if (joint < 0 || static_cast<size_t>(joint) >= world.size())
            throw platform::EConvertError("skin '" + skin.name + "' names a joint the file does not have");
        Mat4 inverseBind = Identity();
        if (!inverseBinds.empty())
            std::copy_n(inverseBinds.begin() + static_cast<ptrdiff_t>(j * 16), 16, inverseBind.begin());
        jointMatrices[j] = Multiply(world[static_cast<size_t>(joint)], inverseBind);
    }
    size_t four = 0, fourWeights = 0;
    const std::vector<double>& jointIndices = Accessor(joints, four);
    const std::vector<double>& jointWeight = Accessor(jointWeights, fourWeights);
    if (four != 4 || fourWeights != 4 || jointIndices.size() != count * 4 || jointWeight.size() != count * 4)
        throw platform::EConvertError("a skinned primitive of node '" + n.name + "' has joints that do not match its positions");
    for (size_t v = 0; v < count; ++v) {
        Mat4 blended{};
        for (size_t k = 0; k < 4; ++k) {
            const double w = jointWeight[v * 4 + k];
            const double j = jointIndices[v * 4 + k];
            if (w == 0)
                continue;
            if (!(j >= 0 && j < static_cast<double>(jointMatrices.size())))
                throw platform::EConvertError("a vertex of node '" + n.name + "' is bound to a joint its skin lacks");
            const Mat4& m = jointMatrices[static_cast<size_t>(j)];
            for (size_t e = 0; e < 16; ++e)
                blended[e] += w * m[e];
        }
        posed.positions[v] = TransformPoint(blended, posed.positions[v]);
        posed.normals[v] = TransformDirection(blended, posed.normals[v]);
    }
    return posed;
}

} // namespace gltfin
