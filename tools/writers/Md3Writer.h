#pragma once
// Builds MD3 files in memory: a model is described with float positions and
// unit normals, and serialiseMd3 turns it into the bytes of a file in the
// standard arrangement (header, frames, tags, surfaces; inside each surface
// its header, shaders, triangles, texture coordinates and vertices).
//
// File layout written (little-endian):
//   0                      header, 108 bytes
//   108                    F frame records, 56 bytes each
//   108 + 56F              F*T tag records, 112 bytes each, frame by frame
//   108 + 56F + 112FT      S surfaces, one after the other
// Surface at P:
//   P                      surface header, 108 bytes
//   P + 108                shader records, 68 bytes each (or after the
//                          triangles, Md3ShaderPlace)
//   then                   N triangles (3 x int32), V texture coordinates
//                          (2 x float32), Fs*V vertices (3 x int16, 2 bytes)
//
// The byte offsets of the header fields are named below so that tests can
// patch a well-formed file into a broken one.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace writers {

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Attachment point of one frame: origin and three orthonormal axes.
struct Md3Tag {
    std::string name;
    Vec3 origin;
    std::array<Vec3, 3> axes{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}};
};

struct Md3Vertex {
    Vec3 position; // model units; stored as round(value * 64)
    Vec3 normal;   // unit vector; stored as the closest byte pair
};

struct Md3Surface {
    std::string name;
    int32_t flags = 0;
    std::vector<std::string> shaders;
    std::vector<std::array<int32_t, 3>> triangles;
    std::vector<std::array<float, 2>> texCoords; // one (s, t) per vertex
    std::vector<std::vector<Md3Vertex>> frames;  // frames[f][v]; every frame has texCoords.size() vertices
};

// Where a surface's shader records go: right after its header (the standard
// arrangement), or after its triangles, as some exporters write them (the
// surface's shader offset says where).
enum class Md3ShaderPlace { AfterHeader, AfterTriangles };

struct Md3Model {
    std::string name;
    Md3ShaderPlace shaderPlace = Md3ShaderPlace::AfterHeader;
    int32_t flags = 0;
    int32_t skinCount = 0;
    int32_t frameCount = 0;
    std::vector<std::vector<Md3Tag>> tags; // tags[f][t]: frameCount rows of equal length
    std::vector<Md3Surface> surfaces;
};

namespace md3 {

inline constexpr int32_t kVersion = 15;
inline constexpr float kXyzScale = 64.0f;
inline constexpr std::size_t kNameSize = 64;
inline constexpr std::size_t kFrameNameSize = 16;

inline constexpr std::size_t kHeaderSize = 108;
inline constexpr std::size_t kFrameSize = 56;
inline constexpr std::size_t kTagSize = 112;
inline constexpr std::size_t kSurfaceHeaderSize = 108;
inline constexpr std::size_t kShaderSize = 68;
inline constexpr std::size_t kTriangleSize = 12;
inline constexpr std::size_t kTexCoordSize = 8;
inline constexpr std::size_t kVertexSize = 8;

// File header fields.
inline constexpr std::size_t kIdent = 0;
inline constexpr std::size_t kVersionField = 4;
inline constexpr std::size_t kName = 8;
inline constexpr std::size_t kFlags = 72;
inline constexpr std::size_t kFrameCount = 76;
inline constexpr std::size_t kTagCount = 80;
inline constexpr std::size_t kSurfaceCount = 84;
inline constexpr std::size_t kSkinCount = 88;
inline constexpr std::size_t kFrameOffset = 92;
inline constexpr std::size_t kTagOffset = 96;
inline constexpr std::size_t kSurfaceOffset = 100;
inline constexpr std::size_t kEndOffset = 104;

// Surface header fields, relative to the surface's start.
inline constexpr std::size_t kSurfIdent = 0;
inline constexpr std::size_t kSurfName = 4;
inline constexpr std::size_t kSurfFlags = 68;
inline constexpr std::size_t kSurfFrameCount = 72;
inline constexpr std::size_t kSurfShaderCount = 76;
inline constexpr std::size_t kSurfVertexCount = 80;
inline constexpr std::size_t kSurfTriangleCount = 84;
inline constexpr std::size_t kSurfTriangleOffset = 88;
inline constexpr std::size_t kSurfShaderOffset = 92;
inline constexpr std::size_t kSurfTexCoordOffset = 96;
inline constexpr std::size_t kSurfVertexOffset = 100;
inline constexpr std::size_t kSurfEndOffset = 104;

// Tag record fields.
inline constexpr std::size_t kTagName = 0;
inline constexpr std::size_t kTagOrigin = 64;
inline constexpr std::size_t kTagAxes = 76;

} // namespace md3

// Serialises the model; throws std::invalid_argument when the description is
// inconsistent (tag rows of unequal length, vertex and texture-coordinate
// counts that differ, names too long for their field, positions beyond the
// int16 range after scaling).
std::string serialiseMd3(const Md3Model& model);

// Byte pair (u, w) whose decoded normal is closest to the given unit vector.
std::pair<uint8_t, uint8_t> encodeNormal(const Vec3& normal);

// The unit normal a reader decodes from the byte pair (u, w).
Vec3 decodeNormal(uint8_t u, uint8_t w);

// The stored int16 of a coordinate: round(value * 64), halves away from zero.
// Throws std::invalid_argument when it does not fit.
int16_t encodeCoordinate(float value);

// Little-endian field access for patching serialised files.
void patchInt32(std::string& bytes, std::size_t at, int32_t value);
int32_t readInt32(const std::string& bytes, std::size_t at);
float readFloat(const std::string& bytes, std::size_t at);

// Start of every surface of a well-formed serialised file, walking the
// surface end offsets from the first surface after the tags.
std::vector<std::size_t> surfaceStarts(const std::string& bytes);

} // namespace writers
