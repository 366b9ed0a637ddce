#pragma once
// A part baked from a glTF file made into the MD3 records the game reads,
// within the format's and the game's limits: positions in the format's
// 1/64 steps and normals as its angle bytes, vertices welded where every
// frame's position and normal and the texture coordinates agree, surfaces
// over the game's vertex or triangle limit split into surfaces that fit,
// tag axes made orthonormal, names cut to the format's 64 bytes.
#include "GltfScene.h"

#include "model/Model.h"

#include <string>
#include <vector>

namespace gltfin {

// A surface as baked, in the part's space in game units and axes.
struct BakedSurface {
    std::string name;
    std::vector<std::array<float, 2>> texCoords;
    std::vector<std::array<uint32_t, 3>> triangles; // the game's winding
    std::vector<std::vector<Vec3>> positions, normals; // [frame][vertex]
};

// A tag's frames in the part's space: origin, then the three axes.
struct BakedTag {
    std::string name;
    std::vector<std::array<Vec3, 4>> frames;
};

struct BakedPart {
    std::string fileName; // the header's name
    size_t frames = 0;
    std::vector<BakedSurface> surfaces;
    std::vector<BakedTag> tags;
};

// The records of part; for each surface made, the index of the baked
// surface it comes from in sources. What it changed goes to notes, why the
// part cannot be written to refusals.
TMD3Model BuildPart(const BakedPart& part, std::vector<size_t>& sources, std::vector<std::string>& notes,
                    std::vector<std::string>& refusals);

// A tag's axes made orthonormal: the first kept in direction, the second
// made square to it, the third their cross product; none when the first
// two have no direction.
std::array<Vec3, 3> OrthonormalAxes(const std::array<Vec3, 3>& axes);

} // namespace gltfin
