#pragma once
// Skin files and surface names as the game reads them (character mode and
// the checker; the Model/ tree reads skins line by line, Skins.cpp).
//
// The game reads a skin as a token stream (GameTokens.h, words ending at a
// comma too): a surface token, one comma skipped if it follows the token
// directly, then the shader token. Lines mean nothing, so "u_torso ,x.tga"
// (a blank before the comma) reads ",x.tga" as the shader, and "u_torso,"
// with nothing after it takes the next line's surface name as its shader.
// A surface token containing "tag_" (exactly so, anywhere) is dropped
// without reading a shader token. Surfaces are stored in lower case; a
// surface named twice keeps both entries and the first one wins.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The most entries a skin keeps; the game warns about and ignores the rest.
inline constexpr size_t kMostSkinSurfaces = 256;
// Names of the game's files and surfaces have room for this many bytes.
inline constexpr size_t kMostGameNameBytes = 63;

struct GameSkinEntry {
    std::string surface; // lower case, at most kMostGameNameBytes bytes
    std::string shader;  // as read: the shader or image name
    int surfaceLine = 0; // 1-based lines where the two tokens start
    int shaderLine = 0;
};

struct GameSkin {
    std::vector<GameSkinEntry> entries; // the kept ones, in file order
    size_t ignored = 0;                 // entries past kMostSkinSurfaces
    std::vector<int> tagLines;          // lines of the dropped tag entries
};

// Reads the text of a skin file as the game does. Throws nothing but std::bad_alloc.
GameSkin ReadGameSkin(std::string_view text);

// ReadGameSkin on the file at path in the mounted game data; throws
// platform::EInOutError when it cannot be read.
GameSkin ReadGameSkinFile(const std::string& path);

// The entry the game draws surface (a stored surface name, GameSurfaceName)
// with: the first one of that name, or null. Throws nothing.
const GameSkinEntry* FindSkinEntry(const GameSkin& skin, std::string_view surface);

// The name the game stores for an MD3 surface name: lower case, and when the
// next to last of more than two characters is '_', without its last two
// ("u_torso_1" -> "u_torso", "gun_z" -> "gun"). Throws nothing but std::bad_alloc.
std::string GameSurfaceName(std::string_view md3Name);
