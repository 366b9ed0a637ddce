// Characters, skins, texture names and weapons by the game's conventions.
#include "GameData.h"
#include "platform/system/System.h"

#include "platform/files/FileLayer.h"

#include <cctype>
#include <cstring>

namespace {

namespace files = platform::files;

constexpr const char* kPartFiles[] = {"lower.md3", "upper.md3", "head.md3"};
// The extensions the game tries, in its order, when an image is missing.
constexpr const char* kImageExtensions[] = {".tga", ".jpg", ".png"};
constexpr const char* kSkinSeparator = "_"; // PART_SKIN.skin
constexpr const char* kSkinSuffix = ".skin";

// The path without the extension of its file name, if it has one.
std::string withoutExtension(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path;
    return path.substr(0, dot);
}

// The stored path of path as it is, else with each of the game's extensions.
std::optional<std::string> findWithAlternates(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    if (files::FileExists(path))
        return files::ResolvePath(path);
    const std::string stem = withoutExtension(path);
    for (const char* extension : kImageExtensions) {
        if (files::FileExists(stem + extension))
            return files::ResolvePath(stem + extension);
    }
    return std::nullopt;
}

} // namespace

bool IsCharacterFolder(const std::string& folder)
{
    for (const char* part : kPartFiles) {
        if (files::FileExists(folder + part))
            return true;
    }
    return false;
}

std::vector<std::string> ListCharacters()
{
    std::vector<std::string> names;
    for (const files::FolderEntry& entry : files::ListFolder(kPlayersFolder)) {
        if (entry.isFolder && IsCharacterFolder(kPlayersFolder + entry.name + "/"))
            names.push_back(entry.name);
    }
    return names;
}

std::vector<std::string> ListSkins(const std::string& folder, std::string_view part)
{
    const std::string skinPrefix = platform::LowerCase(std::string(part)) + kSkinSeparator;
    const size_t prefix = skinPrefix.size();
    const size_t suffix = std::strlen(kSkinSuffix);
    std::vector<std::string> skins;
    for (const files::FolderEntry& entry : files::ListFolder(folder)) {
        const std::string name = platform::LowerCase(entry.name);
        if (!entry.isFolder && name.size() > prefix + suffix && name.rfind(skinPrefix, 0) == 0 &&
            name.compare(name.size() - suffix, suffix, kSkinSuffix) == 0)
            skins.push_back(entry.name.substr(prefix, entry.name.size() - prefix - suffix));
    }
    return skins;
}

std::optional<std::string> ResolveImagePath(const std::string& textureName, const std::string& ownFolder)
{
    // Names written on Windows may use backslashes.
    std::string name = textureName;
    for (char& c : name)
        c = c == '\\' ? '/' : c;
    if (auto found = findWithAlternates(name))
        return found;
    const size_t slash = name.rfind('/');
    const std::string fileName = slash == std::string::npos ? name : name.substr(slash + 1);
    return findWithAlternates(ownFolder + fileName);
}

ResolvedTexture ResolveTexture(const std::string& textureName, const std::string& ownFolder,
                               const ShaderTable* shaders)
{
    ResolvedTexture resolved;
    resolved.imagePath = ResolveImagePath(textureName, ownFolder);
    if (resolved.imagePath) {
        resolved.found = true;
        return resolved;
    }
    resolved.shader = shaders ? shaders->Find(textureName) : nullptr;
    if (!resolved.shader)
        return resolved;
    resolved.found = true;
    resolved.look = LookOf(*resolved.shader);
    if (!resolved.look.noDraw && !resolved.look.white)
        resolved.imagePath = ResolveImagePath(resolved.look.image, ownFolder);
    return resolved;
}

TextureSet::~TextureSet() { Clear(); }

GLuint TextureSet::imageTexture(const std::string& path)
{
    const std::string key = platform::LowerCase(path);
    if (auto loaded = byPath_.find(key); loaded != byPath_.end())
        return loaded->second;
    GLuint texture = 0;
    if (LoadImageTexture(path, texture, Conventions::Game))
        textures_.push_back(texture);
    byPath_[key] = texture;
    return texture;
}

GLuint TextureSet::whiteTexture()
{
    if (white_ == 0) {
        const uint8_t white[4] = {255, 255, 255, 255};
        white_ = MakeGLTexture(1, 1, GL_RGBA, white);
        textures_.push_back(white_);
    }
    return white_;
}

SurfaceTexture TextureSet::SurfaceFor(const std::string& textureName, const std::string& ownFolder)
{
    const std::string nameKey = platform::LowerCase(ownFolder + "|" + textureName);
    if (auto known = byName_.find(nameKey); known != byName_.end())
        return known->second;
    const ResolvedTexture resolved = ResolveTexture(textureName, ownFolder, shaders_);
    SurfaceTexture surface;
    surface.style.gameRules = true;
    if (!resolved.found) {
        // Nothing of that name: the loader tells the user what was missing.
        GLuint unused = 0;
        LoadImageTexture(textureName, unused, Conventions::Game);
    } else if (resolved.shader) {
        const SurfaceLook& look = resolved.look;
        surface.style.hidden = look.noDraw;
        surface.style.blend = look.blend;
        surface.style.blendSrc = look.blendSrc;
        surface.style.blendDst = look.blendDst;
        surface.style.alphaFunc = look.alphaFunc;
        surface.style.alphaRef = look.alphaRef;
        surface.style.twoSided = look.twoSided;
        if (look.white)
            surface.texture = whiteTexture();
        else if (resolved.imagePath)
            surface.texture = imageTexture(*resolved.imagePath);
        else if (!look.noDraw)
            surface.texture = imageTexture(look.image); // missing: the loader says so
    } else {
        surface.texture = imageTexture(*resolved.imagePath);
    }
    byName_[nameKey] = surface;
    return surface;
}

void TextureSet::Clear()
{
    FreeImageTextures(textures_);
    textures_.clear();
    byPath_.clear();
    byName_.clear();
    white_ = 0;
}

void ApplySurfaceTexture(TMesh& mesh, const SurfaceTexture& surface)
{
    mesh.Texture = surface.texture;
    mesh.HasTexture = true;
    mesh.Style = surface.style;
}

std::string ShaderName(const TMesh& mesh)
{
    if (mesh.Shaders.empty())
        return {};
    // A shader record is a 64-byte name field followed by an index.
    const auto* name = reinterpret_cast<const char*>(mesh.Shaders.front().Data);
    return std::string(name, strnlen(name, kMD3NameLength));
}

void LoadGamePart(TMD3Model& part, const std::string& path, TextureSet& textures)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    LoadMD3(part, path);
    UseGameStyle(part);
    for (TMesh& mesh : part.Meshes) {
        const std::string shader = ShaderName(mesh);
        if (shader.empty())
            continue;
        ApplySurfaceTexture(mesh, textures.SurfaceFor(shader, folder));
    }
}

void LoadGameWeapon(TMD3Model& weapon, const std::string& name, TextureSet& textures)
{
    LoadGamePart(weapon, std::string(kWeaponsFolder) + name + "/" + name + ".md3", textures);
}
