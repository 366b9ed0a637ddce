#pragma once
// The materials of an exported file, one per shader from its base stage (the
// first stage with an image), with the stage's image re-encoded as PNG into
// the file's buffer. Each image, texture, sampler and material is written
// once however many surfaces use it.
#include "GltfBuffers.h"

#include "game/GameShader.h"
#include "game/Shaders.h"

#include <map>
#include <string>

namespace gltf {

class GltfMaterials {
public:
    // shaders: the scripts the character's shaders were read from, whose
    // definitions the materials carry (null: none carried).
    GltfMaterials(tinygltf::Model& model, GltfBuffers& buffers, const ShaderTable* shaders);

    // The material of a shader (null: a surface without one): MASK with the
    // alpha test's cutoff, BLEND for a blended stage, double-sided for "cull
    // none"; a shader without stages is fully transparent.
    int MaterialOf(const BoundShader* bound);

    // The image of a picture of the game data in the file (its index), -1
    // when it cannot be read.
    int ImageOf(const std::string& image) { return addImage(image, false); }

    // The definition a script gives the shader name, as written, with the
    // images of its stages in the file; null without one.
    tinygltf::Value DefinitionOf(const std::string& name);

private:
    // What the base stage gives the material: alpha mode, colour, texture.
    void takeStage(tinygltf::Material& material, const GameStage& base);
    // The texture of image (a path of the game data, "" for the game's
    // default image); -1 when the image cannot be read.
    int addTexture(const std::string& image, bool clamp, bool invertAlpha);
    int addSampler(bool clamp);
    // The image of a picture once in the file (its index), -1 when it
    // cannot be read.
    int addImage(const std::string& image, bool invertAlpha);
    // The definition a script gives shader as written, with the images of
    // its stages other than the material's own, for a file read back.
    void carryDefinition(tinygltf::Material& material, const GameShader& shader, const GameStage* base);
    tinygltf::Value carriedDefinition(const ShaderDefinition* definition, const GameShader& shader,
                                      const GameStage* base);

    tinygltf::Model& model_;
    GltfBuffers& buffers_;
    const ShaderTable* shaders_;
    std::map<std::string, std::string> scripts_; // the text of each script read, by file
    std::map<const BoundShader*, int> materials_;
    std::map<std::string, int> textures_;
    std::map<std::string, int> images_;
    int repeatSampler_ = -1;
    int clampSampler_ = -1;
};

} // namespace gltf
