#pragma once
// What the game makes of every surface of a character and its weapon: for
// each part, surface and skin, the name the game looks up, what that name
// resolves to and where it is defined, the stages, and what the game does
// with it, with the figures its own shader list gives, so that the two can
// be compared line by line.
#include "app/common/CharacterChoice.h"
#include "game/GameData.h"

#include <optional>
#include <string>
#include <vector>

// A file of the game data and where its bytes come from (an archive's disk
// path, or the loose file's).
struct GameFilePlace {
    std::string path;   // stored path in the game data
    std::string source; // platform::files::SourceOf
};

// An image a stage (or an image shader) reads: the name as written, and the
// file the game reads for it.
struct StageImageUse {
    std::string name;
    std::optional<GameFilePlace> file; // none for the white image and lightmaps
    // Why the game's own reader refuses the file, stopping with an error
    // (report.images only); "" when it reads it.
    std::string gameRefusal;
};

// What the game does with a surface.
enum class SurfaceOutcome {
    Made,          // the shader as written
    Defaulted,     // made with the stages read before a problem
    DefaultShader, // the game's default shader in its place
    Nothing,       // nothing is drawn
};
const char* SurfaceOutcomeName(SurfaceOutcome outcome);

// How a name resolves: a script's shader, an image alone, or neither.
enum class NameResolution { Script, Image, None };
// "script", "image", "none".
const char* NameResolutionName(NameResolution resolution);

struct SurfaceLookup {
    std::string part;    // "lower", "upper", "head", "weapon", "barrel"
    std::string model;   // the MD3's path
    std::string surface; // the MD3's surface name
    std::string skin;    // the skin whose line names it; "" for the MD3's own name
    ShaderUse use = ShaderUse::Model;
    std::string name;    // as looked up; "" where the skin has no line for the surface
    std::string fromFile; // the skin file or the MD3
    int fromLine = 0;     // the skin line; 0 for an MD3
    std::string shader;   // the game's name for the shader (extension stripped); "" for the default
    NameResolution resolution = NameResolution::None;
    std::optional<GameFilePlace> script; // the defining script file
    int scriptLine = 0;
    std::optional<GameFilePlace> image;  // an image alone
    const GameShader* made = nullptr;    // what the game made of the name
    SurfaceOutcome outcome = SurfaceOutcome::Made;
};

// A character file the game looks for and does not find (a skin file, a part).
struct MissingCharacterFile {
    std::string skin;
    std::string what;               // "head skin", ...
    std::vector<std::string> tried; // in the game's order
};

struct SurfaceReport {
    std::string character;
    std::string folder;
    std::string weapon; // "" for none
    std::vector<std::string> skins;
    std::vector<SurfaceLookup> lookups;
    std::vector<MissingCharacterFile> missing;
    std::vector<std::string> unreadable; // why a file could not be read, one line each
    std::vector<StageImageUse> images; // every image read, once each by name (letter case ignored)
};

// What the game looks up for a character besides the surfaces it draws,
// which the report leaves out unless asked: the shader names of the levels
// of detail the renderer reads beside each part (lower_1.md3 and
// lower_2.md3 beside lower.md3; part "lower", model the level's path), and
// each skin's icon, which the game registers as a shader of its own (part
// "icon", name the icon file's path), and what team games read.
struct SurfaceExtras {
    bool levelsOfDetail = false;
    bool icons = false;
    // The skin files and icons a team game reads for each skin, where they
    // are other files than the skin's own (skin "S (red team)").
    bool teams = false;
};

// The report for the character of choice (its game data mounted) with the
// given skins and its weapon, made with textures (whose GL context must be
// current and which keeps what it made for as long as the report is used).
// A file that cannot be read is a message and a line of unreadable, and
// what it holds is left out.
SurfaceReport GatherSurfaces(const CharacterChoice& choice, const std::vector<std::string>& skins,
                             TextureSet& textures, SurfaceExtras extras = {});

// The images a stage reads, with their files.
std::vector<StageImageUse> StageImages(const GameStage& stage);
