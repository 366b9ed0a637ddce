#pragma once
// Characters of a game data folder, by the game's conventions: where the
// characters and their skins are, how a texture name from a skin or a model
// becomes an image file, the textures one character shares, and the weapon
// with its textures. Paths are those of the file layer in game mode
// (platform/FileLayer.h): from the game root, "/"-separated, any letter case.
#include "Model.h"
#include "Shaders.h"

#include <GL/gl.h>

#include <map>
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

// The image file a texture name stands for: the name from the game root,
// else its file name in ownFolder; each also with the extensions ".tga",
// ".jpg" and ".png" in place of its own (or added when it has none), as the
// game tries them. The stored path, or nothing when no such file exists.
std::optional<std::string> ResolveImagePath(const std::string& textureName, const std::string& ownFolder);

// What a texture name of a skin or model stands for: an image file (found by
// ResolveImagePath), else a shader of that name (the path without extension)
// with the image of its first stage, else nothing.
struct ResolvedTexture {
    std::optional<std::string> imagePath; // the image to draw with, stored path; none for white or missing
    const ShaderDefinition* shader = nullptr; // the shader, when the name is one
    SurfaceLook look;  // the shader's look; the default for a plain image
    bool found = false; // an image file or a shader
};

// Resolves a texture name from a skin or a model's shader name, by the game's
// order: image file and its alternates, then shader (shaders may be null).
ResolvedTexture ResolveTexture(const std::string& textureName, const std::string& ownFolder,
                               const ShaderTable* shaders);

// What a surface is drawn with: its texture (0 when untextured) and style.
struct SurfaceTexture {
    GLuint texture = 0;
    SurfaceStyle style;
};

// The textures of one character: each image file is decoded and uploaded once
// however many surfaces and shaders use it, and every texture is deleted by
// Clear (or when the set goes, which needs the GL context still current).
class TextureSet {
public:
    // shaders: the game root's shader scripts, or null; not owned.
    explicit TextureSet(const ShaderTable* shaders = nullptr) : shaders_(shaders) {}
    ~TextureSet();
    TextureSet(const TextureSet&) = delete;
    TextureSet& operator=(const TextureSet&) = delete;

    // Uses another table of shader scripts from now on (a new game root).
    void SetShaders(const ShaderTable* shaders) { shaders_ = shaders; }

    // The texture and style for a texture name of a skin or model, resolved
    // with ResolveTexture. A name that is neither image nor shader, or whose
    // image cannot be read, is left untextured (texture 0) after the texture
    // loader's message, shown once per name.
    SurfaceTexture SurfaceFor(const std::string& textureName, const std::string& ownFolder);

    // Deletes every texture of the set.
    void Clear();

    // GL textures the set holds.
    size_t Count() const { return textures_.size(); }

private:
    GLuint imageTexture(const std::string& path);
    GLuint whiteTexture();

    const ShaderTable* shaders_;
    std::map<std::string, GLuint> byPath_;  // resolved image path, lower case -> texture (0: unreadable)
    std::map<std::string, SurfaceTexture> byName_; // texture name as asked, lower case, with its folder
    GLuint white_ = 0;
    std::vector<GLuint> textures_;
};

// Textures a character's surfaces: the mesh's texture and style from a
// texture name (skin line or shader name).
void ApplySurfaceTexture(TMesh& mesh, const SurfaceTexture& surface);

// The name of a surface's first shader record (its texture name), or "".
std::string ShaderName(const TMesh& mesh);

// Loads the MD3 at path (in the mounted game data) into part (a missing file
// leaves it empty) and textures each surface from its first shader name, an
// image name found beside the file as well. Throws what LoadMD3 throws.
void LoadGamePart(TMD3Model& part, const std::string& path, TextureSet& textures);

// Loads kWeaponsFolder NAME/NAME.md3 into weapon with LoadGamePart.
void LoadGameWeapon(TMD3Model& weapon, const std::string& name, TextureSet& textures);
