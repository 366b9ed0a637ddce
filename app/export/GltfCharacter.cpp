// The character as one glTF file: the scene of its parts hung on their tags,
// each with its mesh, then its skins, its animations and the pools of sparse
// data, written through the glTF library.
#include "GltfExport.h"

#include "GltfAnimations.h"
#include "GltfBuffers.h"
#include "GltfConvert.h"
#include "GltfMaterials.h"
#include "GltfMeshes.h"
#include "GltfSkins.h"

#include "game/GameSkin.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <cmath>
#include <cstring>
#include <set>
#include <sstream>

namespace {

constexpr const char* kQuantization = "KHR_mesh_quantization";
// The buffer holds about 12 bytes per vertex and frame; reserved at once,
// it is never copied while it grows.
constexpr size_t kReservedBytesPerVertex = 16;

std::string partName(const GamePlayer& player, const TMD3Model& part)
{
    if (&part == &player.Lower.model)
        return "legs";
    if (&part == &player.Upper.model)
        return "torso";
    if (&part == &player.Head.model)
        return "head";
    const std::string file = platform::ExtractFileName(part.FileName);
    return file.substr(0, file.rfind('.'));
}

class GltfBuilder {
public:
    explicit GltfBuilder(const CharacterExport& character)
        : character_(character), player_(*character.player), buffers_(model_), materials_(model_, buffers_, character.shaders)
    {
        model_.asset.version = "2.0";
        model_.asset.generator = "Quillmo";
        model_.extensionsUsed = {kQuantization};
        model_.extensionsRequired = {kQuantization};
    }

    tinygltf::Model Build();

private:
    size_t standingFrame(const TMD3Model& part, size_t frames) const;
    int addNode(tinygltf::Node node);
    tinygltf::Value tagRecords(const TMD3Model& part, size_t tag);
    tinygltf::Value partRecords(const TMD3Model& part) const;
    tinygltf::Value animationTable() const;
    void addNamedImages(tinygltf::Node& root);
    void addTagNodes(const TMD3Model& part, gltf::PartNodes& nodes, std::vector<int>& children);
    int addPart(const TMD3Model& part);

    const CharacterExport& character_;
    const GamePlayer& player_;
    tinygltf::Model model_;
    gltf::GltfBuffers buffers_;
    gltf::GltfMaterials materials_;
    std::map<const TMD3Model*, gltf::PartNodes> parts_;
    std::set<const TMD3Model*> path_;
    std::vector<gltf::PrimitiveSurface> surfaces_;
};

tinygltf::Model GltfBuilder::Build()
{
    size_t vertexRecords = 0;
    for (const GamePart* part : {&player_.Lower, &player_.Upper, &player_.Head})
        for (const TMesh& mesh : part->model.Meshes)
            vertexRecords += mesh.Vertices.size();
    buffers_.Reserve(vertexRecords * kReservedBytesPerVertex);
    tinygltf::Node root;
    root.name = gltf::Utf8Name(character_.name);
    root.extras = animationTable();
    root.scale = {kMetresPerGameUnit, kMetresPerGameUnit, kMetresPerGameUnit};
    const int legs = addPart(player_.Lower.model);
    root.children.push_back(legs);
    model_.nodes.push_back(root);
    tinygltf::Scene scene;
    scene.name = gltf::Utf8Name(character_.name);
    scene.nodes.push_back(static_cast<int>(model_.nodes.size()) - 1);
    model_.scenes.push_back(scene);
    model_.defaultScene = 0;
    gltf::AddVariants(model_, materials_, character_.skins, gltf::ShadersOfTree(player_.Lower), surfaces_);
    addNamedImages(model_.nodes.back());
    gltf::AddAnimations(model_, buffers_, player_, parts_);
    buffers_.AddPools();
    return std::move(model_);
}

// The frame of part in the standing pose (LEGS_IDLE, TORSO_STAND): the
// first of the standing entry that plays on it, else frame 0.
size_t GltfBuilder::standingFrame(const TMD3Model& part, size_t frames) const
{
    if (&part == &player_.Lower.model)
        return ClampFrame(player_.Animations[kLegsIdle].FirstFrame, frames);
    if (&part == &player_.Upper.model)
        return ClampFrame(player_.Animations[kTorsoStand].FirstFrame, frames);
    return 0;
}

int GltfBuilder::addNode(tinygltf::Node node)
{
    model_.nodes.push_back(std::move(node));
    return static_cast<int>(model_.nodes.size()) - 1;
}

// The animation file as the game read it: its keyword lines, and the
// entries it gives (the legs entries in the legs file's numbering, a
// backwards entry with a negative count, the period in milliseconds).
tinygltf::Value GltfBuilder::animationTable() const
{
    using tinygltf::Value;
    Value::Array keywords, entries;
    for (const AnimationKeyword& keyword : player_.Keywords) {
        Value::Array line{Value(gltf::Utf8Name(keyword.keyword))};
        for (const std::string& value : keyword.values)
            line.emplace_back(gltf::Utf8Name(value));
        keywords.emplace_back(std::move(line));
    }
    for (size_t k = 0; k < kGameAnimationsRead; ++k) {
        const GameAnimationEntry& entry = player_.Animations[k];
        entries.emplace_back(Value::Array{Value(static_cast<int>(entry.FirstFrame)),
                                          Value(static_cast<int>(entry.Reversed ? -static_cast<int64_t>(entry.FrameCount) : entry.FrameCount)),
                                          Value(static_cast<int>(entry.LoopingFrames)),
                                          Value(static_cast<int>(entry.FrameLerpMs))});
    }
    return Value(Value::Object{{"animationFile", Value(Value::Object{{"keywords", Value(std::move(keywords))},
                                                                     {"entries", Value(std::move(entries))}})}});
}

// The shaders and images the game reads for the names a character's files
// hold beyond what its materials show (the shader names of the models'
// surfaces, the skin lines of surfaces without a primitive), on the root by
// name, for a file read back.
void GltfBuilder::addNamedImages(tinygltf::Node& root)
{
    std::set<std::string> names;
    for (const GamePart* part : {&player_.Lower, &player_.Upper, &player_.Head})
        for (const TMesh& mesh : part->model.Meshes)
            for (const TMD3Shader& shader : mesh.Shaders) {
                char name[kMD3NameLength];
                std::memcpy(name, shader.Data, sizeof name);
                names.insert(MD3Name(name));
            }
    for (const SkinShaders& skin : character_.skins)
        for (const auto& [part, text] : skin.files)
            for (const GameSkinEntry& entry : ReadGameSkin(text).entries)
                names.insert(entry.shader);
    using tinygltf::Value;
    Value::Object images, definitions;
    for (const std::string& name : names) {
        if (name.empty())
            continue;
        // A script's definition wins over an image of the name, as in the game.
        if (Value definition = materials_.DefinitionOf(name); definition.IsObject())
            definitions.emplace(gltf::Utf8Name(name), std::move(definition));
        else if (const int image = materials_.ImageOf(name); image >= 0)
            images.emplace(gltf::Utf8Name(name), Value(image));
    }
    Value::Object extras = root.extras.Get<Value::Object>();
    if (!images.empty())
        extras.emplace("images", Value(std::move(images)));
    if (!definitions.empty())
        extras.emplace("definitions", Value(std::move(definitions)));
    root.extras = Value(std::move(extras));
}

// Every frame of a tag as the file holds it, origin and axes in the game's
// axes (the node shows one frame, the animations those they play).
tinygltf::Value GltfBuilder::tagRecords(const TMD3Model& part, size_t tag)
{
    const size_t tagsPerFrame = part.Links.size();
    std::vector<float> origins, axes;
    for (size_t at = tag; at < part.Tags.size(); at += tagsPerFrame) {
        const TMD3Tag& record = part.Tags[at];
        origins.insert(origins.end(), std::begin(record.Origin), std::end(record.Origin));
        for (const auto& axis : record.Axis)
            axes.insert(axes.end(), std::begin(axis), std::end(axis));
    }
    using tinygltf::Value;
    return Value(Value::Object{
        {"origins", Value(buffers_.AddVectors(origins, 3, 3, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, false,
                                              false, 0))},
        {"axes", Value(buffers_.AddVectors(axes, 9, 9, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_MAT3, false, false,
                                           0))}});
}

// What the part's MD3 header and frame records hold beyond the nodes:
// its name and flags, each frame's bounds, origin, radius and name.
tinygltf::Value GltfBuilder::partRecords(const TMD3Model& part) const
{
    using tinygltf::Value;
    Value::Array frames;
    for (const TMD3Frame& frame : part.Frames) {
        float numbers[10];
        char name[17] = {};
        std::memcpy(numbers, frame.Data, sizeof numbers);
        std::memcpy(name, frame.Data + sizeof numbers, 16);
        Value::Array values;
        for (const float n : numbers)
            values.emplace_back(std::isfinite(n) ? static_cast<double>(n) : 0.0);
        frames.emplace_back(Value::Object{{"bounds", Value(std::move(values))}, {"name", Value(gltf::Utf8Name(name))}});
    }
    // Surfaces without a primitive, with the place each has among the part's.
    Value::Array empty;
    for (size_t s = 0; s < part.Meshes.size(); ++s)
        if (gltf::HoldsNoPrimitive(part.Meshes[s])) {
            Value::Object record = gltf::SurfaceRecord(part.Meshes[s]).Get<Value::Object>();
            record.emplace("at", Value(static_cast<int>(s)));
            empty.emplace_back(std::move(record));
        }
    Value::Object records{{"name", Value(gltf::Utf8Name(MD3Name(part.Header.Name)))},
                          {"flags", Value(static_cast<int>(part.Header.Flags))},
                          {"frames", Value(std::move(frames))}};
    if (!empty.empty())
        records.emplace("emptySurfaces", Value(std::move(empty)));
    return Value(Value::Object{{"md3", Value(std::move(records))}});
}

// A node per tag of part, placed as in the standing pose, and under each
// the part hung on it.
void GltfBuilder::addTagNodes(const TMD3Model& part, gltf::PartNodes& nodes, std::vector<int>& children)
{
    const size_t tagsPerFrame = part.Links.size();
    const size_t tagFrames = tagsPerFrame == 0 ? 0 : part.Tags.size() / tagsPerFrame;
    if (tagFrames == 0)
        return;
    const size_t frame = standingFrame(part, tagFrames);
    for (size_t i = 0; i < tagsPerFrame; ++i) {
        tinygltf::Node tagNode;
        const TMD3Tag& tag = part.Tags[frame * tagsPerFrame + i];
        tagNode.name = gltf::Utf8Name(MD3Name(tag.Name));
        const gltf::Vec3 t = gltf::TagTranslation(tag);
        const gltf::Quat q = gltf::TagRotation(tag);
        tagNode.translation.assign(t.begin(), t.end());
        tagNode.rotation.assign(q.begin(), q.end());
        tagNode.extras = tagRecords(part, i);
        const int index = addNode(std::move(tagNode));
        nodes.tags.push_back(index);
        children.push_back(index);
        if (part.Links[i]) {
            const int child = addPart(*part.Links[i]);
            if (child >= 0)
                model_.nodes[static_cast<size_t>(index)].children.push_back(child);
        }
    }
}

// The node of part, its mesh's and its tags' nodes, and below them the
// parts hung on its tags.
int GltfBuilder::addPart(const TMD3Model& part)
{
    if (!path_.insert(&part).second)
        return -1; // a part hung below itself is not followed round again
    gltf::PartNodes nodes;
    const std::string name = partName(player_, part);
    nodes.frames = std::max<size_t>(1, part.Frames.size());
    nodes.part = addNode({});
    model_.nodes[static_cast<size_t>(nodes.part)].name = name;
    model_.nodes[static_cast<size_t>(nodes.part)].extras = partRecords(part);
    std::vector<int> children;
    const int mesh = gltf::AddPartMesh(model_, buffers_, part, nodes.frames, standingFrame(part, nodes.frames), name,
                                       surfaces_);
    if (mesh >= 0) {
        tinygltf::Node meshNode;
        meshNode.name = name + " mesh";
        meshNode.mesh = mesh;
        meshNode.scale = {kMD3XyzScale, kMD3XyzScale, kMD3XyzScale};
        nodes.mesh = addNode(std::move(meshNode));
        children.push_back(nodes.mesh);
    }
    addTagNodes(part, nodes, children);
    model_.nodes[static_cast<size_t>(nodes.part)].children = children;
    parts_[&part] = nodes;
    path_.erase(&part);
    return nodes.part;
}

} // namespace

std::string CharacterGltf(const CharacterExport& character, bool binary)
{
    const tinygltf::Model model = GltfBuilder(character).Build();
    tinygltf::TinyGLTF writer;
    std::ostringstream out;
    if (!writer.WriteGltfSceneToStream(&model, out, !binary, binary))
        throw platform::EInOutError("the glTF library could not write " + character.name);
    return std::move(out).str();
}
