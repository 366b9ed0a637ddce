#pragma once
// A character as the game assembles it: which files it looks for, in what
// order, what it refuses, and the character loaded from what it found
// (character mode and the checker). When the game refuses a character it
// shows its default character instead; Quillmo opens what it can and says
// why the game would not.
//
// For a character M with skin S in a game that is not a team game, the game
// looks for (the first that exists wins; folders "characters/" and "heads/"
// only below the usual players folder):
//   legs, torso   models/players/M/lower.md3, then models/players/characters/M/...
//   head          models/players/M/head.md3, then models/players/heads/M/M.md3
//   legs skin     M/lower_S_default.skin, M/lower_S.skin, the same under characters/M/
//   head skin     M/S/head_default.skin, M/head_S.skin, the same under heads/M/
//   animation     M/animation.cfg, then characters/M/animation.cfg
//   icon          M/S/icon_default.skin, M/icon_S.skin, the same under heads/M/,
//                 then those four with .tga for .skin
// Names of 64 characters or more do not fit the game's names and are never found.
#include "GameData.h"
#include "GameSkin.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

enum class CharacterFile { Legs, Torso, Head, LegsSkin, TorsoSkin, HeadSkin, Animation, Icon };
inline constexpr size_t kCharacterFileCount = 8;

// One file of a character: the candidates in the game's order, and the
// first that is there.
struct FoundFile {
    std::vector<std::string> tried;
    std::optional<std::string> path;
};

// A part of a character: its model, its skin file, its name in paths
// ("lower") and what it is ("legs").
struct CharacterPart {
    CharacterFile model;
    CharacterFile skin;
    const char* name;
    const char* what;
};
inline constexpr CharacterPart kCharacterParts[] = {
    {CharacterFile::Legs, CharacterFile::LegsSkin, "lower", "legs"},
    {CharacterFile::Torso, CharacterFile::TorsoSkin, "upper", "torso"},
    {CharacterFile::Head, CharacterFile::HeadSkin, "head", "head"},
};

struct GameCharacterFiles {
    std::array<FoundFile, kCharacterFileCount> files;
    const FoundFile& operator[](CharacterFile f) const { return files[static_cast<size_t>(f)]; }
};

// The files of the character in folder (ending in "/"; a folder other than
// models/players/M/ is searched alone) for skin, in the mounted game data.
// In a team game (team "red" or "blue") the game looks for the skins and the
// icon of the team instead: M/lower_S_TEAM.skin, then M/lower_TEAM.skin
// (and under characters/M/); M/S/head_TEAM.skin, then M/head_TEAM.skin (and
// under heads/M/); the icon likewise.
GameCharacterFiles FindGameCharacterFiles(const std::string& folder, const std::string& skin,
                                          const std::string& team = std::string());

// The teams of the game's team games, whose skins it looks for.
inline constexpr const char* kGameTeams[] = {"red", "blue"};

// The name the game asked for when it found file: the candidate it tried
// that names the file found, in the candidate's letter case ("" when none
// was found).
std::string AskedName(const FoundFile& file);

// The levels of detail the renderer reads for the model at path, whether
// they exist or not, in its order (the lowest detail first): the path with
// "_2" and "_1" put before its first dot, wherever that is
// ("models/players/m/lower.md3" -> "models/players/m/lower_2.md3",
// "models/players/m/lower_1.md3").
std::vector<std::string> LevelOfDetailPaths(const std::string& path);

// "lower.md3", "lower skin", ...: what a file of a character is, for messages.
const char* CharacterFileName(CharacterFile file);

// The most vertices and triangles the game draws of one surface; a model
// with a surface over either is refused.
inline constexpr int32_t kMostSurfaceVertices = 999;
inline constexpr int32_t kMostSurfaceTriangles = 1999;

// Why the game does not take a model it reads (a wrong ident or version, no
// frames, a surface with 1000 vertices or 2000 triangles or more), or nothing.
// Throws nothing but std::bad_alloc.
std::optional<std::string> GameModelRefusal(const TMD3Model& part);

// Limits the format documents that the game does not enforce (surfaces,
// tags, frames, shaders per surface), one line each. Throws nothing but std::bad_alloc.
std::vector<std::string> GameModelLimitNotes(const TMD3Model& part);

// What the game shows instead of a character it refuses.
inline constexpr const char* kGameShowsDefault = "the game refuses this character and shows its default character";

// Loads the character in folder with skin by the game's rules into player
// (its parts, skins and animation; the links between the parts), with its
// textures in textures, and returns why the game would refuse it, each reason
// one line, in the order the game checks; the reasons also go to
// player.Refusals. What loads is kept whatever the game would refuse. A part
// that cannot be read at all throws platform::EInOutError once the rest is
// loaded (player.Refusals set); other files that cannot be read are reasons.
std::vector<std::string> LoadGameCharacter(GamePlayer& player, const std::string& folder, const std::string& skin,
                                           TextureSet& textures);

// LoadGameCharacter, telling each reason the game would refuse the character
// as a message; throws what it throws once they are told.
void LoadGamePlayer(GamePlayer& player, const std::string& folder, const std::string& skin, TextureSet& textures);

// Binds the shaders of a skin read by ReadGameSkin to the surfaces of part:
// the first entry of each surface's stored name; a surface the skin does not
// name, or an entry without a shader name, draws the game's default shader.
void BindGameSkin(GamePart& part, const GameSkin& skin, TextureSet& textures);

// The weapon's resting barrel roll: the game spins a barrel on from 0 for a
// player that has never fired, and it comes to rest at 450 degrees.
inline constexpr float kBarrelRestDegrees = 450.0f;
