#pragma once
// The skins of an exported character: gathering what each skin puts on the
// surfaces (GatherSkins, GltfExport.h), and writing every skin as a variant
// of KHR_materials_variants, the first the one shown.
#include "GltfExport.h"
#include "GltfMaterials.h"
#include "GltfMeshes.h"

#include <map>
#include <vector>

namespace gltf {

// What each surface of root and the parts hanging on it is drawn with as
// loaded.
using MeshShaders = std::map<const TMesh*, const BoundShader*>;
MeshShaders ShadersOfTree(const GamePart& root);

// Gives each primitive its material under the first skin (or its surface's
// own shader, as drawn says, without skins) and, with skins, each skin's
// material as a variant of the file.
void AddVariants(tinygltf::Model& model, GltfMaterials& materials, const std::vector<SkinShaders>& skins,
                 const MeshShaders& drawn, const std::vector<PrimitiveSurface>& surfaces);

} // namespace gltf
