#pragma once
// What the game reads for one character, found by its own rules in the
// mounted game data: the three parts and the levels of detail the renderer
// reads beside them, every skin file (team skins are skins too), the
// animation file, each skin's icon, the images of every shader name a skin
// line or a model's surface holds (through the shader's stages, animation
// frames included, or the image alone), the definitions of the shaders among
// them, and the sounds of the game's own list of player sounds.
//
// Each file is listed once, under the name the game asks for: the name a
// reference writes, with the extension of the file the game finds for it (a
// skin asking for "body.tga" reads body.jpg when there is no body.tga). Other
// spellings of the same file by other references are kept, to be told about.
#include "app/common/CharacterChoice.h"
#include "app/tools/SurfaceReport.h"
#include "game/Shaders.h"

#include <string>
#include <vector>

// A file the game reads.
struct WantedFile {
    std::string entry;  // the name the first reference asks for, as the pack stores it
    std::string stored; // the name the file has in the game data
    std::vector<std::string> why;       // what made the game read it, each once, in the order met
    std::vector<std::string> spellings; // other letter cases references ask for it in
    bool direct = false;                // read for itself, not only as a stage image of a shader
    std::vector<std::string> viaShaders; // the shaders whose stages read it (lower case)
};

// A shader definition the game uses for the character.
struct WantedShader {
    std::string name; // the definition's name (lower case)
    const ShaderDefinition* definition = nullptr; // in the table the contents were gathered with
    std::vector<std::string> why;
};

struct PackContents {
    std::vector<WantedFile> files;     // in the order met
    std::vector<WantedShader> shaders; // in the order met
};

// The player sounds the game asks for, in its order ("death1.wav", ...),
// each looked for as sound/player/NAME/SOUND.
const std::vector<std::string>& PlayerSoundNames();

// The sound file the game reads for path: path itself, else the same name
// with the extensions of its other sound readers in their order (.wav, .ogg,
// .opus); nothing when none is there.
std::optional<std::string> FindGameSound(const std::string& path);

// Everything the game reads for the character of choice (its folder and
// name) with skins, from report (gathered for those skins, with both
// SurfaceExtras, no weapon) and the mounted game data, whose shader scripts
// are shaders. Throws nothing but std::bad_alloc.
PackContents GatherPackContents(const CharacterChoice& choice, const std::vector<std::string>& skins,
                                const SurfaceReport& report, const ShaderTable& shaders);

// Adds the images the stages of definition name (map, clampMap, animMap),
// found in the mounted game data, to contents: for a definition the game did
// not make for the character, which a pack ships all the same.
void AddDefinitionImages(PackContents& contents, const ShaderDefinition& definition);

// Every skin of a character folder: X for each lower_X.skin, upper_X.skin
// or head_X.skin (the game looks for all three of a skin it is asked for),
// and for each folder X holding a team's head skin (X/head_red.skin), which
// team games take with the team's legs and torso; in name order ignoring
// letter case.
std::vector<std::string> EverySkin(const std::string& folder);
