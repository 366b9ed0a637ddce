#pragma once
// The animations of an exported character: one per entry of its animation
// table, named as the game names it, on the parts it plays on. Frames are
// the weights of each part's morph targets, tags the translation and
// rotation tracks of their nodes; a key per frame at the entry's rate and a
// last key one frame later (the first looping frame, or the last frame
// held), so that an animation lasts frames / rate.
#include "GltfBuffers.h"

#include "game/GamePart.h"

#include <map>
#include <vector>

namespace gltf {

// The nodes of a part in the file.
struct PartNodes {
    int part = -1;
    int mesh = -1; // the node holding the part's mesh; -1 without one
    std::vector<int> tags;
    size_t frames = 0; // of the part's morph targets
};

// Adds the animations of player's table by the player's rules, moving the
// nodes of parts.
void AddAnimations(tinygltf::Model& model, GltfBuffers& buffers, const GamePlayer& player,
                   const std::map<const TMD3Model*, PartNodes>& parts);

} // namespace gltf
