#include "GltfSkins.h"

#include "GltfConvert.h"

#include "game/GameCharacter.h"
#include "game/GameSkin.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"

#include <map>

using tinygltf::Value;

namespace {

constexpr const char* kVariants = "KHR_materials_variants";

// The shader a surface is drawn with as loaded, or null.
const BoundShader* drawnWith(const gltf::MeshShaders& drawn, const TMesh& mesh)
{
    const auto found = drawn.find(&mesh);
    return found == drawn.end() ? nullptr : found->second;
}

// The materials of a surface under each skin, skins listed by material.
Value variantMappings(gltf::GltfMaterials& materials, const std::vector<SkinShaders>& skins,
                      const gltf::MeshShaders& drawn, const TMesh& surface, int& firstMaterial)
{
    std::map<int, Value::Array> byMaterial;
    for (size_t s = 0; s < skins.size(); ++s) {
        const auto found = skins[s].shaders.find(&surface);
        const int material =
            materials.MaterialOf(found == skins[s].shaders.end() ? drawnWith(drawn, surface) : found->second);
        byMaterial[material].push_back(Value(static_cast<int>(s)));
        if (s == 0)
            firstMaterial = material;
    }
    Value::Array mappings;
    for (auto& [material, skinIndices] : byMaterial)
        mappings.push_back(
            Value(Value::Object{{"material", Value(material)}, {"variants", Value(std::move(skinIndices))}}));
    return Value(Value::Object{{"mappings", Value(std::move(mappings))}});
}

} // namespace

std::vector<SkinShaders> GatherSkins(GamePlayer& player, const std::string& folder,
                                     const std::vector<std::string>& names, TextureSet& textures)
{
    // Each skin as the game finds and reads it; a skin file it does not find
    // leaves the game's default shader on every surface of the part.
    const std::pair<GamePart*, CharacterFile> parts[] = {{&player.Lower, CharacterFile::LegsSkin},
                                                          {&player.Upper, CharacterFile::TorsoSkin},
                                                          {&player.Head, CharacterFile::HeadSkin}};
    std::vector<SkinShaders> skins;
    for (const std::string& name : names) {
        SkinShaders& skin = skins.emplace_back();
        skin.name = name;
        const GameCharacterFiles found = FindGameCharacterFiles(folder, name);
        skin.icon = found[CharacterFile::Icon].path.value_or("");
        for (const auto& [part, file] : parts) {
            GameSkin read;
            if (const std::optional<std::string>& path = found[file].path) {
                try {
                    const std::vector<uint8_t> text = platform::files::ReadFileBytes(*path);
                    skin.files[file == CharacterFile::LegsSkin    ? "lower"
                               : file == CharacterFile::TorsoSkin ? "upper"
                                                                  : "head"] = std::string(text.begin(), text.end());
                    read = ReadGameSkinFile(*path);
                } catch (const platform::EInOutError& e) {
                    platform::ShowMessage(e.what(), "Skin");
                }
            }
            BindGameSkin(*part, read, textures);
            for (size_t i = 0; i < part->model.Meshes.size(); ++i)
                skin.shaders[&part->model.Meshes[i]] = part->ShaderOf(i);
        }
    }
    if (!skins.empty())
        for (const auto& [part, file] : parts)
            for (size_t i = 0; i < part->model.Meshes.size(); ++i)
                part->shaders[i] = skins.front().shaders[&part->model.Meshes[i]];
    return skins;
}

namespace gltf {

MeshShaders ShadersOfTree(const GamePart& root)
{
    MeshShaders drawn;
    ForEachGamePart(root, [&](const GamePart& part) {
        for (size_t i = 0; i < part.model.Meshes.size(); ++i)
            drawn[&part.model.Meshes[i]] = part.ShaderOf(i);
    });
    return drawn;
}

void AddVariants(tinygltf::Model& model, GltfMaterials& materials, const std::vector<SkinShaders>& skins,
                 const MeshShaders& drawn, const std::vector<PrimitiveSurface>& surfaces)
{
    Value::Array variants;
    for (const SkinShaders& skin : skins) {
        Value::Object variant{{"name", Value(Utf8Name(skin.name))}};
        // The skin's icon, for a file read back.
        // Its icon and its files as written, for a file read back.
        Value::Object extras, files;
        const int icon = skin.icon.empty() ? -1 : materials.ImageOf(skin.icon);
        if (icon >= 0) {
            extras.emplace("icon", Value(icon));
            extras.emplace("iconPath", Value(Utf8Name(skin.icon)));
        }
        for (const auto& [part, text] : skin.files)
            files.emplace(part, Value(Utf8Name(text)));
        if (!files.empty())
            extras.emplace("files", Value(std::move(files)));
        if (!extras.empty())
            variant.emplace("extras", Value(std::move(extras)));
        variants.push_back(Value(std::move(variant)));
    }
    for (const auto& [mesh, primitive, surface] : surfaces) {
        tinygltf::Primitive& made = model.meshes[static_cast<size_t>(mesh)].primitives[primitive];
        if (skins.empty()) {
            made.material = materials.MaterialOf(drawnWith(drawn, *surface));
            continue;
        }
        Value mappings = variantMappings(materials, skins, drawn, *surface, made.material);
        made.extensions[kVariants] = std::move(mappings);
    }
    if (!skins.empty()) {
        model.extensionsUsed.push_back(kVariants);
        model.extensions[kVariants] = Value(Value::Object{{"variants", Value(std::move(variants))}});
    }
}

} // namespace gltf
