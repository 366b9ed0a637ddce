#include "GltfExport.h"

#include "app/common/CharacterChoice.h"
#include "app/common/CharacterPicture.h"
#include "app/common/Outputs.h"
#include "game/GameAnimation.h"
#include "game/GameCharacter.h"
#include "game/GameShader.h"
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
#include <string_view>
#include <type_traits>
#include <unordered_map>

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
// zlib's fastest level: the images of a character compress to within a few
// percent of the default level's bytes in a fraction of its time.
constexpr int kImageZlibLevel = 1;

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

// text with every byte that is no part of a UTF-8 character (JSON holds no
// other text) put as U+FFFD, as the checker's JSON puts it.
std::string utf8Name(const std::string& text)
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

Vec3 tagTranslation(const TMD3Tag& tag) { return toGltf<double>(tag.Origin[0], tag.Origin[1], tag.Origin[2]); }

// The keys of an entry of the table: the frame it plays at each key, and
// the key's place (its index among the frames played). By the game's rules
// an entry plays its frame count from its first frame, backwards for a
// negative count in the file; by the viewer's, its first frame and the count
// after it. A last key one frame after them shows the first looping frame,
// or holds the last. The parts show their first frame for every frame before
// it and their last for every frame after it: of such a run only its first
// and last key are kept, so a count the file exaggerates costs nothing.
struct EntryKeys {
    int64_t count = 0;           // frames played
    std::vector<int64_t> places; // of each key, ascending; the last one is count
    std::vector<int32_t> frames; // the frame each key shows
};

EntryKeys entryKeys(const GameAnimationEntry& entry, size_t partFrames)
{
    EntryKeys keys;
    const bool reversed = entry.Reversed;
    keys.count = entry.FrameCount;
    if (keys.count <= 0)
        return keys;
    const int64_t first = entry.FirstFrame, count = keys.count;
    const auto frameAt = [&](int64_t place) { return first + (reversed ? count - 1 - place : place); };
    std::set<int64_t> places{0, count - 1};
    const int64_t last = static_cast<int64_t>(std::max<size_t>(partFrames, 1)) - 1;
    for (int64_t frame = std::max<int64_t>(0, first); frame <= std::min(last, first + count - 1); ++frame)
        places.insert(reversed ? first + count - 1 - frame : frame - first);
    const size_t looping = static_cast<size_t>(std::clamp<int64_t>(entry.LoopingFrames, 0, count));
    for (const int64_t place : places) {
        keys.places.push_back(place);
        keys.frames.push_back(static_cast<int32_t>(std::clamp<int64_t>(frameAt(place), INT32_MIN, INT32_MAX)));
    }
    keys.places.push_back(count);
    keys.frames.push_back(static_cast<int32_t>(
        std::clamp<int64_t>(frameAt(looping > 0 ? count - static_cast<int64_t>(looping) : count - 1), INT32_MIN,
                            INT32_MAX)));
    return keys;
}

// An entry the animation file never filled, or one that plays no frames.
bool emptyEntry(const GameAnimationEntry& entry) { return entry.FrameCount <= 0; }

// Seconds per frame: the game's whole milliseconds (a rate of 0 plays as 1
// a second).
double framePeriod(const GameAnimationEntry& entry)
{
    return entry.FrameLerpMs > 0 ? entry.FrameLerpMs / 1000.0 : 1.0;
}

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
        noteShaders(player_.Lower);
    }

    tinygltf::Model Build()
    {
        // The buffer holds about 12 bytes per vertex and frame; reserved at
        // once, it is never copied while it grows.
        size_t vertexRecords = 0;
        for (const GamePart* part : {&player_.Lower, &player_.Upper, &player_.Head})
            for (const TMesh& mesh : part->model.Meshes)
                vertexRecords += mesh.Vertices.size();
        bytes().reserve(vertexRecords * kReservedBytesPerVertex);
        tinygltf::Node root;
        root.name = utf8Name(character_.name);
        root.scale = {kMetresPerGameUnit, kMetresPerGameUnit, kMetresPerGameUnit};
        const int legs = addPart(player_.Lower.model);
        root.children.push_back(legs);
        model_.nodes.push_back(root);
        tinygltf::Scene scene;
        scene.name = utf8Name(character_.name);
        scene.nodes.push_back(static_cast<int>(model_.nodes.size()) - 1);
        model_.scenes.push_back(scene);
        model_.defaultScene = 0;
        addVariants();
        for (size_t k = 0; k < player_.Animations.size(); ++k)
            addAnimation(static_cast<uint32_t>(k));
        addPools();
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

    // Sparse accessors: only the elements that differ from zero are stored,
    // each with its index. Their indices and values go into one pool per
    // component type, each a view of its own once everything is built.
    enum Pool { Index8, Index16, Index32, Shorts, Bytes, UnsignedBytes, Floats, kPools };
    struct Sparse {
        int accessor;
        Pool indices, values;
    };

    template <class T> void pour(Pool pool, const std::vector<T>& values, size_t& offset)
    {
        std::vector<uint8_t>& into = pools_[pool];
        into.resize((into.size() + sizeof(T) - 1) / sizeof(T) * sizeof(T));
        offset = into.size();
        const auto* from = reinterpret_cast<const uint8_t*>(values.data());
        into.insert(into.end(), from, from + values.size() * sizeof(T));
    }

    // Pours listed (strictly increasing, each below count) into the index
    // pool of the narrowest type that holds count; the index pool and offset.
    std::pair<Pool, size_t> pourIndices(const std::vector<uint32_t>& listed, size_t count)
    {
        size_t offset = 0;
        if (count <= std::numeric_limits<uint8_t>::max() + size_t{1}) {
            pour(Index8, std::vector<uint8_t>(listed.begin(), listed.end()), offset);
            return {Index8, offset};
        }
        if (count <= std::numeric_limits<uint16_t>::max() + size_t{1}) {
            pour(Index16, std::vector<uint16_t>(listed.begin(), listed.end()), offset);
            return {Index16, offset};
        }
        pour(Index32, listed, offset);
        return {Index32, offset};
    }

    // A sparse accessor of count elements, zero but for the listed ones.
    template <class T> int addSparse(const std::pair<Pool, size_t>& indices, size_t listed, Pool pool,
                                     const std::vector<T>& values, int componentType, int type, size_t count,
                                     bool normalized, std::vector<double> low = {}, std::vector<double> high = {})
    {
        const int accessor = addAccessor(-1, 0, componentType, type, count, normalized, std::move(low), std::move(high));
        tinygltf::Accessor& made = model_.accessors.back();
        made.sparse.isSparse = true;
        made.sparse.count = static_cast<int>(listed);
        made.sparse.indices.byteOffset = static_cast<int>(indices.second);
        made.sparse.indices.componentType = indices.first == Index8    ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE
                                            : indices.first == Index16 ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT
                                                                       : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
        size_t offset = 0;
        pour(pool, values, offset);
        made.sparse.values.byteOffset = static_cast<int>(offset);
        sparse_.push_back({accessor, indices.first, pool});
        return accessor;
    }

    // The pools as views, and the sparse accessors pointed at them.
    void addPools()
    {
        std::array<int, kPools> views{};
        for (size_t pool = 0; pool < kPools; ++pool)
            views[pool] = pools_[pool].empty() ? -1 : addView(pools_[pool].data(), pools_[pool].size(), 0, 0);
        for (const Sparse& s : sparse_) {
            tinygltf::Accessor& accessor = model_.accessors[static_cast<size_t>(s.accessor)];
            accessor.sparse.indices.bufferView = views[s.indices];
            accessor.sparse.values.bufferView = views[s.values];
        }
    }

    // The base normal of a vertex: the middle of the directions it takes
    // (frame 0's where they cancel out), moved where needed to a direction
    // that every frame's differs from by at most 1 in each axis, so that
    // the differences fit normalised integers. lows and highs are the
    // frames' least and greatest values in each axis.
    static Vec3 baseNormal(Vec3 middle, const Vec3& lows, const Vec3& highs)
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
        if (inside || !(dot(nearest, nearest) <= 1) || !(dot(farthest, farthest) >= 1))
            return middle;
        // The point of unit length on the way from nearest to farthest, both
        // in the box of allowed directions.
        const Vec3 way{farthest[0] - nearest[0], farthest[1] - nearest[1], farthest[2] - nearest[2]};
        const double a = dot(way, way), b = 2 * dot(nearest, way), c = dot(nearest, nearest) - 1;
        const double t = a > 0 ? (-b + std::sqrt(std::max(0.0, b * b - 4 * a * c))) / (2 * a) : 0;
        Vec3 unit{nearest[0] + t * way[0], nearest[1] + t * way[1], nearest[2] + t * way[2]};
        return normalise(unit) ? unit : middle;
    }

    // The morph target of a frame: positions against frame 0's, normals
    // against base (as stored), both sparse over the vertices where either
    // differs: positions as bytes or 16-bit steps, normals as normalised
    // bytes; floats where a difference is beyond them. A target without
    // differences is zeros shared by the primitive's still targets.
    std::map<std::string, int> addTarget(const TMesh& mesh, size_t frame, const std::vector<std::array<int16_t, 4>>& base,
                                         std::array<int, 2>& zeros)
    {
        const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
        const TMD3Vertex* first = frameVertices(mesh, 0);
        const TMD3Vertex* moved = frameVertices(mesh, frame);
        std::vector<uint32_t> listed;
        std::vector<int32_t> steps;
        std::vector<double> turns;
        listed.reserve(count);
        steps.reserve(count * 3);
        turns.reserve(count * 3);
        std::vector<double> low(3, std::numeric_limits<double>::max()), high(3, std::numeric_limits<double>::lowest());
        bool stepsFit = true, turnsFit = true;
        for (size_t v = 0; v < count; ++v) {
            const auto from = toGltf<int32_t>(first[v].Position[0], first[v].Position[1], first[v].Position[2]);
            const auto to = toGltf<int32_t>(moved[v].Position[0], moved[v].Position[1], moved[v].Position[2]);
            const Vec3 normal = normalOf(moved[v]);
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
            listed.push_back(static_cast<uint32_t>(v));
            for (size_t c = 0; c < 3; ++c) {
                steps.push_back(step[c]);
                turns.push_back(turn[c]);
                stepsFit = stepsFit && step[c] >= std::numeric_limits<int16_t>::min() &&
                           step[c] <= std::numeric_limits<int16_t>::max();
                // The base is a short's step from a direction in reach of every frame's.
                turnsFit = turnsFit && std::abs(turn[c]) <= 1 + 2 / kShortNormal;
                low[c] = std::min(low[c], static_cast<double>(step[c]));
                high[c] = std::max(high[c], static_cast<double>(step[c]));
            }
        }
        if (listed.empty()) {
            if (zeros[0] < 0) {
                zeros[0] = addAccessor(-1, 0, TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, count, false,
                                       {0, 0, 0}, {0, 0, 0});
                zeros[1] = addAccessor(-1, 0, TINYGLTF_COMPONENT_TYPE_BYTE, TINYGLTF_TYPE_VEC3, count, true);
            }
            return {{"POSITION", zeros[0]}, {"NORMAL", zeros[1]}};
        }
        if (listed.size() < count) // the vertices left out are zeros
            for (size_t c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], 0.0);
                high[c] = std::max(high[c], 0.0);
            }
        const auto indices = pourIndices(listed, count);
        const bool stepsSmall = std::ranges::all_of(low, [](double v) { return v >= -127; }) &&
                                std::ranges::all_of(high, [](double v) { return v <= 127; });
        std::map<std::string, int> target;
        if (stepsSmall)
            target["POSITION"] = addSparse(indices, listed.size(), Bytes, std::vector<int8_t>(steps.begin(), steps.end()),
                                           TINYGLTF_COMPONENT_TYPE_BYTE, TINYGLTF_TYPE_VEC3, count, false, low, high);
        else if (stepsFit)
            target["POSITION"] = addSparse(indices, listed.size(), Shorts, std::vector<int16_t>(steps.begin(), steps.end()),
                                           TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, count, false, low, high);
        else
            target["POSITION"] = addSparse(indices, listed.size(), Floats, std::vector<float>(steps.begin(), steps.end()),
                                           TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, count, false, low, high);
        if (turnsFit) {
            std::vector<int8_t> bytes(turns.size());
            for (size_t i = 0; i < turns.size(); ++i)
                bytes[i] = static_cast<int8_t>(std::clamp<long>(std::lrint(turns[i] * kByteNormal), -127, 127));
            target["NORMAL"] = addSparse(indices, listed.size(), Bytes, bytes, TINYGLTF_COMPONENT_TYPE_BYTE,
                                         TINYGLTF_TYPE_VEC3, count, true);
        } else {
            target["NORMAL"] = addSparse(indices, listed.size(), Floats, std::vector<float>(turns.begin(), turns.end()),
                                         TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, count, false);
        }
        return target;
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
        // A frame whose records repeat an earlier frame's is that frame.
        std::unordered_map<std::string_view, size_t> seen;
        std::vector<size_t> sameAs(frames);
        for (size_t frame = 0; frame < frames; ++frame) {
            const std::string_view records(reinterpret_cast<const char*>(frameVertices(mesh, frame)),
                                           count * sizeof(TMD3Vertex));
            sameAs[frame] = seen.emplace(records, frame).first->second;
        }
        std::vector<Vec3> middles(count, Vec3{0, 0, 0});
        std::vector<Vec3> lows(count, Vec3{1, 1, 1}), highs(count, Vec3{-1, -1, -1});
        for (size_t frame = 0; frame < frames; ++frame) {
            if (sameAs[frame] != frame)
                continue;
            const TMD3Vertex* vertices = frameVertices(mesh, frame);
            for (size_t v = 0; v < count; ++v) {
                const Vec3 n = normalOf(vertices[v]);
                for (size_t c = 0; c < 3; ++c) {
                    middles[v][c] += n[c];
                    lows[v][c] = std::min(lows[v][c], n[c]);
                    highs[v][c] = std::max(highs[v][c], n[c]);
                }
            }
        }
        std::vector<int16_t> positions(count * 4, 0);
        std::vector<std::array<int16_t, 4>> normals(count, {0, 0, 0, 0});
        std::vector<float> texCoords(count * 2);
        for (size_t v = 0; v < count; ++v) {
            if (!normalise(middles[v]))
                middles[v] = normalOf(first[v]);
            const Vec3 normal = baseNormal(middles[v], lows[v], highs[v]);
            const auto p = toGltf(first[v].Position[0], first[v].Position[1], first[v].Position[2]);
            for (size_t c = 0; c < 3; ++c) {
                positions[v * 4 + c] = p[c];
                normals[v][c] = static_cast<int16_t>(std::lrint(normal[c] * kShortNormal));
            }
            texCoords[v * 2] = mesh.TexCoords[v].S;
            texCoords[v * 2 + 1] = mesh.TexCoords[v].T;
        }
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] =
            addVectors(positions, 3, 4, TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, false, true);
        primitive.attributes["NORMAL"] =
            addVectors(std::vector<int16_t>(normals.front().data(), normals.back().data() + 4), 3, 4,
                       TINYGLTF_COMPONENT_TYPE_SHORT, TINYGLTF_TYPE_VEC3, true, false);
        primitive.attributes["TEXCOORD_0"] =
            addVectors(texCoords, 2, 2, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, false, false);
        // The game's triangles turn clockwise seen from the front; glTF's
        // the other way.
        primitive.indices = count <= std::numeric_limits<uint16_t>::max()
                                ? addIndices<uint16_t>(mesh, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT)
                                : addIndices<uint32_t>(mesh, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
        std::array<int, 2> zeros{-1, -1};
        // A repeated frame shares its first showing's accessors.
        for (size_t frame = 0; frame < frames; ++frame)
            primitive.targets.push_back(sameAs[frame] == frame ? addTarget(mesh, frame, normals, zeros)
                                                               : primitive.targets[sameAs[frame]]);
        return primitive;
    }

    // The frame of part in the standing pose: the first of the standing
    // entry that plays on it, else frame 0.
    size_t standingFrame(const TMD3Model& part, size_t frames) const
    {
        for (const GameAnimationEntry& entry : standing_) {
            const bool plays = (&part == &player_.Lower.model && &entry == &standing_.front()) ||
                               (&part == &player_.Upper.model && &entry == &standing_.back());
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
                tagNode.name = utf8Name(MD3Name(tag.Name));
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
            decoded = ReadGameImageFile(*path).image;
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
        layout.zlibLevel = kImageZlibLevel;
        return platform::EncodePng(layout, rows);
    }

    int addTexture(const std::string& image, bool clamp, bool invertAlpha)
    {
        const std::string picture = platform::LowerCase(image) + (invertAlpha ? "|inverted" : "");
        const std::string key = picture + (clamp ? "|clamp" : "");
        if (const auto found = textures_.find(key); found != textures_.end())
            return found->second;
        // An image repeated and clamped is written once.
        auto [source, added] = images_.emplace(picture, -1);
        if (added) {
            const std::vector<uint8_t> png = pngOf(image, invertAlpha);
            if (!png.empty()) {
                tinygltf::Image made;
                made.name = image.empty() ? "default" : utf8Name(image);
                made.mimeType = "image/png";
                made.bufferView = addView(png.data(), png.size(), 0, 0);
                model_.images.push_back(made);
                source->second = static_cast<int>(model_.images.size()) - 1;
            }
        }
        int texture = -1;
        if (source->second >= 0) {
            tinygltf::Texture made;
            made.source = source->second;
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
        material.name = shader && !shader->name.empty() ? utf8Name(shader->name) : "(no shader)";
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
            variants.push_back(Value(Value::Object{{"name", Value(utf8Name(skin.name))}}));
        for (const auto& [mesh, primitive, surface] : primitiveSurfaces_) {
            std::map<int, Value::Array> byMaterial;
            for (size_t s = 0; s < character_.skins.size(); ++s) {
                const auto found = character_.skins[s].shaders.find(surface);
                const int material =
                    addMaterial(found == character_.skins[s].shaders.end() ? shaderOf(surface) : found->second);
                byMaterial[material].push_back(Value(static_cast<int>(s)));
                if (s == 0)
                    model_.meshes[static_cast<size_t>(mesh)].primitives[primitive].material = material;
            }
            if (character_.skins.empty()) {
                model_.meshes[static_cast<size_t>(mesh)].primitives[primitive].material = addMaterial(shaderOf(surface));
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
            // One weight of each key is 1: sparse, the rest are zeros.
            std::vector<uint32_t> listed;
            for (size_t key = 0; key < keyFrames.size(); ++key)
                listed.push_back(static_cast<uint32_t>(key * nodes.frames + ClampFrame(keyFrames[key], nodes.frames)));
            const size_t count = keyFrames.size() * nodes.frames;
            addSampler(animation, input,
                       addSparse(pourIndices(listed, count), listed.size(), UnsignedBytes,
                                 std::vector<uint8_t>(listed.size(), std::numeric_limits<uint8_t>::max()),
                                 TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_TYPE_SCALAR, count, true),
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
        const GameAnimationEntry& entry = player_.Animations[k];
        const bool legs = GameAnimationDrivesLegs(k), torso = GameAnimationDrivesTorso(k);
        if (name.empty() || emptyEntry(entry) || (!legs && !torso))
            return;
        size_t partFrames = 0;
        for (const GamePart* part : {legs ? &player_.Lower : nullptr, torso ? &player_.Upper : nullptr}) {
            if (part)
                partFrames = std::max(partFrames, part->model.Frames.size());
        }
        const EntryKeys keys = entryKeys(entry, partFrames);
        const double period = framePeriod(entry);
        const std::vector<int32_t>& keyFrames = keys.frames;
        const size_t looping = static_cast<size_t>(std::clamp<int64_t>(entry.LoopingFrames, 0, keys.count));
        std::vector<float> times;
        for (const int64_t place : keys.places)
            times.push_back(static_cast<float>(static_cast<double>(place) * period));
        tinygltf::Animation animation;
        animation.name = name;
        const int input =
            addVectors(times, 1, 1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_SCALAR, false, true, 0);
        Value::Array parts;
        if (legs) {
            addPartChannels(animation, input, player_.Lower.model, keyFrames);
            parts.emplace_back(std::string("legs"));
        }
        if (torso) {
            addPartChannels(animation, input, player_.Upper.model, keyFrames);
            parts.emplace_back(std::string("torso"));
        }
        if (animation.channels.empty())
            return;
        animation.extras = Value(Value::Object{
            {"index", Value(static_cast<int>(k))},
            {"firstFrame", Value(static_cast<int>(entry.FirstFrame))},
            {"frames", Value(static_cast<int>(std::min<int64_t>(keys.count, INT32_MAX)))},
            {"loopingFrames", Value(static_cast<int>(entry.LoopingFrames))},
            {"fps", Value(static_cast<int>(entry.FPS))},
            {"backwards", Value(entry.Reversed)},
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

    // The shaders the surfaces of part and what hangs on it are drawn with.
    void noteShaders(const GamePart& part)
    {
        if (!shadersNoted_.insert(&part).second)
            return;
        for (size_t i = 0; i < part.model.Meshes.size(); ++i)
            meshShaders_[&part.model.Meshes[i]] = part.ShaderOf(i);
        for (const GamePart* linked : part.links)
            if (linked)
                noteShaders(*linked);
    }

    const BoundShader* shaderOf(const TMesh* surface) const
    {
        const auto found = meshShaders_.find(surface);
        return found == meshShaders_.end() ? nullptr : found->second;
    }

    const CharacterExport& character_;
    const GamePlayer& player_;
    tinygltf::Model model_;
    std::map<const TMesh*, const BoundShader*> meshShaders_;
    std::set<const GamePart*> shadersNoted_;
    std::vector<GameAnimationEntry> standing_; // legs' then torso's standing entry
    std::map<const TMD3Model*, PartNodes> parts_;
    std::set<const TMD3Model*> path_;
    std::vector<PrimitiveSurface> primitiveSurfaces_;
    std::array<std::vector<uint8_t>, kPools> pools_;
    std::vector<Sparse> sparse_;
    std::map<const BoundShader*, int> materials_;
    std::map<std::string, int> textures_;
    std::map<std::string, int> images_;
    int repeatSampler_ = -1;
    int clampSampler_ = -1;
};

} // namespace

std::vector<SkinShaders> GatherSkins(GamePlayer& player, const std::string& folder,
                                     const std::vector<std::string>& names, TextureSet& textures)
{
    // Each skin as the game finds and reads it; a skin file it does not find
    // leaves the game's default shader on every surface of the part.
    const std::pair<GamePart*, CharacterFile> parts[] = {{&player.Lower, CharacterFile::LegsSkin},
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
                    read = ReadGameSkinFile(*path);
                } catch (const platform::EInOutError& e) {
                    platform::ShowMessage(e.what(), "Skin");
                }
            }
            BindGameSkin(*part, read, textures);
            for (size_t i = 0; i < part->model.Meshes.size(); ++i)
                skin.shaders[&part->model.Meshes[i]] = part->ShaderOf(i);
        }
    }
    if (!skins.empty())
        for (const auto& [part, file] : parts)
            for (size_t i = 0; i < part->model.Meshes.size(); ++i)
                part->shaders[i] = skins.front().shaders[&part->model.Meshes[i]];
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

namespace {

bool allFinite(const float* begin, const float* end)
{
    return std::all_of(begin, end, [](float v) { return std::isfinite(v); });
}

// The names of a set, quoted and joined: "'a', 'b'".
std::string quotedNames(const std::set<std::string>& names)
{
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "'" : ", '") + name + "'";
    return joined;
}

// Mends the values of part and of what hangs on it that are not numbers
// (glTF has no such numbers): a tag's origin is put at the part's origin,
// its axes taken as no turn, a texture coordinate taken as 0; one message
// for the tags and one for the surfaces names the file.
void mendNonNumbers(TMD3Model& part, std::set<const TMD3Model*>& seen)
{
    if (!seen.insert(&part).second)
        return;
    std::set<std::string> mendedTags, mendedSurfaces;
    for (TMD3Tag& tag : part.Tags) {
        const bool origin = !allFinite(std::begin(tag.Origin), std::end(tag.Origin));
        bool axes = false;
        for (const auto& axis : tag.Axis)
            axes = axes || !allFinite(std::begin(axis), std::end(axis));
        if (origin)
            std::fill(std::begin(tag.Origin), std::end(tag.Origin), 0.0f);
        if (axes) {
            for (int row = 0; row < 3; ++row)
                for (int col = 0; col < 3; ++col)
                    tag.Axis[row][col] = row == col ? 1.0f : 0.0f;
        }
        if (origin || axes)
            mendedTags.insert(MD3Name(tag.Name));
    }
    for (TMesh& mesh : part.Meshes)
        for (TMD3TexCoord& st : mesh.TexCoords)
            for (float* value : {&st.S, &st.T})
                if (!std::isfinite(*value)) {
                    *value = 0;
                    mendedSurfaces.insert(MD3Name(mesh.Header.Name));
                }
    if (!mendedTags.empty())
        platform::ShowMessage(part.FileName + ": tag " + quotedNames(mendedTags) +
                                  " holds values that are not numbers; exported at its part's origin, unturned",
                              kCaption);
    if (!mendedSurfaces.empty())
        platform::ShowMessage(part.FileName + ": surface " + quotedNames(mendedSurfaces) +
                                  " has texture coordinates that are not numbers; exported as 0",
                              kCaption);
    for (TMD3Model* linked : part.Links)
        if (linked)
            mendNonNumbers(*linked, seen);
}

} // namespace

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
        GamePlayer player;
        GamePart weapon;
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
            std::set<const TMD3Model*> seen;
            mendNonNumbers(player.Lower.model, seen);
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
