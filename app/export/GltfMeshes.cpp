#include "GltfMeshes.h"

#include "GltfConvert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string_view>
#include <unordered_map>

namespace gltf {

namespace {

// The base normal of each vertex as shorts, four a vertex (the last 0).
using BaseNormals = std::vector<std::array<int16_t, 4>>;
using Target = std::map<std::string, int>;

// Frame-major vertex records of a surface, frame clamped to what it holds.
const TMD3Vertex* frameVertices(const TMesh& mesh, size_t frame)
{
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    const size_t frames = mesh.Vertices.size() / count;
    return mesh.Vertices.data() + ClampFrame(static_cast<int32_t>(frame), frames) * count;
}

// For each frame, the first frame whose records it repeats (itself when it
// repeats none): a repeated frame is that frame.
std::vector<size_t> firstShowings(const TMesh& mesh, size_t frames)
{
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    std::unordered_map<std::string_view, size_t> seen;
    std::vector<size_t> sameAs(frames);
    for (size_t frame = 0; frame < frames; ++frame) {
        const std::string_view records(reinterpret_cast<const char*>(frameVertices(mesh, frame)),
                                       count * sizeof(TMD3Vertex));
        sameAs[frame] = seen.emplace(records, frame).first->second;
    }
    return sameAs;
}

// The base normal of a vertex: the middle of the directions it takes
// (frame 0's where they cancel out), moved where needed to a direction
// that every frame's differs from by at most 1 in each axis, so that
// the differences fit normalised integers. lows and highs are the
// frames' least and greatest values in each axis.
Vec3 baseNormal(Vec3 middle, const Vec3& lows, const Vec3& highs)
{
    Vec3 nearest, farthest;
    bool inside = true;
    for (size_t c = 0; c < 3; ++c) {
        const double from = highs[c] - 1, to = lows[c] + 1;
        inside = inside && middle[c] >= from && middle[c] <= to;
        nearest[c] = std::clamp(0.0, from, to);
        farthest[c] = std::abs(from) > std::abs(to) ? from : to;
    }
    // Where no direction is (the vertex turns every way), frames beyond
    // reach keep float differences.
    if (inside || !(Dot(nearest, nearest) <= 1) || !(Dot(farthest, farthest) >= 1))
        return middle;
    // The point of unit length on the way from nearest to farthest, both
    // in the box of allowed directions.
    const Vec3 way{farthest[0] - nearest[0], farthest[1] - nearest[1], farthest[2] - nearest[2]};
    const double a = Dot(way, way), b = 2 * Dot(nearest, way), c = Dot(nearest, nearest) - 1;
    const double t = a > 0 ? (-b + std::sqrt(std::max(0.0, b * b - 4 * a * c))) / (2 * a) : 0;
    Vec3 unit{nearest[0] + t * way[0], nearest[1] + t * way[1], nearest[2] + t * way[2]};
    return Normalise(unit) ? unit : middle;
}

// The base normals of a surface over the frames it shows (sameAs from
// firstShowings).
BaseNormals baseNormals(const TMesh& mesh, size_t frames, const std::vector<size_t>& sameAs)
{
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    std::vector<Vec3> middles(count, Vec3{0, 0, 0});
    std::vector<Vec3> lows(count, Vec3{1, 1, 1}), highs(count, Vec3{-1, -1, -1});
    for (size_t frame = 0; frame < frames; ++frame) {
        if (sameAs[frame] != frame)
            continue;
        const TMD3Vertex* vertices = frameVertices(mesh, frame);
        for (size_t v = 0; v < count; ++v) {
            const Vec3 n = NormalOf(vertices[v]);
            for (size_t c = 0; c < 3; ++c) {
                middles[v][c] += n[c];
                lows[v][c] = std::min(lows[v][c], n[c]);
                highs[v][c] = std::max(highs[v][c], n[c]);
            }
        }
    }
    const TMD3Vertex* first = frameVertices(mesh, 0);
    BaseNormals normals(count, {0, 0, 0, 0});
    for (size_t v = 0; v < count; ++v) {
        if (!Normalise(middles[v]))
            middles[v] = NormalOf(first[v]);
        const Vec3 normal = baseNormal(middles[v], lows[v], highs[v]);
        for (size_t c = 0; c < 3; ++c)
            normals[v][c] = static_cast<int16_t>(std::lrint(normal[c] * kShortNormal));
    }
    return normals;
}

// How a frame differs from frame 0's positions and the base normals, over
// the vertices where either differs.
struct FrameDifferences {
    std::vector<uint32_t> listed; // the vertices that differ
    std::vector<int32_t> steps;   // of their positions, three a vertex
    std::vector<double> turns;    // of their normals, three a vertex
    std::vector<double> low = std::vector<double>(3, std::numeric_limits<double>::max());
    std::vector<double> high = std::vector<double>(3, std::numeric_limits<double>::lowest());
    bool stepsFit = true; // every step fits a short
    bool turnsFit = true; // every turn fits a normalised byte
};

FrameDifferences differencesOf(const TMesh& mesh, size_t frame, const BaseNormals& base)
{
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    const TMD3Vertex* first = frameVertices(mesh, 0);
    const TMD3Vertex* moved = frameVertices(mesh, frame);
    FrameDifferences d;
    d.listed.reserve(count);
    d.steps.reserve(count * 3);
    d.turns.reserve(count * 3);
    for (size_t v = 0; v < count; ++v) {
        const auto from = ToGltf<int32_t>(first[v].Position[0], first[v].Position[1], first[v].Position[2]);
        const auto to = ToGltf<int32_t>(moved[v].Position[0], moved[v].Position[1], moved[v].Position[2]);
        const Vec3 normal = NormalOf(moved[v]);
        std::array<int32_t, 3> step;
        Vec3 turn;
        bool differs = false;
        for (size_t c = 0; c < 3; ++c) {
            step[c] = to[c] - from[c];
            turn[c] = normal[c] - base[v][c] / kShortNormal;
            differs = differs || step[c] != 0 || std::lrint(turn[c] * kByteNormal) != 0;
        }
        if (!differs)
            continue;
        d.listed.push_back(static_cast<uint32_t>(v));
        for (size_t c = 0; c < 3; ++c) {
            d.steps.push_back(step[c]);
            d.turns.push_back(turn[c]);
            d.stepsFit = d.stepsFit && step[c] >= std::numeric_limits<int16_t>::min() &&
                         step[c] <= std::numeric_limits<int16_t>::max();
            // The base is a short's step from a direction in reach of every frame's.
            d.turnsFit = d.turnsFit && std::abs(turn[c]) <= 1 + 2 / kShortNormal;
            d.low[c] = std::min(d.low[c], static_cast<double>(step[c]));
            d.high[c] = std::max(d.high[c], static_cast<double>(step[c]));
        }
    }
    return d;
}

// The position differences: bytes or 16-bit steps, floats where a step is
// beyond them.
int addSteps(GltfBuffers& buffers, const GltfBuffers::PouredIndices& indices, const FrameDifferences& d, size_t count)
{
    const size_t listed = d.listed.size();
    const bool stepsSmall = std::ranges::all_of(d.low, [](double v) { return v >= -127; }) &&
                            std::ranges::all_of(d.high, [](double v) { return v <= 127; });
    if (stepsSmall)
        return buffers.AddSparse(indices, listed, GltfBuffers::Bytes, std::vector<int8_t>(d.steps.begin(), d.steps.end()),
                                 TINYGLTF_COMPONENT_TYPE_BYTE, TINYGLTF_TYPE_VEC3, count, false, d.low, d.high);
    if (d.stepsFit)
        return buffers.AddSparse(indices, listed, GltfBuffers::Shorts,
                                 std::vector<int16_t>(d.steps.begin(), d.steps.end()), TINYGLTF_COMPONENT_TYPE_SHORT,
                                 TINYGLTF_TYPE_VEC3, count, false, d.low, d.high);
    return buffers.AddSparse(indices, listed, GltfBuffers::Floats, std::vector<float>(d.steps.begin(), d.steps.end()),
                             TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, count, false, d.low, d.high);
}

// The normal differences: normalised bytes, floats where a turn is beyond them.
int addTurns(GltfBuffers& buffers, const GltfBuffers::PouredIndices& indices, const FrameDifferences& d, size_t count)
{
    if (!d.turnsFit)
        return buffers.AddSparse(indices, d.listed.size(), GltfBuffers::Floats,
                                 std::vector<float>(d.turns.begin(), d.turns.end()), TINYGLTF_COMPONENT_TYPE_FLOAT,
                                 TINYGLTF_TYPE_VEC3, count, false);
    std::vector<int8_t> bytes(d.turns.size());
    for (size_t i = 0; i < d.turns.size(); ++i)
        bytes[i] = static_cast<int8_t>(std::clamp<long>(std::lrint(d.turns[i] * kByteNormal), -127, 127));
    return buffers.AddSparse(indices, d.listed.size(), GltfBuffers::Bytes, bytes, TINYGLTF_COMPONENT_TYPE_BYTE,
                             TINYGLTF_TYPE_VEC3, count, true);
}

// The morph target of a frame: positions against frame 0's, normals
// against base (as stored), both sparse over the vertices where either
// differs. A target without differences is zeros shared by the
// primitive's still targets.
// The vertices of a frame whose normal, as the file stores it, is nearest
// another pair of angle bytes than the record's, with the record's bytes.
using Corrections = std::vector<std::pair<uint32_t, std::array<uint8_t, 2>>>;

Corrections correctionsOf(const TMesh& mesh, size_t frame, const BaseNormals& base, const FrameDifferences& d)
{
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    std::vector<Vec3> stored(count, Vec3{0, 0, 0});
    for (size_t k = 0; k < d.listed.size(); ++k)
        for (size_t c = 0; c < 3; ++c) {
            const double turn = d.turns[k * 3 + c];
            stored[d.listed[k]][c] = d.turnsFit
                                         ? std::clamp<long>(std::lrint(turn * kByteNormal), -127, 127) / kByteNormal
                                         : static_cast<double>(static_cast<float>(turn));
        }
    const TMD3Vertex* records = frameVertices(mesh, frame);
    Corrections corrections;
    for (size_t v = 0; v < count; ++v) {
        const std::array<uint8_t, 2> code = NormalCodeOf(StoredNormal(base[v], stored[v]));
        if (code[0] != records[v].Normal[0] || code[1] != records[v].Normal[1])
            corrections.emplace_back(static_cast<uint32_t>(v), std::array<uint8_t, 2>{records[v].Normal[0],
                                                                                       records[v].Normal[1]});
    }
    return corrections;
}

Target addTarget(GltfBuffers& buffers, const TMesh& mesh, size_t frame, const BaseNormals& base,
                 std::array<int, 2>& zeros, Corrections& corrections)
{
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    FrameDifferences d = differencesOf(mesh, frame, base);
    corrections = correctionsOf(mesh, frame, base, d);
    if (d.listed.empty()) {
        if (zeros[0] < 0) {
            zeros[0] = buffers.AddAccessor(-1, 0, TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, count, false,
                                           {0, 0, 0}, {0, 0, 0});
            zeros[1] = buffers.AddAccessor(-1, 0, TINYGLTF_COMPONENT_TYPE_BYTE, TINYGLTF_TYPE_VEC3, count, true);
        }
        return {{"POSITION", zeros[0]}, {"NORMAL", zeros[1]}};
    }
    if (d.listed.size() < count) // the vertices left out are zeros
        for (size_t c = 0; c < 3; ++c) {
            d.low[c] = std::min(d.low[c], 0.0);
            d.high[c] = std::max(d.high[c], 0.0);
        }
    const GltfBuffers::PouredIndices indices = buffers.PourIndices(d.listed, count);
    Target target;
    target["POSITION"] = addSteps(buffers, indices, d, count);
    target["NORMAL"] = addTurns(buffers, indices, d, count);
    return target;
}

// The triangles of a surface, each turned the other way round.
template <class T> int addIndices(GltfBuffers& buffers, const TMesh& mesh, int componentType)
{
    std::vector<T> indices;
    for (const TMD3Triangle& t : mesh.Triangles)
        indices.insert(indices.end(),
                       {static_cast<T>(t.Index[0]), static_cast<T>(t.Index[2]), static_cast<T>(t.Index[1])});
    return buffers.AddVectors(indices, 1, 1, componentType, TINYGLTF_TYPE_SCALAR, false, false,
                              TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
}

// What the surface's MD3 record holds beyond the primitive: its name, flags
// and shader records, and the normals whose angle bytes the stored normal
// does not give back (frame-major vertex indices), so that a file read back
// is the same surface.
tinygltf::Value surfaceExtras(GltfBuffers& buffers, const TMesh& mesh, const std::vector<Corrections>& corrections)
{
    using tinygltf::Value;
    Value::Object extras = SurfaceRecord(mesh).Get<Value::Object>();
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    std::vector<uint32_t> listed;
    std::vector<uint8_t> codes;
    for (size_t frame = 0; frame < corrections.size(); ++frame)
        for (const auto& [vertex, code] : corrections[frame]) {
            listed.push_back(static_cast<uint32_t>(frame * count + vertex));
            codes.insert(codes.end(), code.begin(), code.end());
        }
    if (!listed.empty()) {
        const size_t all = corrections.size() * count;
        extras["normalCodes"] = Value(buffers.AddSparse(buffers.PourIndices(listed, all), listed.size(),
                                                        GltfBuffers::UnsignedBytes, codes,
                                                        TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_TYPE_VEC2, all,
                                                        false));
    }
    return Value(std::move(extras));
}

tinygltf::Primitive addPrimitive(GltfBuffers& buffers, const TMesh& mesh, size_t frames)
{
    const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
    const TMD3Vertex* first = frameVertices(mesh, 0);
    const std::vector<size_t> sameAs = firstShowings(mesh, frames);
    const BaseNormals normals = baseNormals(mesh, frames, sameAs);
    std::vector<int16_t> positions(count * 4, 0);
    std::vector<float> texCoords(count * 2);
    for (size_t v = 0; v < count; ++v) {
        const auto p = ToGltf(first[v].Position[0], first[v].Position[1], first[v].Position[2]);
        for (size_t c = 0; c < 3; ++c)
            positions[v * 4 + c] = p[c];
        texCoords[v * 2] = mesh.TexCoords[v].S;
        texCoords[v * 2 + 1] = mesh.TexCoords[v].T;
    }
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.attributes["POSITION"] =
        buffers.AddVectors(positions, 3, 4, TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, false, true);
    primitive.attributes["NORMAL"] =
        buffers.AddVectors(std::vector<int16_t>(normals.front().data(), normals.back().data() + 4), 3, 4,
                           TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, true, false);
    primitive.attributes["TEXCOORD_0"] =
        buffers.AddVectors(texCoords, 2, 2, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, false, false);
    // The game's triangles turn clockwise seen from the front; glTF's
    // the other way.
    primitive.indices = count <= std::numeric_limits<uint16_t>::max()
                            ? addIndices<uint16_t>(buffers, mesh, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT)
                            : addIndices<uint32_t>(buffers, mesh, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
    std::array<int, 2> zeros{-1, -1};
    // A repeated frame shares its first showing's accessors.
    std::vector<Corrections> corrections(frames);
    for (size_t frame = 0; frame < frames; ++frame) {
        if (sameAs[frame] == frame) {
            primitive.targets.push_back(addTarget(buffers, mesh, frame, normals, zeros, corrections[frame]));
        } else {
            primitive.targets.push_back(primitive.targets[sameAs[frame]]);
            corrections[frame] = corrections[sameAs[frame]];
        }
    }
    primitive.extras = surfaceExtras(buffers, mesh, corrections);
    return primitive;
}

} // namespace

bool HoldsNoPrimitive(const TMesh& surface)
{
    return surface.Header.NumVerts <= 0 || surface.Triangles.empty() || surface.Vertices.empty();
}

tinygltf::Value SurfaceRecord(const TMesh& mesh)
{
    using tinygltf::Value;
    Value::Array shaders;
    for (const TMD3Shader& shader : mesh.Shaders) {
        char name[kMD3NameLength];
        int32_t index = 0;
        std::memcpy(name, shader.Data, sizeof name);
        std::memcpy(&index, shader.Data + sizeof name, sizeof index);
        shaders.emplace_back(Value::Array{Value(Utf8Name(MD3Name(name))), Value(static_cast<int>(index))});
    }
    Value::Object record{{"surface", Value(Utf8Name(MD3Name(mesh.Header.Name)))},
                         {"flags", Value(static_cast<int>(mesh.Header.Flags))},
                         {"shaders", Value(std::move(shaders))}};
    if (HoldsNoPrimitive(mesh))
        record.emplace("frames", Value(static_cast<int>(mesh.Header.NumFrames)));
    return Value(std::move(record));
}

int AddPartMesh(tinygltf::Model& model, GltfBuffers& buffers, const TMD3Model& part, size_t frames,
                size_t standingFrame, const std::string& name, std::vector<PrimitiveSurface>& surfaces)
{
    tinygltf::Mesh mesh;
    mesh.name = name;
    for (const TMesh& surface : part.Meshes) {
        if (HoldsNoPrimitive(surface))
            continue;
        mesh.primitives.push_back(addPrimitive(buffers, surface, frames));
        surfaces.push_back({static_cast<int>(model.meshes.size()), mesh.primitives.size() - 1, &surface});
    }
    if (mesh.primitives.empty())
        return -1;
    mesh.weights.assign(frames, 0.0);
    mesh.weights[standingFrame] = 1.0;
    tinygltf::Value::Array names;
    for (size_t frame = 0; frame < frames; ++frame)
        names.emplace_back("frame " + std::to_string(frame));
    mesh.extras = tinygltf::Value(tinygltf::Value::Object{{"targetNames", tinygltf::Value(std::move(names))}});
    model.meshes.push_back(std::move(mesh));
    return static_cast<int>(model.meshes.size()) - 1;
}

} // namespace gltf
