#pragma once
// A character made in a modelling tool and written as glTF 2.0 (.glb or
// .gltf) made into the game's files, ready for the game:
//
//   Quillmo --import CHARACTER.glb|.gltf --to DIR [--name NAME] [--force]
//
// writes DIR/models/players/NAME/ (lower.md3, upper.md3, head.md3, a skin
// file per part and material variant, animation.cfg, the images) and
// DIR/scripts/NAME.shader where a material needs a definition, then checks
// what it wrote as --check does and prints the findings.
//
// This program's own export comes back as it was exported (every frame,
// tag, surface and skin line, the animation file's entries and keywords,
// and the shader definitions it carries); other files by the naming rules
// of the README, animations sampled and baked into vertex frames.
//
// Exit status: 0 written and checked without errors; 1 written with errors
// found, or not written because of the game's limits (each said); 2 the file
// cannot be read or the folder cannot be written.
#include "app/common/CommandLine.h"

#include "model/Model.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The bytes of an MD3 file of part, in the standard arrangement (header,
// frames, tags, then each surface: header, shaders, triangles, texture
// coordinates, vertices).
std::string Md3Bytes(const TMD3Model& part);

// The files of a glTF character (bytes of a .glb or .gltf), as paths below
// the output folder and their bytes, under name ("" for the file's own);
// what the maker is told goes to notes, why nothing can be written to
// refusals. Throws platform::EConvertError for a file that is no glTF or
// cannot hold a character.
struct ImportedFiles {
    std::string name;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> notes, refusals;
    std::vector<std::string> iconsToDraw; // the skins whose icon the file does not carry
};
ImportedFiles ImportGltf(const std::vector<uint8_t>& bytes, const std::string& fileName, const std::string& name);

// The run of --import; returns the exit status. Throws nothing but std::bad_alloc.
int RunImport(const CommandLine& options);
