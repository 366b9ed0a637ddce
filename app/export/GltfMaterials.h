#pragma once
// The materials of an exported file, one per shader from its base stage (the
// first stage with an image), with the stage's image re-encoded as PNG into
// the file's buffer. Each image, texture, sampler and material is written
// once however many surfaces use it.
#include "GltfBuffers.h"

#include "game/GameShader.h"

#include <map>
#include <string>

namespace gltf {

class GltfMaterials {
public:
    GltfMaterials(tinygltf::Model& model, GltfBuffers& buffers);

    // The material of a shader (null: a surface without one): MASK with the
    // alpha test's cutoff, BLEND for a blended stage, double-sided for "cull
    // none"; a shader without stages is fully transparent.
    int MaterialOf(const BoundShader* bound);

private:
    // What the base stage gives the material: alpha mode, colour, texture.
    void takeStage(tinygltf::Material& material, const GameStage& base);
    // The texture of image (a path of the game data, "" for the game's
    // default image); -1 when the image cannot be read.
    int addTexture(const std::string& image, bool clamp, bool invertAlpha);
    int addSampler(bool clamp);

    tinygltf::Model& model_;
    GltfBuffers& buffers_;
    std::map<const BoundShader*, int> materials_;
    std::map<std::string, int> textures_;
    std::map<std::string, int> images_;
    int repeatSampler_ = -1;
    int clampSampler_ = -1;
};

} // namespace gltf
