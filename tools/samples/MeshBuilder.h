#pragma once
// Builds one MD3 surface out of simple solids, each riding on one bone of a
// rig; baking evaluates every vertex under its bone's transform per frame.
//
// Texture coordinates: s runs around a solid, with the front (+X) at the
// middle of its rectangle and the seam at the back; t runs from the top of
// the image (t = 0) down, matching how the images are painted.
#include "tools/samples/Transform.h"
#include "tools/writers/Md3Writer.h"

#include <string>
#include <vector>

namespace samples {

struct UvRect {
    float s0 = 0.0f;
    float t0 = 0.0f;
    float s1 = 1.0f;
    float t1 = 1.0f;
};

// An angle range in degrees.
struct Span {
    float from = 0.0f;
    float to = 0.0f;
};

// Polar angle from +Z (0 … 180) and azimuth from +X towards +Y (−180 … 180).
struct EllipsoidShape {
    Vec3 radii;
    int rings = 8;
    int segments = 12;
    Span polar{0.0f, 180.0f};
    Span azimuth{-180.0f, 180.0f};
};

// A tube hanging from its origin along −Z, with elliptic cross-sections of
// radii (x, y) at the top and at the bottom.
struct TubeShape {
    float length = 1.0f;
    float topX = 1.0f, topY = 1.0f;
    float bottomX = 1.0f, bottomY = 1.0f;
    int segments = 10;
    bool caps = false;
};

// Bone transforms of every frame: bones[frame][bone].
using RigFrames = std::vector<std::vector<Transform>>;

class SurfaceBuilder {
public:
    SurfaceBuilder(std::string name, std::string shader);

    // Solids are placed in their bone's frame by place; every triangle winds
    // clockwise seen from outside once baked, as in the game's model files.
    void addEllipsoid(int bone, const Transform& place, const EllipsoidShape& shape, UvRect uv);
    void addTube(int bone, const Transform& place, const TubeShape& shape, UvRect uv);
    void addBox(int bone, const Transform& place, Vec3 lo, Vec3 hi, UvRect uv);

    // The surface with one vertex set per frame of the rig.
    writers::Md3Surface bake(const RigFrames& rig) const;

private:
    struct Vertex {
        int bone;
        Vec3 position;
        Vec3 normal;
        float s, t;
    };
    int32_t addVertex(int bone, const Transform& place, Vec3 position, Vec3 normal, float s, float t);
    void addGrid(int first, int rows, int columns, bool skipTopFan, bool skipBottomFan);

    std::string name_;
    std::string shader_;
    std::vector<Vertex> vertices_;
    std::vector<std::array<int32_t, 3>> triangles_;
};

} // namespace samples
