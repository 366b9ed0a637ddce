// A character from a file another tool wrote (Blender and the like): the
// parts found by the names makers give them, tags as empty nodes named
// tag_..., and each animation named as an entry of the game's table sampled
// at its rate and baked into vertex frames (morph targets weighted, skins
// bound), in the game's axes and units.
#include "ImportLayouts.h"
#include "PartBuilder.h"

#include "app/export/GltfConvert.h"
#include "app/export/GltfExport.h"
#include "game/GameAnimation.h"
#include "game/GamePart.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <set>

namespace gltfin {

namespace {

using platform::EConvertError;

// Timings on no grid of at most this many frames a second are sampled at
// the default rate.
constexpr double kMostGridRate = 60.0;
constexpr double kDefaultRate = 20.0;
constexpr int kMostFramesPerEntry = 1000;

// The entries the game's own characters loop over all their frames.
bool usuallyLoops(uint32_t k)
{
    // The standing torso, the walks, runs, backing and swimming, the idles and the turn.
    constexpr uint32_t kLegsSwim = kLegsWalkCrouched + 4;
    return k == kTorsoStand || k == kTorsoStand2 || (k >= kLegsWalkCrouched && k <= kLegsSwim) ||
           (k >= kLegsIdle && k <= kLegsTurn);
}

// A name as makers' tools leave it: lower case, without the ".001" a
// modelling tool puts after a name it already has.
std::string cleanName(const std::string& name)
{
    std::string out = platform::LowerCase(name);
    const size_t dot = out.rfind('.');
    if (dot != std::string::npos && out.size() - dot == 4 &&
        std::all_of(out.begin() + static_cast<ptrdiff_t>(dot) + 1, out.end(), [](char c) { return c >= '0' && c <= '9'; }))
        out.erase(dot);
    return out;
}

// The part a name gives: "lower", "legs" or "l_..." the legs; "upper",
// "torso" or "u_..." the torso; "head" or "h_..." the head (a word may be
// followed by a space, dot, dash or underscore and more).
std::optional<ImportedPart> partOfName(const std::string& name)
{
    const std::string n = cleanName(name);
    const auto word = [&](const char* w) {
        const size_t length = std::strlen(w);
        return n.compare(0, length, w) == 0 &&
               (n.size() == length || n[length] == ' ' || n[length] == '.' || n[length] == '-' || n[length] == '_');
    };
    if (word("lower") || word("legs") || n.starts_with("l_"))
        return kLegs;
    if (word("upper") || word("torso") || n.starts_with("u_"))
        return kTorso;
    if (word("head") || n.starts_with("h_"))
        return kHead;
    return std::nullopt;
}

// A matrix of glTF's scene (metres) as the game's frame: origin and axes in
// game units and axes. A tag node's X, Y and Z are the game's axes 1, 2 and 0.
std::array<Vec3, 4> gameFrame(const Mat4& m, bool tagAxes)
{
    const auto toGame = [](double x, double y, double z) { return gltf::FromGltf(x, y, z); };
    const double unit = 1.0 / kMetresPerGameUnit;
    Vec3 origin = toGame(m[12] * unit, m[13] * unit, m[14] * unit);
    const Vec3 x = toGame(m[0], m[1], m[2]), y = toGame(m[4], m[5], m[6]), z = toGame(m[8], m[9], m[10]);
    return tagAxes ? std::array<Vec3, 4>{origin, z, x, y} : std::array<Vec3, 4>{origin, x, y, z};
}

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// A point and a direction of the game's space in a tag's (orthonormal) frame.
struct Space {
    Vec3 origin{0, 0, 0};
    std::array<Vec3, 3> axes{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
    Vec3 point(const Vec3& p) const
    {
        const Vec3 d{p[0] - origin[0], p[1] - origin[1], p[2] - origin[2]};
        return {dot(d, axes[0]), dot(d, axes[1]), dot(d, axes[2])};
    }
    Vec3 direction(const Vec3& v) const { return {dot(v, axes[0]), dot(v, axes[1]), dot(v, axes[2])}; }
};

Space spaceOf(const std::array<Vec3, 4>& frame)
{
    Space s;
    s.origin = frame[0];
    s.axes = OrthonormalAxes({frame[1], frame[2], frame[3]});
    return s;
}

// When an entry is sampled: its rate and frame count.
struct Sampling {
    int animation = -1; // -1: the entry holds the rest pose for one frame
    double rate = kDefaultRate;
    int frames = 1;
};

class ToolReader {
public:
    ToolReader(const GltfScene& scene, const std::string& name) : scene_(scene), model_(scene.Model()), name_(name) {}
    ImportedCharacter Read();

private:
    std::optional<ImportedPart> partAbove(int node, std::string& onTag) const;
    void findNodes();
    void planEntries();
    Sampling samplingOf(int animation) const;
    // The frames of every part at one moment of an animation (-1: at rest).
    void bake(int animation, double seconds, bool legs, bool torso);
    BakedSurface surfaceOf(int node, size_t primitive, const std::string& name);
    void addShaders();
    std::string shaderNameOf(const tinygltf::Material& material, int index) const;

    const GltfScene& scene_;
    const tinygltf::Model& model_;
    std::string name_;
    ImportedCharacter character_;
    std::array<BakedPart, kPartCount> parts_;
    std::array<std::vector<std::pair<int, size_t>>, kPartCount> primitives_; // node, primitive
    std::array<std::vector<int>, kPartCount> tagNodes_;
    std::array<Sampling, kGameAnimationsRead> entries_{};
    size_t entryCount_ = kTorsoGetFlag;
    std::vector<GameAnimationEntry> table_;
    std::vector<SurfaceSource> surfaces_;
};

// The part of a node: its own name's, or the nearest ancestor's up to a tag
// (a node below tag_torso or tag_head is the torso's or the head's; one
// below another tag is none of the character's, and onTag names the tag).
std::optional<ImportedPart> ToolReader::partAbove(int node, std::string& onTag) const
{
    for (int at = node; at >= 0; at = scene_.Parent(at)) {
        const std::string& name = model_.nodes[static_cast<size_t>(at)].name;
        if (const std::optional<ImportedPart> part = partOfName(name))
            return part;
        const std::string clean = cleanName(name);
        if (at != node && clean.starts_with("tag_")) {
            if (clean == "tag_torso")
                return kTorso;
            if (clean == "tag_head")
                return kHead;
            onTag = clean;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void ToolReader::findNodes()
{
    std::set<std::string> tagNames[kPartCount];
    for (size_t n = 0; n < model_.nodes.size(); ++n) {
        const tinygltf::Node& node = model_.nodes[n];
        const std::string clean = cleanName(node.name);
        std::string onTag;
        std::optional<ImportedPart> part = partAbove(static_cast<int>(n), onTag);
        if (node.mesh >= 0 && static_cast<size_t>(node.mesh) < model_.meshes.size()) {
            if (!part && onTag.empty())
                part = partOfName(model_.meshes[static_cast<size_t>(node.mesh)].name);
            if (!part) {
                character_.notes.push_back(
                    "mesh node '" + node.name + "' " +
                    (onTag.empty() ? "belongs to no part (name it l_..., u_... or h_...)"
                                   : "hangs on " + onTag + " (a weapon or other model, not the character's)") +
                    "; left out");
                continue;
            }
            for (size_t p = 0; p < model_.meshes[static_cast<size_t>(node.mesh)].primitives.size(); ++p)
                primitives_[*part].emplace_back(static_cast<int>(n), p);
        } else if (clean.starts_with("tag_")) {
            // A tag hangs on the part it lies under, or where the game hangs parts on it.
            std::string aboveTag;
            const int parent = scene_.Parent(static_cast<int>(n));
            const std::optional<ImportedPart> owner = parent < 0 ? std::nullopt : partAbove(parent, aboveTag);
            if (!owner && !aboveTag.empty())
                continue; // a tag of what hangs on another tag (a weapon's barrel)
            const ImportedPart p = owner ? *owner : clean == "tag_torso" ? kLegs : clean == "tag_head" || clean == "tag_weapon" ? kTorso : kLegs;
            if (tagNames[p].insert(clean).second)
                tagNodes_[p].push_back(static_cast<int>(n));
        }
    }
    for (int p = 0; p < kPartCount; ++p)
        if (primitives_[p].empty())
            character_.refusals.push_back(std::string("no mesh of the ") + PartFileName(static_cast<ImportedPart>(p)) +
                                          " part (name its nodes as the README's naming rules say)");
}

Sampling ToolReader::samplingOf(int animation) const
{
    Sampling s;
    s.animation = animation;
    const tinygltf::Animation& a = model_.animations[static_cast<size_t>(animation)];
    std::set<double> times;
    for (const tinygltf::AnimationSampler& sampler : a.samplers) {
        size_t one = 0;
        for (const double t : scene_.Accessor(sampler.input, one))
            times.insert(std::round(t * 1e5) / 1e5);
    }
    const double duration = times.empty() ? 0 : *times.rbegin() - std::min(0.0, *times.begin());
    // The keys' grid: the longest step every key time is a whole number of.
    double gap = 0;
    for (auto it = times.begin(); it != times.end() && std::next(it) != times.end(); ++it)
        gap = gap == 0 ? *std::next(it) - *it : std::min(gap, *std::next(it) - *it);
    for (int divide = 1; gap > 0 && divide <= 64; ++divide) {
        const double step = gap / divide;
        if (1 / step > kMostGridRate)
            break;
        if (std::all_of(times.begin(), times.end(), [&](double t) {
                const double n = t / step;
                return std::abs(n - std::round(n)) < 1e-3;
            })) {
            s.rate = 1 / step;
            break;
        }
    }
    s.frames = static_cast<int>(std::clamp<double>(std::round(duration * s.rate), 1, kMostFramesPerEntry));
    return s;
}

void ToolReader::planEntries()
{
    std::set<int> used;
    for (size_t a = 0; a < model_.animations.size(); ++a) {
        const std::string name = platform::LowerCase(cleanName(model_.animations[a].name));
        bool matched = false;
        // The entries the game makes itself from others are its own to make.
        for (uint32_t k = kGameAnimationsRead; k < kGameAnimationCount && !matched; ++k)
            matched = name == platform::LowerCase(GameAnimationName(k));
        for (uint32_t k = 0; k < kGameAnimationsRead && !matched; ++k)
            if (name == platform::LowerCase(GameAnimationName(k)) && entries_[k].animation < 0) {
                entries_[k] = samplingOf(static_cast<int>(a));
                matched = true;
                if (k >= kTorsoGetFlag)
                    entryCount_ = kGameAnimationsRead;
            }
        if (!matched)
            character_.notes.push_back("animation '" + model_.animations[a].name +
                                       "' is not one of the game's entries (or repeats one); left out");
    }
    std::string missing;
    for (uint32_t k = 0; k < entryCount_; ++k)
        if (entries_[k].animation < 0)
            missing += std::string(missing.empty() ? "" : ", ") + GameAnimationName(k);
    if (!missing.empty())
        character_.notes.push_back("no animation for " + missing + "; each holds the rest pose for one frame");
}

BakedSurface ToolReader::surfaceOf(int node, size_t primitive, const std::string& name)
{
    const tinygltf::Primitive& p = model_.meshes[static_cast<size_t>(model_.nodes[static_cast<size_t>(node)].mesh)].primitives[primitive];
    BakedSurface s;
    s.name = name;
    size_t width = 0;
    const auto position = p.attributes.find("POSITION");
    if (position == p.attributes.end())
        throw EConvertError("mesh node '" + model_.nodes[static_cast<size_t>(node)].name + "' has a primitive without positions");
    const size_t count = scene_.Accessor(position->second, width).size() / 3;
    s.texCoords.assign(count, {0.0f, 0.0f});
    if (const auto st = p.attributes.find("TEXCOORD_0"); st != p.attributes.end()) {
        const std::vector<double>& values = scene_.Accessor(st->second, width);
        if (width == 2 && values.size() == count * 2)
            for (size_t v = 0; v < count; ++v)
                s.texCoords[v] = {static_cast<float>(values[v * 2]), static_cast<float>(values[v * 2 + 1])};
    }
    std::vector<double> indices;
    if (p.indices >= 0)
        indices = scene_.Accessor(p.indices, width);
    else
        for (size_t v = 0; v < count; ++v)
            indices.push_back(static_cast<double>(v));
    if (p.mode != -1 && p.mode != TINYGLTF_MODE_TRIANGLES) {
        character_.notes.push_back("surface '" + name + "' is not made of triangles; left out");
        return s;
    }
    for (size_t t = 0; t + 2 < indices.size(); t += 3) {
        std::array<uint32_t, 3> corners{};
        for (size_t c = 0; c < 3; ++c) {
            if (!(indices[t + c] >= 0 && indices[t + c] < static_cast<double>(count)))
                throw EConvertError("surface '" + name + "' has a triangle past its vertices");
            corners[c] = static_cast<uint32_t>(indices[t + c]);
        }
        // glTF's triangles turn the other way round from the game's.
        s.triangles.push_back({corners[0], corners[2], corners[1]});
    }
    return s;
}

void ToolReader::bake(int animation, double seconds, bool legs, bool torso)
{
    std::vector<NodePose> poses = scene_.RestPoses();
    if (animation >= 0)
        scene_.Pose(model_.animations[static_cast<size_t>(animation)], seconds, poses);
    const std::vector<Mat4> world = scene_.WorldMatrices(poses);
    // Each part's space: the legs' is the scene's; the torso hangs on the
    // legs' tag_torso, the head on the torso's tag_head.
    const auto tagFrame = [&](ImportedPart part, const char* tag) -> std::optional<std::array<Vec3, 4>> {
        for (const int node : tagNodes_[part])
            if (cleanName(model_.nodes[static_cast<size_t>(node)].name) == tag)
                return gameFrame(world[static_cast<size_t>(node)], true);
        return std::nullopt;
    };
    std::array<Space, kPartCount> spaces;
    if (const auto frame = tagFrame(kLegs, "tag_torso"))
        spaces[kTorso] = spaceOf(*frame);
    if (const auto frame = tagFrame(kTorso, "tag_head"))
        spaces[kHead] = spaceOf(*frame);
    const bool take[kPartCount] = {legs, torso, animation < 0 && parts_[kHead].frames == 0};
    for (int p = 0; p < kPartCount; ++p) {
        if (!take[p])
            continue;
        BakedPart& part = parts_[static_cast<size_t>(p)];
        const Space& space = spaces[static_cast<size_t>(p)];
        for (size_t s = 0; s < primitives_[p].size(); ++s) {
            const auto [node, primitive] = primitives_[p][s];
            const GltfScene::Posed posed = scene_.PosePrimitive(node, primitive, poses, world);
            std::vector<Vec3> positions, normals;
            for (size_t v = 0; v < posed.positions.size(); ++v) {
                const Vec3& x = posed.positions[v];
                const Vec3& n = posed.normals[v];
                positions.push_back(space.point(gltf::FromGltf(x[0] / kMetresPerGameUnit, x[1] / kMetresPerGameUnit,
                                                               x[2] / kMetresPerGameUnit)));
                normals.push_back(space.direction(gltf::FromGltf(n[0], n[1], n[2])));
            }
            part.surfaces[s].positions.push_back(std::move(positions));
            part.surfaces[s].normals.push_back(std::move(normals));
        }
        for (size_t t = 0; t < tagNodes_[p].size(); ++t) {
            const std::array<Vec3, 4> frame = gameFrame(world[static_cast<size_t>(tagNodes_[p][t])], true);
            part.tags[t].frames.push_back({space.point(frame[0]), space.direction(frame[1]), space.direction(frame[2]),
                                           space.direction(frame[3])});
        }
        ++part.frames;
    }
}

std::string ToolReader::shaderNameOf(const tinygltf::Material& material, int index) const
{
    // A name that is a path of a character's folder stays one, in this
    // character's folder; any other becomes a file name in it.
    const std::string lower = platform::LowerCase(material.name);
    if (lower.starts_with("models/players/")) {
        const size_t slash = lower.find('/', std::strlen("models/players/"));
        if (slash != std::string::npos && slash + 1 < lower.size())
            return "models/players/" + name_ + "/" + lower.substr(slash + 1);
    }
    std::string file;
    for (const char c : lower.empty() ? "material" + std::to_string(index) : lower)
        file += (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') ? c : '_';
    return "models/players/" + name_ + "/" + file;
}

// Each material used becomes a shader: its base image under the shader's
// name, and a definition where the image alone does not say how it is
// drawn (alpha masked or blended, both sides, a colour without an image).
void ToolReader::addShaders()
{
    std::map<int, std::string> shaderOf;
    std::set<int> materials;
    for (const SurfaceSource& s : surfaces_) {
        materials.insert(s.primitive->material);
        if (const auto found = s.primitive->extensions.find("KHR_materials_variants"); found != s.primitive->extensions.end()) {
            const tinygltf::Value& mappings = found->second.Get("mappings");
            for (size_t m = 0; mappings.IsArray() && m < mappings.ArrayLen(); ++m)
                materials.insert(static_cast<int>(mappings.Get(static_cast<int>(m)).Get("material").GetNumberAsInt()));
        }
    }
    for (const int index : materials) {
        if (index < 0 || static_cast<size_t>(index) >= model_.materials.size())
            continue;
        const tinygltf::Material& material = model_.materials[static_cast<size_t>(index)];
        const std::string shader = shaderNameOf(material, index);
        shaderOf[index] = shader;
        std::string image;
        const int texture = material.pbrMetallicRoughness.baseColorTexture.index;
        if (texture >= 0 && static_cast<size_t>(texture) < model_.textures.size()) {
            auto [bytes, ext] = ImageBytes(scene_, model_.textures[static_cast<size_t>(texture)].source);
            if (!bytes.empty()) {
                image = shader + ext;
                character_.images[image] = std::move(bytes);
            } else {
                character_.notes.push_back("material '" + material.name + "': its image is neither PNG nor JPEG; left out");
            }
        }
        const std::vector<double>& colour = material.pbrMetallicRoughness.baseColorFactor;
        const bool white = colour.size() < 3 || (colour[0] == 1 && colour[1] == 1 && colour[2] == 1);
        const bool plain = material.alphaMode == "OPAQUE" && !material.doubleSided && !image.empty();
        if (plain)
            continue;
        if (material.alphaMode == "BLEND" && colour.size() == 4 && colour[3] == 0) {
            // Wholly transparent: a surface the game draws nothing of.
            character_.shaders[shader] = shader + "\n{\n\tsurfaceparm nodraw\n}";
            continue;
        }
        std::string text = shader + "\n{\n";
        if (material.doubleSided)
            text += "\tcull none\n";
        text += "\t{\n\t\tmap " + (image.empty() ? std::string("$whiteimage") : image) + "\n";
        if (material.alphaMode == "MASK")
            text += material.alphaCutoff >= 0.25 ? "\t\talphaFunc GE128\n" : "\t\talphaFunc GT0\n";
        else if (material.alphaMode == "BLEND")
            text += "\t\tblendFunc blend\n";
        if (image.empty() && !white) {
            char rgb[96];
            std::snprintf(rgb, sizeof rgb, "\t\trgbGen const ( %.4g %.4g %.4g )\n", colour[0], colour[1], colour[2]);
            text += rgb;
        } else {
            text += "\t\trgbGen lightingDiffuse\n";
        }
        character_.shaders[shader] = text + "\t}\n}";
    }
    character_.skins = SkinsOf(model_, surfaces_, shaderOf, character_.parts);
}

ImportedCharacter ToolReader::Read()
{
    findNodes();
    if (!character_.refusals.empty())
        return std::move(character_);
    for (int p = 0; p < kPartCount; ++p) {
        BakedPart& part = parts_[static_cast<size_t>(p)];
        part.fileName = std::string(PartFileName(static_cast<ImportedPart>(p))) + ".md3";
        // A surface is named after its node; a node's further primitives
        // (materials) after it with "_s2", "_s3" and so on, which the game
        // keeps apart ("_2" it would cut off).
        std::map<std::string, int> seen;
        for (const auto& [node, primitive] : primitives_[p]) {
            std::string surface = cleanName(model_.nodes[static_cast<size_t>(node)].name);
            std::replace(surface.begin(), surface.end(), ' ', '_');
            if (const int n = ++seen[surface]; n > 1)
                surface += "_s" + std::to_string(n);
            part.surfaces.push_back(surfaceOf(node, primitive, surface));
        }
        for (const int node : tagNodes_[p])
            part.tags.push_back({cleanName(model_.nodes[static_cast<size_t>(node)].name), {}});
    }
    planEntries();
    size_t frames = 1;
    for (const Sampling& entry : entries_)
        frames += static_cast<size_t>(entry.frames);
    for (int p = 0; p < kPartCount; ++p)
        for (const BakedSurface& surface : parts_[static_cast<size_t>(p)].surfaces)
            if (surface.texCoords.size() * frames > kMostVertexRecords)
                throw EConvertError("surface '" + surface.name + "' would take " +
                                    std::to_string(surface.texCoords.size() * frames) +
                                    " vertex records, more than an MD3 file can hold");
    // The frames: the shared entries on both parts first, then the torso's
    // and the legs' own, in table order; the head at rest.
    bake(-1, 0, false, false);
    std::array<int32_t, kGameAnimationsRead> firsts{};
    const auto run = [&](uint32_t k, bool legs, bool torso) {
        const Sampling& s = entries_[k];
        firsts[k] = static_cast<int32_t>(legs ? parts_[kLegs].frames : parts_[kTorso].frames);
        for (int f = 0; f < s.frames; ++f)
            bake(s.animation, f / s.rate, legs, torso);
        GameAnimationEntry e;
        e.FirstFrame = firsts[k];
        e.FrameCount = s.frames;
        e.LoopingFrames = s.animation >= 0 && usuallyLoops(k) ? s.frames : 0;
        e.FrameLerpMs = static_cast<int32_t>(std::lround(1000 / s.rate));
        table_[k] = e;
    };
    table_.resize(entryCount_);
    for (uint32_t k = kBothDeath1; k < kTorsoGesture; ++k)
        run(k, true, true);
    for (uint32_t k = kTorsoGesture; k < kLegsWalkCrouched; ++k)
        run(k, false, true);
    for (uint32_t k = kTorsoGetFlag; k < entryCount_; ++k)
        run(k, false, true);
    for (uint32_t k = kLegsWalkCrouched; k < kTorsoGetFlag; ++k)
        run(k, true, false);
    for (int p = 0; p < kPartCount; ++p) {
        std::vector<size_t> sources;
        character_.parts[static_cast<size_t>(p)] =
            BuildPart(parts_[static_cast<size_t>(p)], sources, character_.notes, character_.refusals);
        const TMD3Model& md3 = character_.parts[static_cast<size_t>(p)];
        for (size_t s = 0; s < sources.size(); ++s) {
            const auto [node, primitive] = primitives_[p][sources[s]];
            surfaces_.push_back({static_cast<ImportedPart>(p), MD3Name(md3.Meshes[s].Header.Name),
                                 &model_.meshes[static_cast<size_t>(model_.nodes[static_cast<size_t>(node)].mesh)].primitives[primitive]});
        }
    }
    // Keywords a file of this program's export carries on its root.
    std::vector<AnimationKeyword> keywords;
    for (const tinygltf::Node& node : model_.nodes) {
        const tinygltf::Value& lines = node.extras.Get("animationFile").Get("keywords");
        for (size_t i = 0; lines.IsArray() && i < lines.ArrayLen(); ++i) {
            AnimationKeyword& keyword = keywords.emplace_back();
            const tinygltf::Value& line = lines.Get(static_cast<int>(i));
            for (size_t w = 0; line.IsArray() && w < line.ArrayLen(); ++w) {
                const tinygltf::Value& word = line.Get(static_cast<int>(w));
                const std::string text = word.IsString() ? word.Get<std::string>() : "";
                if (w == 0)
                    keyword.keyword = text;
                else
                    keyword.values.push_back(text);
            }
        }
        if (!keywords.empty())
            break;
    }
    character_.animationFile = GameAnimationText(keywords, table_);
    addShaders();
    return std::move(character_);
}

} // namespace

ImportedCharacter ReadToolLayout(const GltfScene& scene, const std::string& name)
{
    return ToolReader(scene, name).Read();
}

} // namespace gltfin
