// This program's own export read back: every part from its nodes and the
// records the export keeps beside them (the MD3 header's name and flags,
// the frames' bounds, every frame of every tag, each surface's name, flags,
// shader records and the normals its stored directions do not give back),
// frames from the morph targets, the table from the root's copy of the
// animation file, skins from the variants, shaders from the definitions the
// materials carry.
#include "ImportLayouts.h"

#include "app/export/GltfConvert.h"
#include "game/GameAnimation.h"
#include "game/GameShader.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace gltfin {

namespace {

using platform::EConvertError;
using tinygltf::Value;

constexpr const char* kPartNodes[kPartCount] = {"legs", "torso", "head"};

template <size_t N> void putName(char (&field)[N], const std::string& name)
{
    std::memset(field, 0, N);
    std::memcpy(field, name.data(), std::min(name.size(), N - 1));
}

int intOf(const Value& v) { return v.IsNumber() ? static_cast<int>(v.GetNumberAsInt()) : 0; }

// An accessor of the file as whole numbers, checked to be count elements
// of width components.
std::vector<double> numbers(const GltfScene& scene, const Value& index, size_t count, size_t width, const char* what)
{
    size_t components = 0;
    const std::vector<double>& values = scene.Accessor(intOf(index), components);
    if (components != width || values.size() != count * width)
        throw EConvertError(std::string("the file's ") + what + " do not match the part they belong to");
    return values;
}

class OwnReader {
public:
    OwnReader(const GltfScene& scene, const std::string& name) : scene_(scene), model_(scene.Model()), name_(name) {}
    ImportedCharacter Read();

private:
    int findPart(ImportedPart part) const;
    void readPart(ImportedPart part, int node);
    void readTags(TMD3Model& md3, const std::vector<int>& tagNodes, size_t frames);
    TMesh surfaceRecord(const Value& extras) const;
    TMesh readSurface(ImportedPart part, const tinygltf::Primitive& primitive, size_t frames);
    void readAnimationFile(const Value& root);
    void readShaders();
    void keepImage(const std::string& path, int image);
    void keepDefinition(const std::string& shader, const Value& carried);
    std::string moved(const std::string& path) const { return MovedPath(path, from_, name_); }

    const GltfScene& scene_;
    const tinygltf::Model& model_;
    std::string name_, from_;
    ImportedCharacter character_;
    std::vector<SurfaceSource> surfaces_;
};

int OwnReader::findPart(ImportedPart part) const
{
    for (size_t n = 0; n < model_.nodes.size(); ++n)
        if (model_.nodes[n].name == kPartNodes[part] && model_.nodes[n].extras.Has("md3"))
            return static_cast<int>(n);
    return -1;
}

ImportedCharacter OwnReader::Read()
{
    const tinygltf::Node* root = nullptr;
    for (size_t n = 0; n < model_.nodes.size() && !root; ++n)
        if (model_.nodes[n].extras.Has("animationFile"))
            root = &model_.nodes[n];
    from_ = root ? root->name : name_;
    for (int part = 0; part < kPartCount; ++part) {
        const int node = findPart(static_cast<ImportedPart>(part));
        if (node < 0)
            throw EConvertError(std::string("the file has no node '") + kPartNodes[part] + "' of its export");
        readPart(static_cast<ImportedPart>(part), node);
    }
    if (root)
        readAnimationFile(root->extras.Get("animationFile"));
    // The images and definitions the character's names read beyond its materials'.
    if (root && root->extras.Get("images").IsObject())
        for (const std::string& path : root->extras.Get("images").Keys())
            keepImage(path, intOf(root->extras.Get("images").Get(path)));
    if (root && root->extras.Get("definitions").IsObject())
        for (const std::string& shader : root->extras.Get("definitions").Keys())
            keepDefinition(moved(shader), root->extras.Get("definitions").Get(shader));
    readShaders();
    return std::move(character_);
}

void OwnReader::readPart(ImportedPart part, int node)
{
    TMD3Model& md3 = character_.parts[part];
    const tinygltf::Node& partNode = model_.nodes[static_cast<size_t>(node)];
    const Value& records = partNode.extras.Get("md3");
    std::memcpy(md3.Header.Ident, "IDP3", 4);
    md3.Header.Version = kMD3Version;
    putName(md3.Header.Name, records.Get("name").IsString() ? moved(records.Get("name").Get<std::string>()) : "");
    md3.Header.Flags = intOf(records.Get("flags"));
    const Value& frames = records.Get("frames");
    const size_t frameCount = frames.IsArray() ? frames.ArrayLen() : 0;
    md3.Frames.resize(frameCount);
    for (size_t f = 0; f < frameCount; ++f) {
        float bounds[10] = {};
        const Value& values = frames.Get(static_cast<int>(f)).Get("bounds");
        for (size_t i = 0; i < 10 && values.IsArray() && i < values.ArrayLen(); ++i)
            bounds[i] = static_cast<float>(values.Get(static_cast<int>(i)).GetNumberAsDouble());
        std::memset(md3.Frames[f].Data, 0, sizeof md3.Frames[f].Data);
        std::memcpy(md3.Frames[f].Data, bounds, sizeof bounds);
        const Value& frameName = frames.Get(static_cast<int>(f)).Get("name");
        const std::string text = frameName.IsString() ? frameName.Get<std::string>() : "";
        std::memcpy(md3.Frames[f].Data + sizeof bounds, text.data(), std::min<size_t>(text.size(), 15));
    }
    std::vector<int> tagNodes;
    int meshNode = -1;
    for (const int child : partNode.children) {
        const tinygltf::Node& c = model_.nodes[static_cast<size_t>(child)];
        if (c.mesh >= 0 && static_cast<size_t>(c.mesh) < model_.meshes.size() && meshNode < 0)
            meshNode = child;
        else if (c.extras.Has("origins"))
            tagNodes.push_back(child);
    }
    readTags(md3, tagNodes, frameCount);
    if (meshNode >= 0) {
        const tinygltf::Mesh& mesh = model_.meshes[static_cast<size_t>(model_.nodes[static_cast<size_t>(meshNode)].mesh)];
        for (const tinygltf::Primitive& primitive : mesh.primitives)
            md3.Meshes.push_back(readSurface(part, primitive, frameCount));
    }
    // Surfaces without a primitive, back in their places.
    const Value& empty = records.Get("emptySurfaces");
    for (size_t i = 0; empty.IsArray() && i < empty.ArrayLen(); ++i) {
        const Value& record = empty.Get(static_cast<int>(i));
        const size_t at = std::min(static_cast<size_t>(std::max(0, intOf(record.Get("at")))), md3.Meshes.size());
        md3.Meshes.insert(md3.Meshes.begin() + static_cast<ptrdiff_t>(at), surfaceRecord(record));
    }
    md3.Header.NumFrames = static_cast<int32_t>(frameCount);
    md3.Header.NumTags = static_cast<int32_t>(tagNodes.size());
    md3.Header.NumSurfaces = static_cast<int32_t>(md3.Meshes.size());
    md3.Links.assign(tagNodes.size(), nullptr);
}

void OwnReader::readTags(TMD3Model& md3, const std::vector<int>& tagNodes, size_t frames)
{
    if (frames * tagNodes.size() > kMostVertexRecords)
        throw EConvertError("a part claims more tags than an MD3 file can hold");
    md3.Tags.resize(frames * tagNodes.size());
    for (size_t i = 0; i < tagNodes.size(); ++i) {
        const tinygltf::Node& node = model_.nodes[static_cast<size_t>(tagNodes[i])];
        const std::vector<double> origins = numbers(scene_, node.extras.Get("origins"), frames, 3, "tag frames");
        const std::vector<double> axes = numbers(scene_, node.extras.Get("axes"), frames, 9, "tag frames");
        for (size_t f = 0; f < frames; ++f) {
            TMD3Tag& tag = md3.Tags[f * tagNodes.size() + i];
            putName(tag.Name, node.name);
            for (size_t c = 0; c < 3; ++c)
                tag.Origin[c] = static_cast<float>(origins[f * 3 + c]);
            for (size_t a = 0; a < 3; ++a)
                for (size_t c = 0; c < 3; ++c)
                    tag.Axis[a][c] = static_cast<float>(axes[f * 9 + a * 3 + c]);
        }
    }
}

// A surface's header and shader records from what the export keeps of them.
TMesh OwnReader::surfaceRecord(const Value& extras) const
{
    TMesh mesh;
    std::memcpy(mesh.Header.Ident, "IDP3", 4);
    putName(mesh.Header.Name, extras.Get("surface").IsString() ? extras.Get("surface").Get<std::string>() : "");
    mesh.Header.Flags = intOf(extras.Get("flags"));
    mesh.Header.NumFrames = intOf(extras.Get("frames"));
    const Value& shaders = extras.Get("shaders");
    for (size_t i = 0; shaders.IsArray() && i < shaders.ArrayLen(); ++i) {
        const Value& record = shaders.Get(static_cast<int>(i));
        char name[kMD3NameLength];
        const int32_t index = intOf(record.Get(1));
        putName(name, record.Get(0).IsString() ? moved(record.Get(0).Get<std::string>()) : "");
        TMD3Shader& made = mesh.Shaders.emplace_back();
        std::memcpy(made.Data, name, sizeof name);
        std::memcpy(made.Data + sizeof name, &index, sizeof index);
    }
    mesh.Header.NumShaders = static_cast<int32_t>(mesh.Shaders.size());
    return mesh;
}

TMesh OwnReader::readSurface(ImportedPart part, const tinygltf::Primitive& primitive, size_t frames)
{
    const Value& extras = primitive.extras;
    TMesh mesh = surfaceRecord(extras);
    const std::string surface = MD3Name(mesh.Header.Name);
    const auto attribute = [&](const std::map<std::string, int>& attributes, const char* name) {
        const auto found = attributes.find(name);
        if (found == attributes.end())
            throw EConvertError("surface '" + surface + "' has no " + name);
        return found->second;
    };
    size_t width = 0;
    const std::vector<double>& positions = scene_.Accessor(attribute(primitive.attributes, "POSITION"), width);
    const size_t count = positions.size() / 3;
    const std::vector<double> normals = numbers(scene_, Value(attribute(primitive.attributes, "NORMAL")), count, 3, "normals");
    const std::vector<double> st = numbers(scene_, Value(attribute(primitive.attributes, "TEXCOORD_0")), count, 2,
                                           "texture coordinates");
    const std::vector<double>& indices = scene_.Accessor(primitive.indices, width);
    if (primitive.targets.size() != frames || indices.size() % 3 != 0)
        throw EConvertError("surface '" + surface + "' has other frames than its part");
    for (size_t t = 0; t < indices.size(); t += 3) {
        TMD3Triangle& triangle = mesh.Triangles.emplace_back();
        // The export turned each triangle round; turned back.
        const double corners[3] = {indices[t], indices[t + 2], indices[t + 1]};
        for (size_t c = 0; c < 3; ++c) {
            if (!(corners[c] >= 0 && corners[c] < static_cast<double>(count)))
                throw EConvertError("surface '" + surface + "' has a triangle past its vertices");
            triangle.Index[c] = static_cast<int32_t>(corners[c]);
        }
    }
    mesh.TexCoords.resize(count);
    for (size_t v = 0; v < count; ++v)
        mesh.TexCoords[v] = {static_cast<float>(st[v * 2]), static_cast<float>(st[v * 2 + 1])};
    if (frames * count > kMostVertexRecords)
        throw EConvertError("surface '" + surface + "' claims more vertex records than an MD3 file can hold");
    mesh.Vertices.resize(frames * count);
    for (size_t f = 0; f < frames; ++f) {
        const std::vector<double> moves = numbers(scene_, Value(attribute(primitive.targets[f], "POSITION")), count, 3,
                                                  "frames");
        const std::vector<double> turns = numbers(scene_, Value(attribute(primitive.targets[f], "NORMAL")), count, 3,
                                                  "frames");
        for (size_t v = 0; v < count; ++v) {
            TMD3Vertex& vertex = mesh.Vertices[f * count + v];
            const auto p = gltf::FromGltf(positions[v * 3] + moves[v * 3], positions[v * 3 + 1] + moves[v * 3 + 1],
                                          positions[v * 3 + 2] + moves[v * 3 + 2]);
            for (size_t c = 0; c < 3; ++c)
                vertex.Position[c] = static_cast<int16_t>(std::clamp<double>(std::lrint(p[c]), INT16_MIN, INT16_MAX));
            // The base normal as its shorts, as the export stored it.
            std::array<int16_t, 4> base{};
            for (size_t c = 0; c < 3; ++c)
                base[c] = static_cast<int16_t>(std::lrint(normals[v * 3 + c] * gltf::kShortNormal));
            const auto code = gltf::NormalCodeOf(
                gltf::StoredNormal(base, {turns[v * 3], turns[v * 3 + 1], turns[v * 3 + 2]}));
            vertex.Normal[0] = code[0];
            vertex.Normal[1] = code[1];
        }
    }
    if (extras.Has("normalCodes")) {
        size_t two = 0;
        const auto [listed, codes] = scene_.SparseListing(intOf(extras.Get("normalCodes")), two);
        if (two != 2)
            throw EConvertError("surface '" + surface + "' has normals the file cannot hold");
        for (size_t k = 0; k < listed.size(); ++k) {
            if (listed[k] >= mesh.Vertices.size())
                throw EConvertError("surface '" + surface + "' has normals past its vertices");
            mesh.Vertices[listed[k]].Normal[0] = static_cast<uint8_t>(codes[k * 2]);
            mesh.Vertices[listed[k]].Normal[1] = static_cast<uint8_t>(codes[k * 2 + 1]);
        }
    }
    mesh.Header.NumFrames = static_cast<int32_t>(frames);
    mesh.Header.NumShaders = static_cast<int32_t>(mesh.Shaders.size());
    mesh.Header.NumVerts = static_cast<int32_t>(count);
    mesh.Header.NumTriangles = static_cast<int32_t>(mesh.Triangles.size());
    surfaces_.push_back({part, surface, &primitive});
    return mesh;
}

void OwnReader::readAnimationFile(const Value& table)
{
    std::vector<AnimationKeyword> keywords;
    const Value& lines = table.Get("keywords");
    for (size_t i = 0; lines.IsArray() && i < lines.ArrayLen(); ++i) {
        const Value& line = lines.Get(static_cast<int>(i));
        AnimationKeyword& keyword = keywords.emplace_back();
        for (size_t k = 0; line.IsArray() && k < line.ArrayLen(); ++k) {
            const std::string word = line.Get(static_cast<int>(k)).IsString() ? line.Get(static_cast<int>(k)).Get<std::string>() : "";
            if (k == 0)
                keyword.keyword = word;
            else
                keyword.values.push_back(word);
        }
    }
    std::vector<GameAnimationEntry> entries;
    const Value& rows = table.Get("entries");
    for (size_t i = 0; rows.IsArray() && i < rows.ArrayLen() && i < kGameAnimationsRead; ++i) {
        const Value& row = rows.Get(static_cast<int>(i));
        GameAnimationEntry& e = entries.emplace_back();
        e.FirstFrame = intOf(row.Get(0));
        const int64_t count = intOf(row.Get(1));
        e.Reversed = count < 0;
        e.FrameCount = static_cast<int32_t>(count < 0 ? -count : count);
        e.LoopingFrames = intOf(row.Get(2));
        e.FrameLerpMs = intOf(row.Get(3));
    }
    character_.animationFile = GameAnimationText(keywords, entries);
}

void OwnReader::keepImage(const std::string& path, int image)
{
    auto [bytes, ext] = ImageBytes(scene_, image);
    if (!bytes.empty())
        character_.images[WithExtension(moved(path), ext)] = std::move(bytes);
}

// A definition the export carries (its text and the images of its stages).
void OwnReader::keepDefinition(const std::string& shader, const Value& carried)
{
    if (!carried.Get("shader").IsString())
        return;
    // One definition of a name, however its references spell it.
    character_.shaders[platform::LowerCase(StripExtension(shader))] =
        MovedText(carried.Get("shader").Get<std::string>(), from_, name_);
    const Value& stageImages = carried.Get("stageImages");
    if (stageImages.IsObject())
        for (const std::string& key : stageImages.Keys())
            keepImage(key, intOf(stageImages.Get(key)));
}

void OwnReader::readShaders()
{
    std::map<int, std::string> shaderOf;
    for (const SurfaceSource& s : surfaces_) {
        std::vector<int> materials{s.primitive->material};
        if (const auto found = s.primitive->extensions.find("KHR_materials_variants");
            found != s.primitive->extensions.end()) {
            const Value& mappings = found->second.Get("mappings");
            for (size_t m = 0; mappings.IsArray() && m < mappings.ArrayLen(); ++m)
                materials.push_back(intOf(mappings.Get(static_cast<int>(m)).Get("material")));
        }
        for (const int index : materials) {
            if (index < 0 || static_cast<size_t>(index) >= model_.materials.size() || shaderOf.count(index))
                continue;
            const tinygltf::Material& material = model_.materials[static_cast<size_t>(index)];
            // No shader, or the game's default one: no skin line.
            if (material.name == "(no shader)" || material.name == "<default>")
                continue;
            const std::string shader = moved(material.name);
            shaderOf[index] = shader;
            // A shader made of an image alone is named in skins as its image.
            const int base = material.pbrMetallicRoughness.baseColorTexture.index;
            if (!material.extras.Has("shader") && base >= 0 && static_cast<size_t>(base) < model_.textures.size()) {
                const int image = model_.textures[static_cast<size_t>(base)].source;
                if (image >= 0 && static_cast<size_t>(image) < model_.images.size()) {
                    const std::string asked = moved(model_.images[static_cast<size_t>(image)].name);
                    if (platform::SameText(WithExtension(asked, ""), shader))
                        shaderOf[index] = asked;
                }
            }
            keepDefinition(shader, material.extras);
            const int texture = material.pbrMetallicRoughness.baseColorTexture.index;
            if (texture >= 0 && static_cast<size_t>(texture) < model_.textures.size()) {
                const int image = model_.textures[static_cast<size_t>(texture)].source;
                if (image >= 0 && static_cast<size_t>(image) < model_.images.size() &&
                    model_.images[static_cast<size_t>(image)].name != "default")
                    keepImage(model_.images[static_cast<size_t>(image)].name, image);
            }
        }
    }
    character_.skins = SkinsOf(model_, surfaces_, shaderOf, character_.parts);
    for (ImportedCharacter::Skin& skin : character_.skins) {
        for (auto& [part, text] : skin.files)
            text = MovedText(text, from_, name_);
        // The game finds icons as Targa files alone.
        std::vector<uint8_t> icon = TargaOfPng(ImageBytes(scene_, skin.iconImage).first);
        if (!icon.empty() && !skin.iconPath.empty())
            character_.images[WithExtension(moved(skin.iconPath), ".tga")] = std::move(icon);
    }
}

} // namespace

bool IsOwnLayout(const GltfScene& scene)
{
    if (scene.Model().asset.generator != "Quillmo")
        return false;
    for (const tinygltf::Node& node : scene.Model().nodes)
        if (node.extras.Has("md3"))
            return true;
    return false;
}

ImportedCharacter ReadOwnLayout(const GltfScene& scene, const std::string& name)
{
    return OwnReader(scene, name).Read();
}

} // namespace gltfin
