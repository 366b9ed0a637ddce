#pragma once
// MD3 files written field by field at their byte offsets, independently of
// the reader's records, so that a layout mistake in either shows up.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace md3files {

struct Vertex {
    int16_t x = 0, y = 0, z = 0; // 1/64 units
    uint8_t u = 0, w = 0;        // normal bytes
};

struct Tag {
    std::string name;
    std::array<float, 3> origin{};
    std::array<float, 9> axes{1, 0, 0, 0, 1, 0, 0, 0, 1};
};

struct Surface {
    std::string name;
    int32_t vertexFrames = 1;
    std::vector<std::string> shaders;
    std::vector<std::array<int32_t, 3>> triangles;
    std::vector<std::array<float, 2>> texCoords; // V entries
    std::vector<Vertex> vertices;                // vertexFrames x V, frame-major
};

struct Model {
    std::string ident = "IDP3";
    int32_t version = 15;
    int32_t frames = 1;
    int32_t tagsPerFrame = 0;
    std::vector<Tag> tags; // frames x tagsPerFrame, frame-major
    std::vector<Surface> surfaces;
};

// Where things were written, for patching.
struct SurfaceLayout {
    size_t start, shaders, triangles, texCoords, vertices, end;
};
struct Layout {
    size_t tags = 0;
    std::vector<SurfaceLayout> surfaces;
};

std::string build(const Model& model, Layout* layout = nullptr);
void put32(std::string& bytes, size_t at, int32_t value);

// Header and surface-header field offsets.
constexpr size_t kFrameCount = 76, kTagCount = 80, kSurfaceCount = 84, kFrameOffset = 92, kTagOffset = 96,
                 kSurfaceOffset = 100, kEndOffset = 104;
constexpr size_t kSurfFrames = 72, kSurfShaders = 76, kSurfVerts = 80, kSurfTriangles = 84, kSurfTriangleOffset = 88,
                 kSurfShaderOffset = 92, kSurfStOffset = 96, kSurfVertexOffset = 100, kSurfEndOffset = 104;

// A surface of one triangle over vertices (x, y, z) + frame * step, with
// the given name.
Surface triangleSurface(const std::string& name, int frames = 2, std::array<int16_t, 3> step = {8, 4, 2});

} // namespace md3files
