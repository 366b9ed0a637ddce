#include "GltfExport.h"

#include "model/GameCharacter.h"

#include "app/character/CharacterChoice.h"
#include "app/tools/CharacterPicture.h"
#include "app/viewer/Outputs.h"
#include "model/GameCharacter.h"
#include "model/GameShader.h"
#include "platform/files/FileLayer.h"
#include "platform/images/PngFile.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"
#include "platform/window/BareGLWindow.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>
#include <sstream>
#include <type_traits>

namespace {

using Vec3 = std::array<double, 3>;
using Quat = std::array<double, 4>; // x, y, z, w
using tinygltf::Value;

constexpr const char* kQuantization = "KHR_mesh_quantization";
constexpr const char* kVariants = "KHR_materials_variants";
constexpr const char* kStandingTorso = "TORSO_STAND";
constexpr const char* kStandingLegs = "LEGS_IDLE";
constexpr int kBufferAlignment = 4;
constexpr size_t kReservedBytesPerVertex = 16;
constexpr const char* kCaption = "Export";
// A tag axis shorter than this has no direction to keep.
constexpr double kShortestAxis = 1e-6;
// Half a step of an 8-bit alpha: a cutoff that passes what the game's
// "greater than" passes.
constexpr double kHalfAlphaStep = 0.5 / 255.0;
constexpr double kByteNormal = 127.0;
constexpr double kShortNormal = 32767.0;

// The game's axes (X forward, Y left, Z up) in glTF's (X left, Y up, Z
// forward): a turn, so lengths, angles and windings are kept.
template <class T> std::array<T, 3> toGltf(T x, T y, T z) { return {y, z, x}; }

Vec3 normalOf(const TMD3Vertex& vertex)
{
    const double* n = NormalTable[vertex.Normal[0]][vertex.Normal[1]];
    return toGltf(n[0], n[1], n[2]);
}

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec3 cross(const Vec3& a, const Vec3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
bool normalise(Vec3& v)
{
    const double length = std::sqrt(dot(v, v));
    if (!(length > kShortestAxis) || !std::isfinite(length))
        return false;
    for (double& c : v)
        c /= length;
    return true;
}

// A tag's turn in glTF's axes as a unit quaternion. Its axes are the
// columns of the turn; noise is taken out (the first axis kept, the second
// made square to it, the third their cross product), and axes without a
// direction give no turn.
Quat tagRotation(const TMD3Tag& tag)
{
    Vec3 a = toGltf<double>(tag.Axis[0][0], tag.Axis[0][1], tag.Axis[0][2]);
    Vec3 b = toGltf<double>(tag.Axis[1][0], tag.Axis[1][1], tag.Axis[1][2]);
    if (!normalise(a))
        return {0, 0, 0, 1};
    const double along = dot(a, b);
    for (int i = 0; i < 3; ++i)
        b[i] -= along * a[i];
    if (!normalise(b))
        return {0, 0, 0, 1};
    const Vec3 c = cross(a, b);
    // glTF's X, Y and Z are the game's Y, Z and X: the turn's columns are the
    // game's axes 1, 2 and 0, each in glTF's axes.
    const Vec3 cols[3] = {b, c, a};
    const double m[3][3] = {{cols[0][0], cols[1][0], cols[2][0]},
                            {cols[0][1], cols[1][1], cols[2][1]},
                            {cols[0][2], cols[1][2], cols[2][2]}};
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

Vec3 tagTranslation(const TMD3Tag& tag) { return toGltf<double>(tag.Origin[0], tag.Origin[1], tag.Origin[2]); }

// The frames an entry of the table plays, in order: by the game's rules its
// frame count from its first frame, backwards for a negative count in the
// file; by the viewer's, its first frame and the count after it.
std::vector<int32_t> playedFrames(const TAnimation& entry, Conventions rules)
{
    std::vector<int32_t> frames;
    const int64_t count = rules == Conventions::Game ? entry.FrameCount : static_cast<int64_t>(entry.NumFrames) + 1;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t place = rules == Conventions::Game && entry.Reversed ? count - 1 - i : i;
        frames.push_back(static_cast<int32_t>(entry.FirstFrame + place));
    }
    return frames;
}

// An entry the animation file never filled, or one that plays no frames.
bool emptyEntry(const TAnimation& entry, Conventions rules)
{
    return rules == Conventions::Game ? entry.FrameCount <= 0 : entry.NumFrames <= 0 && entry.FPS <= 0;
}

// Seconds per frame: the game's whole milliseconds (a rate of 0 plays as 1
// a second), or the viewer's rate.
double framePeriod(const TAnimation& entry, Conventions rules)
{
    if (rules == Conventions::Game)
        return entry.FrameLerpMs > 0 ? entry.FrameLerpMs / 1000.0 : 1.0;
    return 1.0 / (entry.FPS > 0 ? entry.FPS : 1);
}

std::string partName(const Q3Player& player, const TMD3Model& part)
{
    if (&part == &player.Lower)
        return "legs";
    if (&part == &player.Upper)
        return "torso";
    if (&part == &player.Head)
        return "head";
    const std::string file = platform::ExtractFileName(part.FileName);
    return file.substr(0, file.rfind('.'));
}

struct PartNodes {
    int part = -1;
    int mesh = -1; // the node holding the part's mesh; -1 without one
    std::vector<int> tags;
    size_t frames = 0;
};

class GltfBuilder {
public:
    explicit GltfBuilder(const CharacterExport& character) : character_(character), player_(*character.player)
    {
        model_.asset.version = "2.0";
        model_.asset.generator = "Quillmo";
        model_.buffers.emplace_back();
        model_.extensionsUsed = {kQuantization};
        model_.extensionsRequired = {kQuantization};
        for (const char* name : {kStandingLegs, kStandingTorso}) {
            if (const auto k = AnimationNamed(name); k && *k < player_.Animations.size())
                standing_.push_back(player_.Animations[*k]);
        }
    }

    tinygltf::Model Build()
    {
        // The buffer holds about 12 bytes per vertex and frame; reserved at
        // once, it is never copied while it grows.
        size_t vertexRecords = 0;
        for (const TMD3Model* part : {&player_.Lower, &player_.Upper, &player_.Head})
            for (const TMesh& mesh : part->Meshes)
                vertexRecords += mesh.Vertices.size();
        bytes().reserve(vertexRecords * kReservedBytesPerVertex);
        tinygltf::Node root;
        root.name = character_.name;
        root.scale = {kMetresPerGameUnit, kMetresPerGameUnit, kMetresPerGameUnit};
        const int legs = addPart(player_.Lower);
        root.children.push_back(legs);
        model_.nodes.push_back(root);
        tinygltf::Scene scene;
        scene.name = character_.name;
        scene.nodes.push_back(static_cast<int>(model_.nodes.size()) - 1);
        model_.scenes.push_back(scene);
        model_.defaultScene = 0;
        addVariants();
        for (size_t k = 0; k < player_.Animations.size(); ++k)
            addAnimation(static_cast<uint32_t>(k));
        return std::move(model_);
    }

private:
    std::vector<uint8_t>& bytes() { return model_.buffers[0].data; }

    int addView(const void* data, size_t size, int stride, int target)
    {
        std::vector<uint8_t>& buffer = bytes();
        buffer.resize((buffer.size() + kBufferAlignment - 1) / kBufferAlignment * kBufferAlignment);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = buffer.size();
        view.byteLength = size;
        view.byteStride = static_cast<size_t>(stride);
        view.target = target;
        const auto* from = static_cast<const uint8_t*>(data);
        buffer.insert(buffer.end(), from, from + size);
        model_.bufferViews.push_back(view);
        return static_cast<int>(model_.bufferViews.size()) - 1;
    }

    int addAccessor(int view, size_t offset, int componentType, int type, size_t count, bool normalized = false,
                    std::vector<double> min = {}, std::vector<double> max = {})
    {
        tinygltf::Accessor accessor;
        accessor.bufferView = view;
        accessor.byteOffset = offset;
        accessor.componentType = componentType;
        accessor.type = type;
        accessor.count = count;
        accessor.normalized = normalized;
        accessor.minValues = std::move(min);
        accessor.maxValues = std::move(max);
        model_.accessors.push_back(accessor);
        return static_cast<int>(model_.accessors.size()) - 1;
    }

    // Values of vectors of width components, with their bounds.
    template <class T> int addVectors(const std::vector<T>& values, int width, int stride, int componentType,
                                      int type, bool normalized, bool bounds, int target = TINYGLTF_TARGET_ARRAY_BUFFER)
    {
        const size_t count = values.size() / static_cast<size_t>(stride);
        std::vector<double> low, high;
        if (bounds) {
            low.assign(static_cast<size_t>(width), std::numeric_limits<double>::max());
            high.assign(static_cast<size_t>(width), std::numeric_limits<double>::lowest());
            for (size_t i = 0; i < count; ++i)
                for (int c = 0; c < width; ++c) {
                    const double v = static_cast<double>(values[i * static_cast<size_t>(stride) + static_cast<size_t>(c)]);
                    low[static_cast<size_t>(c)] = std::min(low[static_cast<size_t>(c)], v);
                    high[static_cast<size_t>(c)] = std::max(high[static_cast<size_t>(c)], v);
                }
        }
        const int byteStride = stride == width && target != TINYGLTF_TARGET_ARRAY_BUFFER
                                   ? 0
                                   : static_cast<int>(sizeof(T)) * stride;
        const int view = addView(values.data(), values.size() * sizeof(T), byteStride, target);
        return addAccessor(view, 0, componentType, type, count, normalized, std::move(low), std::move(high));
    }

    // Frame-major vertex records of a surface, frame clamped to what it holds.
    static const TMD3Vertex* frameVertices(const TMesh& mesh, size_t frame)
    {
        const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
        const size_t frames = mesh.Vertices.size() / count;
        return mesh.Vertices.data() + ClampFrame(static_cast<int32_t>(frame), frames) * count;
    }

    // The morph targets of a surface go into one stream per kind of value
    // (positions or normals, narrow or wide), each target an accessor at its
    // place in the stream.
    template <class T> struct Stream {
        std::vector<T> values;
        struct Slice {
            size_t target;
            size_t offset; // in values
            std::vector<double> low, high;
        };
        std::vector<Slice> slices;
    };
    struct TargetStreams {
        Stream<int16_t> steps;    // positions in 1/64 steps, 4 a vertex (the fourth pads)
        Stream<float> wideSteps;  // the same where a difference does not fit 16 bits, 3 a vertex
        Stream<int8_t> turns;     // normals, normalised bytes, 4 a vertex
        Stream<float> wideTurns;  // normals where a difference is beyond -1 ... 1, 3 a vertex
        std::vector<std::map<std::string, int>> targets;
    };

    template <class T> static void addSlice(Stream<T>& stream, size_t target, const std::vector<double>& values,
                                            int stride, double scale, bool bounds)
    {
        typename Stream<T>::Slice slice{target, stream.values.size(), {}, {}};
        if (bounds) {
            slice.low.assign(3, std::numeric_limits<double>::max());
            slice.high.assign(3, std::numeric_limits<double>::lowest());
        }
        for (size_t v = 0; v < values.size() / 3; ++v) {
            for (size_t c = 0; c < 3; ++c) {
                const T value = static_cast<T>(std::is_integral_v<T> ? std::lround(values[v * 3 + c] * scale)
                                                                      : values[v * 3 + c] * scale);
                stream.values.push_back(value);
                if (bounds) {
                    slice.low[c] = std::min(slice.low[c], static_cast<double>(value));
                    slice.high[c] = std::max(slice.high[c], static_cast<double>(value));
                }
            }
            for (int pad = 3; pad < stride; ++pad)
                stream.values.push_back(0);
        }
        stream.slices.push_back(std::move(slice));
    }

    // The accessors of a stream's targets, on one view.
    template <class T> void addStream(TargetStreams& streams, Stream<T>& stream, const char* attribute, int stride,
                                      int componentType, bool normalized, size_t count)
    {
        if (stream.slices.empty())
            return;
        const int view = addView(stream.values.data(), stream.values.size() * sizeof(T),
                                 static_cast<int>(sizeof(T)) * stride, TINYGLTF_TARGET_ARRAY_BUFFER);
        for (auto& slice : stream.slices)
            streams.targets[slice.target][attribute] =
                addAccessor(view, slice.offset * sizeof(T), componentType, TINYGLTF_TYPE_VEC3, count, normalized,
                            std::move(slice.low), std::move(slice.high));
    }

    // Morph target frame: positions against frame 0, normals against base.
    static void addTarget(TargetStreams& streams, const TMesh& mesh, size_t frame, const std::vector<Vec3>& base)
    {
        const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
        const TMD3Vertex* first = frameVertices(mesh, 0);
        const TMD3Vertex* moved = frameVertices(mesh, frame);
        std::vector<double> steps(count * 3), turns(count * 3);
        bool stepsFit = true, turnsFit = true, still = true, straight = true;
        for (size_t v = 0; v < count; ++v) {
            const auto from = toGltf<int32_t>(first[v].Position[0], first[v].Position[1], first[v].Position[2]);
            const auto to = toGltf<int32_t>(moved[v].Position[0], moved[v].Position[1], moved[v].Position[2]);
            const Vec3 normal = normalOf(moved[v]);
            for (size_t c = 0; c < 3; ++c) {
                const int32_t step = to[c] - from[c];
                steps[v * 3 + c] = step;
                stepsFit = stepsFit && step >= std::numeric_limits<int16_t>::min() &&
                           step <= std::numeric_limits<int16_t>::max();
                still = still && step == 0;
                turns[v * 3 + c] = normal[c] - base[v][c];
                turnsFit = turnsFit && std::abs(turns[v * 3 + c]) <= 1.0;
                straight = straight && std::lround(turns[v * 3 + c] * kByteNormal) == 0;
            }
        }
        const size_t target = streams.targets.size();
        streams.targets.emplace_back();
        // No change: accessors without data are zeros.
        if (still)
            streams.targets[target]["POSITION"] = -1;
        else if (stepsFit)
            addSlice(streams.steps, target, steps, 4, 1, true);
        else
            addSlice(streams.wideSteps, target, steps, 3, 1, true);
        if (straight)
            streams.targets[target]["NORMAL"] = -1;
        else if (turnsFit)
            addSlice(streams.turns, target, turns, 4, kByteNormal, false);
        else
            addSlice(streams.wideTurns, target, turns, 3, 1, false);
    }

    // The triangles of a surface, each turned the other way round.
    template <class T> int addIndices(const TMesh& mesh, int componentType)
    {
        std::vector<T> indices;
        for (const TMD3Triangle& t : mesh.Triangles)
            indices.insert(indices.end(),
                           {static_cast<T>(t.Index[0]), static_cast<T>(t.Index[2]), static_cast<T>(t.Index[1])});
        return addVectors(indices, 1, 1, componentType, TINYGLTF_TYPE_SCALAR, false, false,
                          TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    }

    tinygltf::Primitive addPrimitive(const TMesh& mesh, size_t frames)
    {
        const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
        const TMD3Vertex* first = frameVertices(mesh, 0);
        // The base normal of a vertex is the middle of the directions it takes
        // (frame 0's where they cancel out), so that the differences to it
        // are small enough for bytes in more frames.
        std::vector<Vec3> baseNormals(count, Vec3{0, 0, 0});
        for (size_t frame = 0; frame < frames; ++frame) {
            const TMD3Vertex* vertices = frameVertices(mesh, frame);
            for (size_t v = 0; v < count; ++v) {
                const Vec3 n = normalOf(vertices[v]);
                for (size_t c = 0; c < 3; ++c)
                    baseNormals[v][c] += n[c];
            }
        }
        std::vector<int16_t> positions(count * 4, 0);
        std::vector<int16_t> normals(count * 4, 0);
        std::vector<float> texCoords(count * 2);
        for (size_t v = 0; v < count; ++v) {
            if (!normalise(baseNormals[v]))
                baseNormals[v] = normalOf(first[v]);
            const auto p = toGltf(first[v].Position[0], first[v].Position[1], first[v].Position[2]);
            for (size_t c = 0; c < 3; ++c) {
                positions[v * 4 + c] = p[c];
                normals[v * 4 + c] = static_cast<int16_t>(std::lround(baseNormals[v][c] * kShortNormal));
            }
            texCoords[v * 2] = mesh.TexCoords[v].S;
            texCoords[v * 2 + 1] = mesh.TexCoords[v].T;
        }
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] =
            addVectors(positions, 3, 4, TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, false, true);
        primitive.attributes["NORMAL"] =
            addVectors(normals, 3, 4, TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, true, false);
        primitive.attributes["TEXCOORD_0"] =
            addVectors(texCoords, 2, 2, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, false, false);
        // The game's triangles turn clockwise seen from the front; glTF's
        // the other way.
        primitive.indices = count <= std::numeric_limits<uint16_t>::max()
                                ? addIndices<uint16_t>(mesh, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT)
                                : addIndices<uint32_t>(mesh, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
        TargetStreams streams;
        for (size_t frame = 0; frame < frames; ++frame)
            addTarget(streams, mesh, frame, baseNormals);
        addStream(streams, streams.steps, "POSITION", 4, TINYGLTF_COMPONENT_TYPE_SHORT, false, count);
        addStream(streams, streams.wideSteps, "POSITION", 3, TINYGLTF_COMPONENT_TYPE_FLOAT, false, count);
        addStream(streams, streams.turns, "NORMAL", 4, TINYGLTF_COMPONENT_TYPE_BYTE, true, count);
        addStream(streams, streams.wideTurns, "NORMAL", 3, TINYGLTF_COMPONENT_TYPE_FLOAT, false, count);
        for (std::map<std::string, int>& target : streams.targets) {
            if (target["POSITION"] < 0)
                target["POSITION"] = addAccessor(-1, 0, TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, count,
                                                 false, {0, 0, 0}, {0, 0, 0});
            if (target["NORMAL"] < 0)
                target["NORMAL"] = addAccessor(-1, 0, TINYGLTF_COMPONENT_TYPE_BYTE, TINYGLTF_TYPE_VEC3, count, true);
        }
        primitive.targets = std::move(streams.targets);
        return primitive;
    }

    // The frame of part in the standing pose: the first of the standing
    // entry that plays on it, else frame 0.
    size_t standingFrame(const TMD3Model& part, size_t frames) const
    {
        for (const TAnimation& entry : standing_) {
            const bool plays = (&part == &player_.Lower && &entry == &standing_.front()) ||
                               (&part == &player_.Upper && &entry == &standing_.back());
            if (plays)
                return ClampFrame(entry.FirstFrame, frames);
        }
        return 0;
    }

    int addMesh(const TMD3Model& part, size_t frames, const std::string& name)
    {
        tinygltf::Mesh mesh;
        mesh.name = name;
        for (const TMesh& surface : part.Meshes) {
            if (surface.Header.NumVerts <= 0 || surface.Triangles.empty() || surface.Vertices.empty())
                continue;
            mesh.primitives.push_back(addPrimitive(surface, frames));
            primitiveSurfaces_.push_back({static_cast<int>(model_.meshes.size()), mesh.primitives.size() - 1, &surface});
        }
        if (mesh.primitives.empty())
            return -1;
        mesh.weights.assign(frames, 0.0);
        mesh.weights[standingFrame(part, frames)] = 1.0;
        Value::Array names;
        for (size_t frame = 0; frame < frames; ++frame)
            names.emplace_back("frame " + std::to_string(frame));
        mesh.extras = Value(Value::Object{{"targetNames", Value(std::move(names))}});
        model_.meshes.push_back(std::move(mesh));
        return static_cast<int>(model_.meshes.size()) - 1;
    }

    static void placeTag(tinygltf::Node& node, const TMD3Tag& tag)
    {
        const Vec3 t = tagTranslation(tag);
        const Quat q = tagRotation(tag);
        node.translation.assign(t.begin(), t.end());
        node.rotation.assign(q.begin(), q.end());
    }

    int addNode(tinygltf::Node node)
    {
        model_.nodes.push_back(std::move(node));
        return static_cast<int>(model_.nodes.size()) - 1;
    }

    // The node of part, its mesh's and its tags' nodes, and below them the
    // parts hung on its tags.
    int addPart(const TMD3Model& part)
    {
        if (!path_.insert(&part).second)
            return -1; // a part hung below itself is not followed round again
        PartNodes nodes;
        const std::string name = partName(player_, part);
        nodes.frames = std::max<size_t>(1, part.Frames.size());
        nodes.part = addNode({});
        model_.nodes[static_cast<size_t>(nodes.part)].name = name;
        std::vector<int> children;
        const int mesh = addMesh(part, nodes.frames, name);
        if (mesh >= 0) {
            tinygltf::Node meshNode;
            meshNode.name = name + " mesh";
            meshNode.mesh = mesh;
            meshNode.scale = {kMD3XyzScale, kMD3XyzScale, kMD3XyzScale};
            nodes.mesh = addNode(std::move(meshNode));
            children.push_back(nodes.mesh);
        }
        const size_t tagsPerFrame = part.Links.size();
        const size_t tagFrames = tagsPerFrame == 0 ? 0 : part.Tags.size() / tagsPerFrame;
        if (tagFrames > 0) {
            const size_t frame = standingFrame(part, tagFrames);
            for (size_t i = 0; i < tagsPerFrame; ++i) {
                tinygltf::Node tagNode;
                const TMD3Tag& tag = part.Tags[frame * tagsPerFrame + i];
                tagNode.name = MD3Name(tag.Name);
                placeTag(tagNode, tag);
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
        model_.nodes[static_cast<size_t>(nodes.part)].children = children;
        parts_[&part] = nodes;
        path_.erase(&part);
        return nodes.part;
    }

    // The bytes of a PNG of image (a path of the game data, "" for the
    // game's default image), alpha inverted when asked; empty when it
    // cannot be read.
    static std::vector<uint8_t> pngOf(const std::string& image, bool invertAlpha)
    {
        DecodedImage decoded;
        if (image.empty()) {
            decoded.width = decoded.height = kDefaultImageSide;
            decoded.format = GL_RGBA;
            decoded.pixels = DefaultImagePixels();
        } else {
            const std::optional<std::string> path = FindGameImage(image);
            if (!path)
                return {};
            decoded = ReadImageFile(*path, Conventions::Game).image;
            if (decoded.fault != ImageFault::None || decoded.pixels.empty())
                return {};
        }
        const bool alpha = decoded.format == GL_RGBA || invertAlpha;
        const size_t channels = decoded.format == GL_RGBA ? 4 : 3, out = alpha ? 4 : 3;
        const size_t width = static_cast<size_t>(decoded.width), height = static_cast<size_t>(decoded.height);
        std::vector<uint8_t> rows(width * height * out);
        for (size_t y = 0; y < height; ++y)
            for (size_t x = 0; x < width; ++x) {
                // Decoded images come bottom row first; PNG rows top first.
                const uint8_t* from = decoded.pixels.data() + ((height - 1 - y) * width + x) * channels;
                uint8_t* to = rows.data() + (y * width + x) * out;
                std::copy_n(from, 3, to);
                if (alpha) {
                    const uint8_t a = channels == 4 ? from[3] : 255;
                    to[3] = invertAlpha ? static_cast<uint8_t>(255 - a) : a;
                }
            }
        platform::PngLayout layout;
        layout.width = static_cast<int>(width);
        layout.height = static_cast<int>(height);
        layout.colorType = alpha ? platform::PngColorType::Rgba : platform::PngColorType::Rgb;
        return platform::EncodePng(layout, rows);
    }

    int addTexture(const std::string& image, bool clamp, bool invertAlpha)
    {
        const std::string key = platform::LowerCase(image) + (clamp ? "|clamp" : "") + (invertAlpha ? "|inverted" : "");
        if (const auto found = textures_.find(key); found != textures_.end())
            return found->second;
        int texture = -1;
        const std::vector<uint8_t> png = pngOf(image, invertAlpha);
        if (!png.empty()) {
            tinygltf::Image picture;
            picture.name = image.empty() ? "default" : image;
            picture.mimeType = "image/png";
            picture.bufferView = addView(png.data(), png.size(), 0, 0);
            model_.images.push_back(picture);
            tinygltf::Texture made;
            made.source = static_cast<int>(model_.images.size()) - 1;
            made.sampler = addSampler(clamp);
            model_.textures.push_back(made);
            texture = static_cast<int>(model_.textures.size()) - 1;
        }
        textures_[key] = texture;
        return texture;
    }

    int addSampler(bool clamp)
    {
        int& sampler = clamp ? clampSampler_ : repeatSampler_;
        if (sampler < 0) {
            tinygltf::Sampler made;
            made.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
            made.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR_MIPMAP_LINEAR;
            made.wrapS = made.wrapT = clamp ? TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE : TINYGLTF_TEXTURE_WRAP_REPEAT;
            model_.samplers.push_back(made);
            sampler = static_cast<int>(model_.samplers.size()) - 1;
        }
        return sampler;
    }

    // The material of a shader, from its base stage.
    int addMaterial(const BoundShader* bound)
    {
        if (const auto found = materials_.find(bound); found != materials_.end())
            return found->second;
        tinygltf::Material material;
        material.pbrMetallicRoughness.metallicFactor = 0.0;
        material.pbrMetallicRoughness.roughnessFactor = 1.0;
        const GameShader* shader = bound ? &bound->shader : nullptr;
        material.name = shader && !shader->name.empty() ? shader->name : "(no shader)";
        const GameStage* base = nullptr;
        if (shader) {
            for (const GameStage& stage : shader->stages)
                if (!stage.images.empty() && stage.images.front().kind == StageImageKind::File) {
                    base = &stage;
                    break;
                }
            if (!base && !shader->stages.empty())
                base = &shader->stages.front();
            material.doubleSided = shader->cull == CullFace::None;
        }
        if (!base) {
            // Nothing is drawn of a surface without stages.
            material.alphaMode = "BLEND";
            material.pbrMetallicRoughness.baseColorFactor = {1, 1, 1, 0};
        } else {
            const bool inverted = base->alphaFunc == GL_LESS;
            if (base->alphaFunc != GL_ALWAYS) {
                material.alphaMode = "MASK";
                material.alphaCutoff = base->alphaFunc == GL_GEQUAL ? base->alphaRef
                                       : inverted                   ? 1.0 - base->alphaRef + kHalfAlphaStep
                                                                    : base->alphaRef + kHalfAlphaStep;
            } else if (base->blend) {
                material.alphaMode = "BLEND";
            }
            if (base->rgbGen == RgbGen::Const)
                for (size_t c = 0; c < 3; ++c)
                    material.pbrMetallicRoughness.baseColorFactor[c] = base->constColor[c] / 255.0;
            if (!base->images.empty() && base->images.front().kind == StageImageKind::File) {
                const int texture = addTexture(base->images.front().name, base->clamp, inverted);
                if (texture >= 0)
                    material.pbrMetallicRoughness.baseColorTexture.index = texture;
            }
        }
        model_.materials.push_back(material);
        const int index = static_cast<int>(model_.materials.size()) - 1;
        materials_[bound] = index;
        return index;
    }

    // Each primitive's material under each skin: the first skin's is its
    // own, and every skin a variant.
    void addVariants()
    {
        Value::Array variants;
        for (const SkinShaders& skin : character_.skins)
            variants.push_back(Value(Value::Object{{"name", Value(skin.name)}}));
        for (const auto& [mesh, primitive, surface] : primitiveSurfaces_) {
            std::map<int, Value::Array> byMaterial;
            for (size_t s = 0; s < character_.skins.size(); ++s) {
                const auto found = character_.skins[s].shaders.find(surface);
                const int material =
                    addMaterial(found == character_.skins[s].shaders.end() ? surface->Shader : found->second);
                byMaterial[material].push_back(Value(static_cast<int>(s)));
                if (s == 0)
                    model_.meshes[static_cast<size_t>(mesh)].primitives[primitive].material = material;
            }
            if (character_.skins.empty()) {
                model_.meshes[static_cast<size_t>(mesh)].primitives[primitive].material = addMaterial(surface->Shader);
                continue;
            }
            Value::Array mappings;
            for (auto& [material, skins] : byMaterial)
                mappings.push_back(
                    Value(Value::Object{{"material", Value(material)}, {"variants", Value(std::move(skins))}}));
            model_.meshes[static_cast<size_t>(mesh)].primitives[primitive].extensions[kVariants] =
                Value(Value::Object{{"mappings", Value(std::move(mappings))}});
        }
        if (!character_.skins.empty()) {
            model_.extensionsUsed.push_back(kVariants);
            model_.extensions[kVariants] = Value(Value::Object{{"variants", Value(std::move(variants))}});
        }
    }

    int addSampler(tinygltf::Animation& animation, int input, int output, int node, const char* path)
    {
        tinygltf::AnimationSampler sampler;
        sampler.input = input;
        sampler.output = output;
        sampler.interpolation = "LINEAR";
        animation.samplers.push_back(sampler);
        tinygltf::AnimationChannel channel;
        channel.sampler = static_cast<int>(animation.samplers.size()) - 1;
        channel.target_node = node;
        channel.target_path = path;
        animation.channels.push_back(channel);
        return channel.sampler;
    }

    // The channels of a part playing keyFrames (one frame per key).
    void addPartChannels(tinygltf::Animation& animation, int input, const TMD3Model& part,
                         const std::vector<int32_t>& keyFrames)
    {
        const auto found = parts_.find(&part);
        if (found == parts_.end())
            return;
        const PartNodes& nodes = found->second;
        if (nodes.mesh >= 0) {
            std::vector<uint8_t> weights(keyFrames.size() * nodes.frames, 0);
            for (size_t key = 0; key < keyFrames.size(); ++key)
                weights[key * nodes.frames + ClampFrame(keyFrames[key], nodes.frames)] = 255;
            const int view = addView(weights.data(), weights.size(), 0, 0);
            addSampler(animation, input,
                       addAccessor(view, 0, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_TYPE_SCALAR,
                                   weights.size(), true),
                       nodes.mesh, "weights");
        }
        const size_t tagsPerFrame = nodes.tags.size();
        if (tagsPerFrame == 0)
            return;
        const size_t tagFrames = part.Tags.size() / tagsPerFrame;
        for (size_t i = 0; i < tagsPerFrame; ++i) {
            std::vector<float> translations, rotations;
            Quat previous{0, 0, 0, 1};
            for (size_t key = 0; key < keyFrames.size(); ++key) {
                const TMD3Tag& tag = part.Tags[ClampFrame(keyFrames[key], tagFrames) * tagsPerFrame + i];
                const Vec3 t = tagTranslation(tag);
                Quat q = tagRotation(tag);
                // The shorter way round from the key before.
                if (key > 0 && q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
                    for (double& c : q)
                        c = -c;
                previous = q;
                translations.insert(translations.end(), t.begin(), t.end());
                rotations.insert(rotations.end(), q.begin(), q.end());
            }
            const int node = nodes.tags[i];
            addSampler(animation, input,
                       addVectors(translations, 3, 3, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, false, false, 0),
                       node, "translation");
            addSampler(animation, input,
                       addVectors(rotations, 4, 4, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, false, false, 0),
                       node, "rotation");
        }
    }

    void addAnimation(uint32_t k)
    {
        const std::string name = AnimationName(k);
        const TAnimation& entry = player_.Animations[k];
        const Conventions rules = player_.Rules;
        const bool legs = AnimationDrivesLegs(k, rules), torso = AnimationDrivesTorso(k, rules);
        if (name.empty() || emptyEntry(entry, rules) || (!legs && !torso))
            return;
        const std::vector<int32_t> frames = playedFrames(entry, rules);
        const double period = framePeriod(entry, rules);
        std::vector<int32_t> keyFrames = frames;
        const size_t looping = static_cast<size_t>(std::clamp<int64_t>(entry.LoopingFrames, 0, frames.size()));
        keyFrames.push_back(looping > 0 ? frames[frames.size() - looping] : frames.back());
        std::vector<float> times;
        for (size_t key = 0; key < keyFrames.size(); ++key)
            times.push_back(static_cast<float>(static_cast<double>(key) * period));
        tinygltf::Animation animation;
        animation.name = name;
        const int input =
            addVectors(times, 1, 1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, false, true, 0);
        Value::Array parts;
        if (legs) {
            addPartChannels(animation, input, player_.Lower, keyFrames);
            parts.emplace_back("legs");
        }
        if (torso) {
            addPartChannels(animation, input, player_.Upper, keyFrames);
            parts.emplace_back("torso");
        }
        if (animation.channels.empty())
            return;
        animation.extras = Value(Value::Object{
            {"index", Value(static_cast<int>(k))},
            {"firstFrame", Value(static_cast<int>(entry.FirstFrame))},
            {"frames", Value(static_cast<int>(frames.size()))},
            {"loopingFrames", Value(static_cast<int>(entry.LoopingFrames))},
            {"fps", Value(static_cast<int>(entry.FPS))},
            {"backwards", Value(rules == Conventions::Game && entry.Reversed)},
            {"loops", Value(looping > 0)},
            {"parts", Value(std::move(parts))},
        });
        model_.animations.push_back(std::move(animation));
    }

    struct PrimitiveSurface {
        int mesh;
        size_t primitive;
        const TMesh* surface;
    };

    const CharacterExport& character_;
    const Q3Player& player_;
    tinygltf::Model model_;
    std::vector<TAnimation> standing_; // legs' then torso's standing entry
    std::map<const TMD3Model*, PartNodes> parts_;
    std::set<const TMD3Model*> path_;
    std::vector<PrimitiveSurface> primitiveSurfaces_;
    std::map<const BoundShader*, int> materials_;
    std::map<std::string, int> textures_;
    int repeatSampler_ = -1;
    int clampSampler_ = -1;
};

} // namespace

std::vector<SkinShaders> GatherSkins(Q3Player& player, const std::string& folder,
                                     const std::vector<std::string>& names, TextureSet& textures)
{
    // Each skin as the game finds and reads it; a skin file it does not find
    // leaves the game's default shader on every surface of the part.
    const std::pair<TMD3Model*, CharacterFile> parts[] = {{&player.Lower, CharacterFile::LegsSkin},
                                                          {&player.Upper, CharacterFile::TorsoSkin},
                                                          {&player.Head, CharacterFile::HeadSkin}};
    std::vector<SkinShaders> skins;
    for (const std::string& name : names) {
        SkinShaders& skin = skins.emplace_back();
        skin.name = name;
        const GameCharacterFiles found = FindGameCharacterFiles(folder, name);
        for (const auto& [part, file] : parts) {
            GameSkin read;
            if (const std::optional<std::string>& path = found[file].path) {
                try {
                    const std::vector<uint8_t> bytes = platform::files::ReadFileBytes(*path);
                    read = ReadGameSkin({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
                } catch (const platform::EInOutError& e) {
                    platform::ShowMessage(e.what(), "Skin");
                }
            }
            BindGameSkin(*part, read, textures);
            for (const TMesh& mesh : part->Meshes)
                skin.shaders[&mesh] = mesh.Shader;
        }
    }
    if (!skins.empty())
        for (const auto& [part, file] : parts)
            for (TMesh& mesh : part->Meshes)
                mesh.Shader = skins.front().shaders[&mesh];
    return skins;
}

std::string CharacterGltf(const CharacterExport& character, bool binary)
{
    const tinygltf::Model model = GltfBuilder(character).Build();
    tinygltf::TinyGLTF writer;
    std::ostringstream out;
    if (!writer.WriteGltfSceneToStream(&model, out, !binary, binary))
        throw platform::EInOutError("the glTF library could not write " + character.name);
    return std::move(out).str();
}

int RunExport(const CommandLine& options)
{
    const std::string& path = *options.exportFile;
    const bool binary = platform::LowerCase(path.substr(std::min(path.size(), path.rfind('.')))) == ".glb";
    const size_t problemsBefore = platform::LoadProblemCount();
    std::string bytes;
    try {
        OffscreenRun run;
        const CharacterChoice choice = ResolveCharacterChoice(options);
        platform::BareGLWindow window(1, 1, true);
        ShaderTable shaders = ReadShaderScripts();
        TextureSet textures(&shaders);
        const TexturesClearedAtEnd cleared(textures);
        Q3Player player;
        TMD3Model weapon;
        CharacterExport character;
        character.player = &player;
        character.name = choice.name;
        {
            const platform::LoadWatch watch;
            try {
                LoadCharacter(choice, player, weapon, textures);
            } catch (const std::exception& e) {
                // What loaded before the failure is exported, as character mode shows it.
                platform::ShowMessage(e.what(), kCaption);
            }
            std::vector<std::string> names{choice.skin};
            if (options.allSkins)
                for (const std::string& skin : ListSkins(choice.folder))
                    if (!platform::SameText(skin, choice.skin))
                        names.push_back(skin);
            character.skins = GatherSkins(player, choice.folder, names, textures);
        }
        bytes = CharacterGltf(character, binary);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Quillmo: %s\n", e.what());
        return kExitCannotRun;
    }
    const bool whole = platform::LoadProblemCount() == problemsBefore;
    return FinishOutput(whole ? kExitDone : kExitProblems, [&] {
        platform::WriteFileBytes(path, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    });
}
