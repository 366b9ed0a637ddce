#pragma once
// What the import makes of a glTF file before it is written: the three
// parts as MD3 records, the skins, the animation file, the shaders and the
// images, with what it has to tell the maker. Two readers make it: one of
// this program's own export (read back exactly) and one of files other
// tools write (parts and tags by the names makers use, animations baked).
#include "GltfScene.h"

#include "model/Model.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace gltfin {

enum ImportedPart { kLegs, kTorso, kHead, kPartCount };

// The most vertex records (frames times vertices) a part may make: far more
// than any character has, and a bound on the memory a file can claim.
inline constexpr size_t kMostVertexRecords = size_t{1} << 24;

struct ImportedCharacter {
    std::array<TMD3Model, kPartCount> parts;
    struct Skin {
        std::string name;
        // Per part, each line's surface (or tag) and shader ("" for a tag).
        std::array<std::vector<std::pair<std::string, std::string>>, kPartCount> lines;
        // The image its variant carries as its icon, and its path.
        int iconImage = -1;
        std::string iconPath;
        // The skin files the variant carries as written, by part; when it
        // carries any, the parts without one have no skin file.
        std::map<std::string, std::string> files;
    };
    std::vector<Skin> skins;
    std::string animationFile;
    // Shader definitions as a script holds them, by name.
    std::map<std::string, std::string> shaders;
    // Images by their path in the game data, as the file's bytes.
    std::map<std::string, std::vector<uint8_t>> images;
    // What the maker is told; what kept the character from being written.
    std::vector<std::string> notes;
    std::vector<std::string> refusals;
};

// The file part names ("lower", "upper", "head").
const char* PartFileName(ImportedPart part);

// Whether the file is this program's own export.
bool IsOwnLayout(const GltfScene& scene);

// The character of this program's own export, under name.
ImportedCharacter ReadOwnLayout(const GltfScene& scene, const std::string& name);

// The character of a file another tool wrote, under name.
ImportedCharacter ReadToolLayout(const GltfScene& scene, const std::string& name);

// Shared by both: a path of the game data from the folder of the
// character the file was exported from to name's ("models/players/old/x"
// becomes "models/players/name/x"); others unchanged.
std::string MovedPath(const std::string& path, const std::string& from, const std::string& name);

// text with every path of from's folder made one of name's, as MovedPath.
std::string MovedText(const std::string& text, const std::string& from, const std::string& name);

// The bytes of an image of the file (as stored: PNG or JPEG) and the
// extension they go under; empty when it holds none.
std::pair<std::vector<uint8_t>, std::string> ImageBytes(const GltfScene& scene, int image);

// A PNG's picture as an uncompressed Targa (32 bits, bottom row first),
// the one format the game finds icons in; empty when it is no PNG.
std::vector<uint8_t> TargaOfPng(const std::vector<uint8_t>& png);

// An image path with its extension made ext ("a/b.tga" -> "a/b.png").
std::string WithExtension(const std::string& path, const std::string& ext);

// Skins from the file's material variants: for each variant (or one
// "default" without variants), the material of each surface through
// materialOf(primitive, variant) and shaderOf(material).
struct SurfaceSource {
    ImportedPart part;
    std::string surface;
    const tinygltf::Primitive* primitive;
};
std::vector<ImportedCharacter::Skin> SkinsOf(const tinygltf::Model& model, const std::vector<SurfaceSource>& surfaces,
                                             const std::map<int, std::string>& shaderOfMaterial,
                                             const std::array<TMD3Model, kPartCount>& parts);

} // namespace gltfin
