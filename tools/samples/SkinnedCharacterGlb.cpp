// The skinned sample character written through the glTF library: one
// buffer, one skin over all meshes, a material with an embedded PNG per mesh.
#include "tools/samples/SkinnedCharacter.h"

#include "tools/writers/ImageWriters.h"

#include <algorithm>
#include <limits>
#include <sstream>
#include <stdexcept>

#include <tiny_gltf.h>

namespace samples {

namespace {

// Column-major 4 x 4 matrices, as glTF stores them.
using Mat4 = std::array<double, 16>;

Mat4 operator*(const Mat4& a, const Mat4& b)
{
    Mat4 m{};
    for (size_t c = 0; c < 4; ++c)
        for (size_t r = 0; r < 4; ++r)
            for (size_t k = 0; k < 4; ++k)
                m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return m;
}

// The inverse of a node's local transform T * R * S: S^-1 * R^T * T^-1.
Mat4 inverseLocal(const SkinnedNode& node)
{
    const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
    // Rows of R, which are the columns of R^T.
    const std::array<std::array<double, 3>, 3> rows{
        {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
         {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
         {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}}};
    Mat4 m{};
    m[15] = 1;
    for (size_t c = 0; c < 3; ++c)
        for (size_t r = 0; r < 3; ++r)
            m[c * 4 + r] = rows[c][r] / node.scale[r];
    for (size_t r = 0; r < 3; ++r)
        for (size_t c = 0; c < 3; ++c)
            m[12 + r] -= m[c * 4 + r] * node.translation[c];
    return m;
}

// The one buffer of the file and the views and accessors over it.
class GlbBuffer {
public:
    explicit GlbBuffer(tinygltf::Model& model) : model_(model) { model_.buffers.emplace_back(); }

    int view(const void* data, size_t size, int target)
    {
        std::vector<unsigned char>& bytes = model_.buffers[0].data;
        bytes.resize((bytes.size() + 3) / 4 * 4); // every component type's alignment
        tinygltf::BufferView made;
        made.buffer = 0;
        made.byteOffset = bytes.size();
        made.byteLength = size;
        made.target = target;
        const auto* from = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), from, from + size);
        model_.bufferViews.push_back(made);
        return static_cast<int>(model_.bufferViews.size()) - 1;
    }

    // An accessor over values in a view of their own, width numbers to an
    // element; floats get their bounds when asked (positions, key times).
    template <class T>
    int accessor(const std::vector<T>& values, int componentType, int type, size_t width, int target,
                 bool bounds = false)
    {
        tinygltf::Accessor made;
        made.bufferView = view(values.data(), values.size() * sizeof(T), target);
        made.componentType = componentType;
        made.type = type;
        made.count = values.size() / width;
        if (bounds) {
            made.minValues.assign(width, std::numeric_limits<double>::max());
            made.maxValues.assign(width, std::numeric_limits<double>::lowest());
            for (size_t i = 0; i < values.size(); ++i) {
                made.minValues[i % width] = std::min(made.minValues[i % width], static_cast<double>(values[i]));
                made.maxValues[i % width] = std::max(made.maxValues[i % width], static_cast<double>(values[i]));
            }
        }
        model_.accessors.push_back(made);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

private:
    tinygltf::Model& model_;
};

int nodeIndex(const SkinnedCharacter& character, const std::string& name)
{
    for (size_t i = 0; i < character.nodes.size(); ++i)
        if (character.nodes[i].name == name)
            return static_cast<int>(i);
    throw std::runtime_error("an animation channel names no node: " + name);
}

void addNodes(tinygltf::Model& model, const SkinnedCharacter& character)
{
    tinygltf::Scene scene;
    for (size_t i = 0; i < character.nodes.size(); ++i) {
        const SkinnedNode& node = character.nodes[i];
        tinygltf::Node made;
        made.name = node.name;
        // Like the modelling tools, only what differs from the identity.
        if (node.translation != Float3{0, 0, 0})
            made.translation.assign(node.translation.begin(), node.translation.end());
        if (node.rotation != Float4{0, 0, 0, 1})
            made.rotation.assign(node.rotation.begin(), node.rotation.end());
        if (node.scale != Float3{1, 1, 1})
            made.scale.assign(node.scale.begin(), node.scale.end());
        if (node.mesh >= 0) {
            made.mesh = node.mesh;
            made.skin = 0;
        }
        model.nodes.push_back(made);
        if (node.parent >= 0)
            model.nodes[static_cast<size_t>(node.parent)].children.push_back(static_cast<int>(i));
        else
            scene.nodes.push_back(static_cast<int>(i));
    }
    model.scenes.push_back(scene);
    model.defaultScene = 0;
}

void addSkin(tinygltf::Model& model, GlbBuffer& buffer, const SkinnedCharacter& character)
{
    tinygltf::Skin skin;
    skin.name = kSkinnedArmature;
    std::vector<float> inverseBinds;
    for (const int joint : character.joints) {
        Mat4 inverse{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        for (int n = joint; n >= 0; n = character.nodes[static_cast<size_t>(n)].parent)
            inverse = inverse * inverseLocal(character.nodes[static_cast<size_t>(n)]);
        inverseBinds.insert(inverseBinds.end(), inverse.begin(), inverse.end());
        skin.joints.push_back(joint);
    }
    skin.inverseBindMatrices =
        buffer.accessor(inverseBinds, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT4, 16, 0);
    model.skins.push_back(skin);
}

// A checked image of the colour and a lighter shade, so that the texture
// coordinates show.
std::vector<uint8_t> checkedPng(const std::array<uint8_t, 3>& colour)
{
    constexpr int kSide = 16, kCell = 4;
    writers::Image image(kSide, kSide, 3);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            for (size_t c = 0; c < 3; ++c)
                image.at(x, y)[c] =
                    (x / kCell + y / kCell) % 2 ? colour[c] : static_cast<uint8_t>((colour[c] + 255) / 2);
    const std::string png = writers::encodePng(image, platform::PngColorType::Rgb);
    return {png.begin(), png.end()};
}

void addMesh(tinygltf::Model& model, GlbBuffer& buffer, const SkinnedMesh& mesh)
{
    std::vector<float> positions, normals, uvs, weights;
    std::vector<uint8_t> joints;
    for (const SkinnedVertex& v : mesh.vertices) {
        positions.insert(positions.end(), v.position.begin(), v.position.end());
        normals.insert(normals.end(), v.normal.begin(), v.normal.end());
        uvs.insert(uvs.end(), v.uv.begin(), v.uv.end());
        joints.insert(joints.end(), v.joints.begin(), v.joints.end());
        weights.insert(weights.end(), v.weights.begin(), v.weights.end());
    }
    constexpr int kFloat = TINYGLTF_COMPONENT_TYPE_FLOAT, kVertices = TINYGLTF_TARGET_ARRAY_BUFFER;
    tinygltf::Primitive primitive;
    primitive.attributes["POSITION"] = buffer.accessor(positions, kFloat, TINYGLTF_TYPE_VEC3, 3, kVertices, true);
    primitive.attributes["NORMAL"] = buffer.accessor(normals, kFloat, TINYGLTF_TYPE_VEC3, 3, kVertices);
    primitive.attributes["TEXCOORD_0"] = buffer.accessor(uvs, kFloat, TINYGLTF_TYPE_VEC2, 2, kVertices);
    primitive.attributes["JOINTS_0"] =
        buffer.accessor(joints, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_TYPE_VEC4, 4, kVertices);
    primitive.attributes["WEIGHTS_0"] = buffer.accessor(weights, kFloat, TINYGLTF_TYPE_VEC4, 4, kVertices);
    primitive.indices = buffer.accessor(mesh.triangles, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, TINYGLTF_TYPE_SCALAR,
                                        1, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.material = static_cast<int>(model.materials.size());
    tinygltf::Mesh made;
    made.name = mesh.name;
    made.primitives.push_back(primitive);
    model.meshes.push_back(made);

    const std::vector<uint8_t> png = checkedPng(mesh.colour);
    tinygltf::Image image;
    image.name = mesh.material;
    image.mimeType = "image/png";
    image.bufferView = buffer.view(png.data(), png.size(), 0);
    model.images.push_back(image);
    tinygltf::Texture texture;
    texture.source = static_cast<int>(model.images.size()) - 1;
    texture.sampler = 0;
    model.textures.push_back(texture);
    tinygltf::Material material;
    material.name = mesh.material;
    material.pbrMetallicRoughness.metallicFactor = 0.0;
    material.pbrMetallicRoughness.roughnessFactor = 0.8;
    material.pbrMetallicRoughness.baseColorTexture.index = static_cast<int>(model.textures.size()) - 1;
    model.materials.push_back(material);
}

void addAnimation(tinygltf::Model& model, GlbBuffer& buffer, const SkinnedCharacter& character,
                  const SkinnedAnimation& animation)
{
    tinygltf::Animation made;
    made.name = animation.name;
    for (const SkinnedChannel& channel : animation.channels) {
        const bool rotation = channel.path == "rotation";
        tinygltf::AnimationSampler sampler;
        sampler.input = buffer.accessor(channel.times, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, 1, 0, true);
        sampler.output = buffer.accessor(channel.values, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                         rotation ? TINYGLTF_TYPE_VEC4 : TINYGLTF_TYPE_VEC3, rotation ? 4 : 3, 0);
        sampler.interpolation = channel.interpolation;
        made.samplers.push_back(sampler);
        tinygltf::AnimationChannel target;
        target.sampler = static_cast<int>(made.samplers.size()) - 1;
        target.target_node = nodeIndex(character, channel.node);
        target.target_path = channel.path;
        made.channels.push_back(target);
    }
    model.animations.push_back(made);
}

} // namespace

std::string SkinnedCharacterGlb(const SkinnedCharacter& character)
{
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "make_sample_models";
    GlbBuffer buffer(model);
    addNodes(model, character);
    addSkin(model, buffer, character);
    tinygltf::Sampler sampler;
    sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
    sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
    model.samplers.push_back(sampler);
    for (const SkinnedMesh& mesh : character.meshes)
        addMesh(model, buffer, mesh);
    for (const SkinnedAnimation& animation : character.animations)
        addAnimation(model, buffer, character, animation);
    tinygltf::TinyGLTF writer;
    std::ostringstream out;
    if (!writer.WriteGltfSceneToStream(&model, out, false, true))
        throw std::runtime_error("the glTF library could not write the skinned character");
    return std::move(out).str();
}

} // namespace samples
