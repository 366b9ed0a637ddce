#include "PartBuilder.h"

#include "game/GameCharacter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace gltfin {

namespace {

constexpr double kSteps = 64.0; // the format's position steps per unit
constexpr size_t kMostName = kMD3NameLength - 1;

template <size_t N> void putName(char (&field)[N], const std::string& name)
{
    std::memset(field, 0, N);
    std::memcpy(field, name.data(), std::min(name.size(), N - 1));
}

std::string cutName(const std::string& name, const std::string& what, std::vector<std::string>& notes)
{
    if (name.size() <= kMostName)
        return name;
    notes.push_back(what + " '" + name + "' is longer than the format's " + std::to_string(kMostName) +
                    " bytes; cut to '" + name.substr(0, kMostName) + "'");
    return name.substr(0, kMostName);
}

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

bool normalise(Vec3& v)
{
    const double length = std::sqrt(dot(v, v));
    if (!(length > 1e-9) || !std::isfinite(length))
        return false;
    for (double& c : v)
        c /= length;
    return true;
}

// One surface quantised: its vertices as the file's records, frame-major.
struct Quantised {
    std::vector<TMD3Vertex> records; // frames x vertices
    double farthest = 0;             // the largest distance of a coordinate from the origin, in units
    size_t farthestFrame = 0;
};

Quantised quantise(const BakedSurface& surface, size_t frames)
{
    const size_t count = surface.texCoords.size();
    Quantised q;
    q.records.resize(frames * count);
    for (size_t f = 0; f < frames; ++f)
        for (size_t v = 0; v < count; ++v) {
            TMD3Vertex& r = q.records[f * count + v];
            for (size_t c = 0; c < 3; ++c) {
                const double p = surface.positions[f][v][c];
                const double away = std::isfinite(p) ? std::abs(p) : std::numeric_limits<double>::infinity();
                if (away > q.farthest) {
                    q.farthest = away;
                    q.farthestFrame = f;
                }
                r.Position[c] = static_cast<int16_t>(std::clamp<double>(std::round(p * kSteps), INT16_MIN, INT16_MAX));
            }
            const Vec3& n = surface.normals[f][v];
            const auto code = NearestNormalCode(n[0], n[1], n[2]);
            r.Normal[0] = code[0];
            r.Normal[1] = code[1];
        }
    return q;
}

// A surface welded: each vertex the first of those that agree in every frame.
struct Welded {
    std::vector<size_t> kept;                       // the baked vertex of each kept one
    std::vector<std::array<uint32_t, 3>> triangles; // over the kept vertices
};

Welded weld(const BakedSurface& surface, const Quantised& q, size_t frames)
{
    const size_t count = surface.texCoords.size();
    Welded w;
    std::unordered_map<std::string, uint32_t> seen;
    std::vector<uint32_t> to(count);
    for (size_t v = 0; v < count; ++v) {
        std::string key(reinterpret_cast<const char*>(surface.texCoords[v].data()), sizeof(float) * 2);
        for (size_t f = 0; f < frames; ++f)
            key.append(reinterpret_cast<const char*>(&q.records[f * count + v]), sizeof(TMD3Vertex));
        const auto [at, added] = seen.emplace(std::move(key), static_cast<uint32_t>(w.kept.size()));
        if (added)
            w.kept.push_back(v);
        to[v] = at->second;
    }
    for (const auto& t : surface.triangles) {
        const std::array<uint32_t, 3> made{to[t[0]], to[t[1]], to[t[2]]};
        // A triangle whose corners welded together draws nothing.
        if (made[0] != made[1] && made[1] != made[2] && made[0] != made[2])
            w.triangles.push_back(made);
    }
    return w;
}

// The triangles of a welded surface in runs that each fit the game's limits.
std::vector<std::vector<std::array<uint32_t, 3>>> splitRuns(const Welded& w)
{
    const size_t mostVertices = kMostSurfaceVertices, mostTriangles = kMostSurfaceTriangles;
    std::vector<std::vector<std::array<uint32_t, 3>>> runs(1);
    std::unordered_map<uint32_t, bool> used;
    for (const auto& t : w.triangles) {
        size_t added = 0;
        for (const uint32_t v : t)
            added += used.count(v) ? 0 : 1;
        if (runs.back().size() + 1 > mostTriangles || used.size() + added > mostVertices) {
            runs.emplace_back();
            used.clear();
        }
        runs.back().push_back(t);
        for (const uint32_t v : t)
            used[v] = true;
    }
    return runs;
}

TMesh makeSurface(const std::string& name, const BakedSurface& surface, const Quantised& q, const Welded& w,
                  const std::vector<std::array<uint32_t, 3>>& run, size_t frames)
{
    const size_t count = surface.texCoords.size();
    std::unordered_map<uint32_t, uint32_t> index;
    std::vector<uint32_t> order;
    TMesh mesh;
    for (const auto& t : run) {
        TMD3Triangle& made = mesh.Triangles.emplace_back();
        for (size_t c = 0; c < 3; ++c) {
            const auto [at, added] = index.emplace(t[c], static_cast<uint32_t>(order.size()));
            if (added)
                order.push_back(t[c]);
            made.Index[c] = static_cast<int32_t>(at->second);
        }
    }
    std::memcpy(mesh.Header.Ident, "IDP3", 4);
    putName(mesh.Header.Name, name);
    mesh.TexCoords.resize(order.size());
    mesh.Vertices.resize(frames * order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const size_t baked = w.kept[order[i]];
        mesh.TexCoords[i] = {surface.texCoords[baked][0], surface.texCoords[baked][1]};
        for (size_t f = 0; f < frames; ++f)
            mesh.Vertices[f * order.size() + i] = q.records[f * count + baked];
    }
    mesh.Header.NumFrames = static_cast<int32_t>(frames);
    mesh.Header.NumVerts = static_cast<int32_t>(order.size());
    mesh.Header.NumTriangles = static_cast<int32_t>(mesh.Triangles.size());
    return mesh;
}

// Each frame's bounds, origin and radius over every surface, and a name.
void addFrames(TMD3Model& md3, size_t frames)
{
    md3.Frames.resize(frames);
    for (size_t f = 0; f < frames; ++f) {
        float bounds[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        bool any = false;
        for (const TMesh& mesh : md3.Meshes) {
            const size_t count = static_cast<size_t>(mesh.Header.NumVerts);
            for (size_t v = 0; v < count; ++v) {
                const TMD3Vertex& r = mesh.Vertices[f * count + v];
                float radius = 0;
                for (size_t c = 0; c < 3; ++c) {
                    const float p = static_cast<float>(r.Position[c] / kSteps);
                    bounds[c] = any ? std::min(bounds[c], p) : p;
                    bounds[3 + c] = any ? std::max(bounds[3 + c], p) : p;
                    radius += p * p;
                }
                bounds[9] = std::max(bounds[9], std::sqrt(radius));
                any = true;
            }
        }
        std::memset(md3.Frames[f].Data, 0, sizeof md3.Frames[f].Data);
        std::memcpy(md3.Frames[f].Data, bounds, sizeof bounds);
        const std::string name = "frame" + std::to_string(f);
        std::memcpy(md3.Frames[f].Data + sizeof bounds, name.data(), std::min<size_t>(name.size(), 15));
    }
}

} // namespace

std::array<Vec3, 3> OrthonormalAxes(const std::array<Vec3, 3>& axes)
{
    Vec3 a = axes[0], b = axes[1];
    if (!normalise(a))
        return {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
    const double along = dot(a, b);
    for (size_t c = 0; c < 3; ++c)
        b[c] -= along * a[c];
    if (!normalise(b))
        return {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
    const Vec3 c{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    return {a, b, c};
}

TMD3Model BuildPart(const BakedPart& part, std::vector<size_t>& sources, std::vector<std::string>& notes,
                    std::vector<std::string>& refusals)
{
    TMD3Model md3;
    std::memcpy(md3.Header.Ident, "IDP3", 4);
    md3.Header.Version = kMD3Version;
    putName(md3.Header.Name, part.fileName);
    const size_t frames = std::max<size_t>(1, part.frames);
    constexpr double kFarthest = INT16_MAX / kSteps;
    for (size_t s = 0; s < part.surfaces.size(); ++s) {
        const BakedSurface& surface = part.surfaces[s];
        const Quantised q = quantise(surface, frames);
        if (q.farthest > kFarthest) {
            refusals.push_back(part.fileName + ": surface '" + surface.name + "' reaches " +
                               std::to_string(q.farthest) + " units from the part's origin in frame " +
                               std::to_string(q.farthestFrame) + "; the format holds " + std::to_string(kFarthest) +
                               " at most (over by " + std::to_string(q.farthest - kFarthest) + ")");
            continue;
        }
        const Welded w = weld(surface, q, frames);
        if (w.kept.size() < surface.texCoords.size())
            notes.push_back(part.fileName + ": surface '" + surface.name + "': " +
                            std::to_string(surface.texCoords.size() - w.kept.size()) +
                            " vertices welded to others that agree in every frame");
        const auto runs = splitRuns(w);
        if (runs.size() > 1)
            notes.push_back(part.fileName + ": surface '" + surface.name + "' has " + std::to_string(w.kept.size()) +
                            " vertices and " + std::to_string(w.triangles.size()) +
                            " triangles, over the game's limit of " + std::to_string(kMostSurfaceVertices) +
                            " vertices and " + std::to_string(kMostSurfaceTriangles) + " triangles; split into " +
                            std::to_string(runs.size()) + " surfaces with its skin line each");
        for (size_t r = 0; r < runs.size(); ++r) {
            const std::string suffix = r == 0 ? "" : "_" + std::to_string(r + 1);
            const std::string name = cutName(surface.name.substr(0, kMostName - suffix.size()) + suffix,
                                             "surface name", notes);
            md3.Meshes.push_back(makeSurface(name, surface, q, w, runs[r], frames));
            sources.push_back(s);
        }
    }
    std::vector<std::string> tagNames;
    for (const BakedTag& tag : part.tags)
        tagNames.push_back(cutName(tag.name, "tag name", notes));
    md3.Tags.resize(frames * part.tags.size());
    for (size_t f = 0; f < frames; ++f)
        for (size_t t = 0; t < part.tags.size(); ++t) {
            const BakedTag& baked = part.tags[t];
            TMD3Tag& tag = md3.Tags[f * part.tags.size() + t];
            putName(tag.Name, tagNames[t]);
            const std::array<Vec3, 4>& frame = baked.frames[std::min(f, baked.frames.size() - 1)];
            const std::array<Vec3, 3> axes = OrthonormalAxes({frame[1], frame[2], frame[3]});
            for (size_t c = 0; c < 3; ++c) {
                tag.Origin[c] = static_cast<float>(frame[0][c]);
                for (size_t a = 0; a < 3; ++a)
                    tag.Axis[a][c] = static_cast<float>(axes[a][c]);
            }
        }
    addFrames(md3, frames);
    md3.Header.NumFrames = static_cast<int32_t>(frames);
    md3.Header.NumTags = static_cast<int32_t>(part.tags.size());
    md3.Header.NumSurfaces = static_cast<int32_t>(md3.Meshes.size());
    md3.Links.assign(part.tags.size(), nullptr);
    return md3;
}

} // namespace gltfin
