#pragma once
// A character of game data as one glTF 2.0 file, for today's tools (Blender,
// web pages, engines): its parts hung on their tags with the weapon, vertex
// animation as morph targets, tags as node tracks, one animation per entry
// of its animation table, and its skins as material variants.
//
//   Quillmo --export FILE.glb|FILE.gltf [--all-skins] (character mode's options choose the character)
//
// The file, in glTF's axes (Y up, +Z forward, +X to the character's left) and
// in metres (the root node scales one game unit to kMetresPerGameUnit; every
// other node and vertex keeps the game's units and quantisation):
// - a node per part: the legs under the root, each tag a node under its part
//   (translation and rotation), the part hung on a tag under that tag's node
//   (torso on tag_torso, head on tag_head, weapon on tag_weapon, and whatever
//   hangs on the weapon's tags); each part's mesh on a node of its own below
//   the part, which scales the 1/64 steps of the positions (KHR_mesh_quantization);
// - a primitive per surface, frame 0 as its base, one morph target per frame
//   of the part (named in extras.targetNames), positions as 16-bit steps and
//   normals as bytes where the differences fit them; the mesh's weights show
//   the standing pose (TORSO_STAND, LEGS_IDLE), as do the tags' nodes;
// - an animation per entry of the table, named as the game names it, on the
//   parts it plays on: a key per frame at its frame rate and a last key one
//   frame later (the first looping frame, or the last frame held), so that
//   its duration is frames / rate; extras hold the entry as the file gives it
//   and whether it loops;
// - a material per shader, from its base stage: the first stage with an
//   image (PNG in the file), MASK with the alpha test's cutoff, BLEND for a
//   blended stage, double-sided for "cull none"; a shader without stages (a
//   hidden surface) is fully transparent. Each skin is a variant of
//   KHR_materials_variants; the first is the one shown.
//
// Exit status (see the README's table): 0 written; 1 written after a load
// problem; 2 the character cannot be found or the file cannot be written.
//
// The sources by job: GltfExport.cpp the run, GltfCharacter.cpp the file and
// its scene, GltfMeshes, GltfMaterials, GltfSkins and GltfAnimations what
// their names say, over GltfBuffers (the binary data) and GltfConvert (axes
// and names). Only this header is for the rest of the program.
#include "app/common/CommandLine.h"
#include "game/GameData.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One game unit in metres: the game's units are taken as inches.
inline constexpr double kMetresPerGameUnit = 0.0254;

// What every surface of a character is drawn with under one skin.
struct SkinShaders {
    std::string name;
    std::map<const TMesh*, const BoundShader*> shaders;
    std::string icon; // the image the game shows for it, "" without one
    // The text of each part's skin file as read ("lower", "upper", "head"),
    // for the parts that have one.
    std::map<std::string, std::string> files;
};

// Puts each skin of names on the body parts of a character loaded from
// folder (game data mounted) in turn and notes what each surface is drawn
// with; a part without a skin file of that name keeps its model's own
// shaders. Leaves the first skin on. Its messages are shown as loading's are.
std::vector<SkinShaders> GatherSkins(GamePlayer& player, const std::string& folder,
                                     const std::vector<std::string>& names, TextureSet& textures);

// A loaded character to export: player linked (weapon included) and its
// skins, the first the one shown.
struct CharacterExport {
    const GamePlayer* player = nullptr;
    std::string name;
    std::vector<SkinShaders> skins;
    // The scripts its shaders were read from (null: definitions not carried).
    const ShaderTable* shaders = nullptr;
};

// The glTF of a character: binary (.glb), or JSON with its data embedded
// (.gltf). The images of the base stages are read from the mounted game data.
std::string CharacterGltf(const CharacterExport& character, bool binary);

// The run of --export; returns the exit status. Writes its errors to
// standard error; throws nothing.
int RunExport(const CommandLine& options);
