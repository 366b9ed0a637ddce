#include "tools/samples/MeshBuilder.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace samples {

namespace {

constexpr float kDegrees = std::numbers::pi_v<float> / 180.0f;

float along(float from, float to, int i, int count) { return from + (to - from) * float(i) / float(count); }

} // namespace

SurfaceBuilder::SurfaceBuilder(std::string name, std::string shader)
    : name_(std::move(name)), shader_(std::move(shader))
{
}

int32_t SurfaceBuilder::addVertex(int bone, const Transform& place, Vec3 position, Vec3 normal, float s, float t)
{
    vertices_.push_back({bone, place.point(position), normalise(place.direction(normal)), s, t});
    return static_cast<int32_t>(vertices_.size() - 1);
}

// Triangulates a grid of rows x columns vertices laid out row by row from
// first, rows running down the solid and columns turning counter-clockwise
// seen from above; that order makes each quad (r,c) (r+1,c) (r+1,c+1) (r,c+1)
// counter-clockwise from outside. Rows that collapse to a pole keep one
// triangle per quad so that no triangle is degenerate.
void SurfaceBuilder::addGrid(int first, int rows, int columns, bool skipTopFan, bool skipBottomFan)
{
    for (int r = 0; r + 1 < rows; ++r) {
        for (int c = 0; c + 1 < columns; ++c) {
            const int32_t a = first + r * columns + c;
            const int32_t b = a + columns;
            const int32_t d = a + 1;
            const int32_t e = b + 1;
            // At a top pole a and d coincide, at a bottom pole b and e.
            const bool top = skipTopFan && r == 0;
            const bool bottom = skipBottomFan && r + 2 == rows;
            if (top && bottom)
                throw std::logic_error("a grid of one row cannot close at both poles");
            if (!bottom)
                triangles_.push_back({a, b, e});
            if (!top)
                triangles_.push_back({a, e, d});
        }
    }
}

void SurfaceBuilder::addEllipsoid(int bone, const Transform& place, const EllipsoidShape& shape, UvRect uv)
{
    const int first = static_cast<int>(vertices_.size());
    const Vec3 r = shape.radii;
    for (int i = 0; i <= shape.rings; ++i) {
        const float polar = along(shape.polar.from, shape.polar.to, i, shape.rings) * kDegrees;
        for (int j = 0; j <= shape.segments; ++j) {
            const float azimuth = along(shape.azimuth.from, shape.azimuth.to, j, shape.segments) * kDegrees;
            const Vec3 unit{std::sin(polar) * std::cos(azimuth), std::sin(polar) * std::sin(azimuth),
                            std::cos(polar)};
            const Vec3 p{unit.x * r.x, unit.y * r.y, unit.z * r.z};
            // The gradient of the implicit surface is the outward normal.
            const Vec3 n{unit.x / r.x, unit.y / r.y, unit.z / r.z};
            addVertex(bone, place, p, n, along(uv.s0, uv.s1, j, shape.segments),
                      along(uv.t0, uv.t1, i, shape.rings));
        }
    }
    addGrid(first, shape.rings + 1, shape.segments + 1, shape.polar.from <= 0.0f, shape.polar.to >= 180.0f);
}

void SurfaceBuilder::addTube(int bone, const Transform& place, const TubeShape& shape, UvRect uv)
{
    const int first = static_cast<int>(vertices_.size());
    const float dx = shape.bottomX - shape.topX;
    const float dy = shape.bottomY - shape.topY;
    for (int i = 0; i <= 1; ++i) {
        const float rx = i == 0 ? shape.topX : shape.bottomX;
        const float ry = i == 0 ? shape.topY : shape.bottomY;
        for (int j = 0; j <= shape.segments; ++j) {
            const float a = along(-180.0f, 180.0f, j, shape.segments) * kDegrees;
            const Vec3 p{rx * std::cos(a), ry * std::sin(a), -shape.length * float(i)};
            // Cross product of the tangents around and along the tube; the
            // taper tilts it up or down.
            const Vec3 around{-rx * std::sin(a), ry * std::cos(a), 0.0f};
            const Vec3 down{dx * std::cos(a), dy * std::sin(a), -shape.length};
            addVertex(bone, place, p, cross(around, down) * -1.0f, along(uv.s0, uv.s1, j, shape.segments),
                      i == 0 ? uv.t0 : uv.t1);
        }
    }
    addGrid(first, 2, shape.segments + 1, false, false);
    if (!shape.caps)
        return;
    for (int end = 0; end <= 1; ++end) {
        const float rx = end == 0 ? shape.topX : shape.bottomX;
        const float ry = end == 0 ? shape.topY : shape.bottomY;
        const float z = -shape.length * float(end);
        const Vec3 normal{0.0f, 0.0f, end == 0 ? 1.0f : -1.0f};
        const float sMid = (uv.s0 + uv.s1) * 0.5f;
        const float tEnd = end == 0 ? uv.t0 : uv.t1;
        const int32_t centre = addVertex(bone, place, Vec3{0, 0, z}, normal, sMid, tEnd);
        for (int j = 0; j < shape.segments; ++j) {
            const float a0 = along(-180.0f, 180.0f, j, shape.segments) * kDegrees;
            const float a1 = along(-180.0f, 180.0f, j + 1, shape.segments) * kDegrees;
            const int32_t p0 = addVertex(bone, place, Vec3{rx * std::cos(a0), ry * std::sin(a0), z}, normal,
                                         along(uv.s0, uv.s1, j, shape.segments), tEnd);
            const int32_t p1 = addVertex(bone, place, Vec3{rx * std::cos(a1), ry * std::sin(a1), z}, normal,
                                         along(uv.s0, uv.s1, j + 1, shape.segments), tEnd);
            if (end == 0)
                triangles_.push_back({centre, p0, p1});
            else
                triangles_.push_back({centre, p1, p0});
        }
    }
}

void SurfaceBuilder::addBox(int bone, const Transform& place, Vec3 lo, Vec3 hi, UvRect uv)
{
    const Vec3 centre = (lo + hi) * 0.5f;
    const Vec3 half = (hi - lo) * 0.5f;
    // Each face: its normal and two edge directions whose cross product is
    // the normal, so the corner order below runs counter-clockwise.
    const std::array<std::array<Vec3, 3>, 6> faces{{
        {Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}},
        {Vec3{-1, 0, 0}, Vec3{0, -1, 0}, Vec3{0, 0, 1}},
        {Vec3{0, 1, 0}, Vec3{-1, 0, 0}, Vec3{0, 0, 1}},
        {Vec3{0, -1, 0}, Vec3{1, 0, 0}, Vec3{0, 0, 1}},
        {Vec3{0, 0, 1}, Vec3{1, 0, 0}, Vec3{0, 1, 0}},
        {Vec3{0, 0, -1}, Vec3{0, 1, 0}, Vec3{1, 0, 0}},
    }};
    auto scaled = [&](Vec3 d) { return Vec3{d.x * half.x, d.y * half.y, d.z * half.z}; };
    for (const auto& [normal, a, b] : faces) {
        const Vec3 mid = centre + scaled(normal);
        const int32_t first = static_cast<int32_t>(vertices_.size());
        addVertex(bone, place, mid - scaled(a) - scaled(b), normal, uv.s0, uv.t1);
        addVertex(bone, place, mid + scaled(a) - scaled(b), normal, uv.s1, uv.t1);
        addVertex(bone, place, mid + scaled(a) + scaled(b), normal, uv.s1, uv.t0);
        addVertex(bone, place, mid - scaled(a) + scaled(b), normal, uv.s0, uv.t0);
        triangles_.push_back({first, first + 1, first + 2});
        triangles_.push_back({first, first + 2, first + 3});
    }
}

writers::Md3Surface SurfaceBuilder::bake(const RigFrames& rig) const
{
    writers::Md3Surface surface;
    surface.name = name_;
    surface.shaders = {shader_};
    // The solids are built counter-clockwise from outside; the game's model
    // files wind their triangles the other way round, and character mode
    // culls faces as the game does.
    surface.triangles.reserve(triangles_.size());
    for (const auto& t : triangles_)
        surface.triangles.push_back({t[0], t[2], t[1]});
    for (const auto& v : vertices_)
        surface.texCoords.push_back({v.s, v.t});
    for (const auto& bones : rig) {
        std::vector<writers::Md3Vertex> frame;
        frame.reserve(vertices_.size());
        for (const auto& v : vertices_) {
            const Transform& bone = bones.at(static_cast<std::size_t>(v.bone));
            frame.push_back({bone.point(v.position), normalise(bone.direction(v.normal))});
        }
        surface.frames.push_back(std::move(frame));
    }
    return surface;
}

} // namespace samples
