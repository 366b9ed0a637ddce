#pragma once
// The surfaces of a part as one glTF mesh: a primitive per surface with
// frame 0 as its base and one morph target per frame of the part, positions
// in the 1/64 steps of the MD3 file (KHR_mesh_quantization) and normals as
// normalised integers where the differences fit them.
#include "GltfBuffers.h"

#include "model/Model.h"

#include <string>
#include <vector>

namespace gltf {

// A primitive of the file and the surface it shows.
struct PrimitiveSurface {
    int mesh;
    size_t primitive;
    const TMesh* surface;
};

// Whether a surface has nothing a primitive could hold (no vertices or no
// triangles); such a surface is kept in the part's records alone.
bool HoldsNoPrimitive(const TMesh& surface);

// What a surface's MD3 record holds beyond a primitive: its name, flags and
// shader records (and the frames and vertices it claims, for one without a
// primitive).
tinygltf::Value SurfaceRecord(const TMesh& surface);

// Adds the mesh of part's surfaces with frames morph targets, its weights
// showing standingFrame, and notes each primitive's surface in surfaces;
// the mesh's index, or -1 for a part without a surface to draw.
int AddPartMesh(tinygltf::Model& model, GltfBuffers& buffers, const TMD3Model& part, size_t frames,
                size_t standingFrame, const std::string& name, std::vector<PrimitiveSurface>& surfaces);

} // namespace gltf
