#pragma once
// Characters of a game data folder, by the game's conventions: where the
// characters and their skins are, what a surface name of a skin or a model
// stands for (a shader, an image or nothing), the shaders and textures one
// character shares, and the weapon. Paths are those of the file layer in game mode
// (platform/FileLayer.h): from the game root, "/"-separated, any letter case.
#include "GameShader.h"
#include "GamePart.h"
#include "Shaders.h"

#include <GL/gl.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The folder of a character NAME is kPlayersFolder + NAME + "/".
inline constexpr const char* kPlayersFolder = "models/players/";
// The weapon NAME is kWeaponsFolder + NAME + "/" + NAME + ".md3".
inline constexpr const char* kWeaponsFolder = "models/weapons2/";

// True when folder (ending in "/") holds lower.md3, upper.md3 or head.md3.
bool IsCharacterFolder(const std::string& folder);

// The names of the characters below kPlayersFolder (folders holding a part),
// in name order ignoring letter case, as stored.
std::vector<std::string> ListCharacters();

// The skin names of a character folder: X for every lower_X.skin (or the
// skin files of another part: "upper", "head"), in name order ignoring
// letter case.
std::vector<std::string> ListSkins(const std::string& folder, std::string_view part = "lower");

// The image file the game loads for name, by its order of extensions: a name
// ending in .tga, .jpg, .jpeg, .png, .pcx or .bmp is tried as it is, then
// with each of the others in that order in place of its own; any other name
// (without an extension, or with one the game has no reader for) with each of
// the six added. The stored path, or nothing when none is there.
std::optional<std::string> FindGameImage(const std::string& name);

// What a surface name of a skin line or a model stands for, by the game's
// order: a shader of the game root's scripts (the name without its
// extension), else an image, else nothing.
struct SurfaceName {
    const ShaderDefinition* shader = nullptr; // the script's definition, when it has one
    std::optional<std::string> image;         // else the image the game loads, stored path
    // Neither: an image of that file name in ownFolder, which the game does
    // not look in (a hint for whoever made the character).
    std::optional<std::string> ownFolderImage;
};
SurfaceName ResolveSurfaceName(const std::string& name, const std::string& ownFolder, const ShaderTable* shaders);

// Who names a surface's shader. The game draws a name that is neither
// shader nor image differently for each: nothing for a skin line, its
// default texture for a model's own name.
enum class ShaderUse { Skin, Model };

// The textures and shaders of one character: each shader name is resolved
// and compiled once, each image decoded and uploaded once however many
// surfaces and shaders use it, and everything is freed by Clear (or when the
// set goes, which needs the GL context still current).
class TextureSet {
public:
    // shaders: the game root's shader scripts, or null; not owned.
    explicit TextureSet(const ShaderTable* shaders = nullptr) : shaders_(shaders) {}
    ~TextureSet();
    TextureSet(const TextureSet&) = delete;
    TextureSet& operator=(const TextureSet&) = delete;

    // Uses another table of shader scripts from now on (a new game root).
    void SetShaders(const ShaderTable* shaders) { shaders_ = shaders; }
    const ShaderTable* Shaders() const { return shaders_; }

    // The shader the game draws a surface with for name (a skin line's or the
    // model's own), resolved as ResolveSurfaceName says and compiled with
    // its stages' images. A name that is neither, an image that cannot be
    // read, or a shader the game cannot make gets one message box the first
    // time it is asked for. Never null.
    const BoundShader* ShaderFor(const std::string& name, ShaderUse use);

    // The shader the game makes for name, as ShaderFor makes it, but without
    // putting its default in the place of one it could not make (what the
    // game lists for the name). The default shader for "". Never null.
    const BoundShader* Made(const std::string& name);

    // The game's default shader: its default texture, full bright.
    const BoundShader* DefaultShader();

    // Deletes every texture and shader of the set.
    void Clear();

    // GL textures the set holds.
    size_t Count() const { return textures_.size(); }

private:
    GLuint imageTexture(const std::string& path, bool clamp);
    GLuint whiteTexture();
    GLuint defaultTexture();
    BoundShader* make(const std::string& name);
    void bind(BoundShader& bound);

    const ShaderTable* shaders_;
    std::map<std::string, GLuint> byPath_; // image path, lower case -> texture (0: unreadable)
    std::map<std::string, std::unique_ptr<BoundShader>> byName_; // name without extension, lower case
    std::unique_ptr<BoundShader> default_;
    GLuint white_ = 0;
    GLuint defaultImage_ = 0;
    uint32_t nextOrder_ = 0;
    std::vector<GLuint> textures_;
};

// Clears a texture set however the scope that uses it ends (while the GL
// context holding its textures is still current).
class TexturesClearedAtEnd {
public:
    explicit TexturesClearedAtEnd(TextureSet& textures) : textures_(textures) {}
    ~TexturesClearedAtEnd() { textures_.Clear(); }
    TexturesClearedAtEnd(const TexturesClearedAtEnd&) = delete;
    TexturesClearedAtEnd& operator=(const TexturesClearedAtEnd&) = delete;

private:
    TextureSet& textures_;
};

// The name of a surface's first shader record (its texture name), or "".
std::string ShaderName(const TMesh& mesh);

// Loads the MD3 at path (in the mounted game data) into part (a missing file
// leaves it empty) and gives each surface the shader of its own first shader
// name. Throws what LoadMD3 throws.
void LoadGamePart(GamePart& part, const std::string& path, TextureSet& textures);

// The files of the weapon NAME: kWeaponsFolder NAME/NAME.md3, and its barrel
// NAME_barrel.md3 beside it (which a weapon need not have).
std::string WeaponModelPath(const std::string& name);
std::string WeaponBarrelPath(const std::string& name);

// Loads kWeaponsFolder NAME/NAME.md3 into weapon with LoadGamePart, and its
// barrel NAME_barrel.md3 from the same folder, where there is one, hung on
// the weapon's tag_barrel at its resting roll, as the game shows a weapon
// in a player's hand (without its flash).
void LoadGameWeapon(GamePart& weapon, const std::string& name, TextureSet& textures);

// The weapon whose holder stands with the torso's second standing
// animation (TORSO_STAND2); others stand with TORSO_STAND, and so does a
// player holding none.
inline constexpr const char* kSecondStandWeapon = "gauntlet";
