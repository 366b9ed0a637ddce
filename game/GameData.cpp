// Characters, skins, texture names and weapons by the game's conventions.
#include "GameData.h"
#include "GameCharacter.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

namespace {

namespace files = platform::files;

constexpr const char* kPartFiles[] = {"lower.md3", "upper.md3", "head.md3"};
// The image extensions the game has readers for, in the order it tries them.
constexpr const char* kImageExtensions[] = {".tga", ".jpg", ".jpeg", ".png", ".pcx", ".bmp"};
constexpr const char* kTextureCaption = "Texture";
constexpr const char* kSkinSeparator = "_"; // PART_SKIN.skin
constexpr const char* kSkinSuffix = ".skin";
constexpr const char* kBarrelTag = "tag_barrel";

std::string withSlashes(std::string name)
{
    // Names written on Windows may use backslashes.
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

std::optional<std::string> storedFile(const std::string& path)
{
    return files::FileExists(path) ? files::ResolvePath(path) : std::nullopt;
}

std::string fileNameOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

std::optional<std::string> FindGameImage(const std::string& name)
{
    const std::string path = withSlashes(name);
    if (path.empty())
        return std::nullopt;
    const std::string stem = StripExtension(path);
    const std::string extension = platform::LowerCase(path.substr(stem.size()));
    const bool known = std::any_of(std::begin(kImageExtensions), std::end(kImageExtensions),
                                   [&](const char* e) { return extension == e; });
    if (known) {
        if (auto found = storedFile(path))
            return found;
        for (const char* other : kImageExtensions) {
            if (extension != other) {
                if (auto found = storedFile(stem + other))
                    return found;
            }
        }
        return std::nullopt;
    }
    // A name the game has no reader for keeps its own "extension".
    for (const char* added : kImageExtensions) {
        if (auto found = storedFile(path + added))
            return found;
    }
    return std::nullopt;
}

SurfaceName ResolveSurfaceName(const std::string& name, const std::string& ownFolder, const ShaderTable* shaders)
{
    SurfaceName resolved;
    const std::string path = withSlashes(name);
    if (path.empty())
        return resolved;
    resolved.shader = shaders ? shaders->Find(StripExtension(name)) : nullptr;
    if (resolved.shader)
        return resolved;
    resolved.image = FindGameImage(path);
    if (!resolved.image && path.find('/') != std::string::npos)
        resolved.ownFolderImage = FindGameImage(ownFolder + fileNameOf(path));
    return resolved;
}

TextureSet::~TextureSet() { Clear(); }

GLuint TextureSet::imageTexture(const std::string& path, bool clamp)
{
    const std::string key = platform::LowerCase(path);
    if (auto loaded = byPath_.find(key); loaded != byPath_.end())
        return loaded->second;
    GLuint texture = 0;
    if (LoadGameImageTexture(path, texture)) {
        textures_.push_back(texture);
        // An image keeps the edges it was first loaded with, as in the game.
        const GLint wrap = clamp ? GL_CLAMP_TO_EDGE : GL_REPEAT;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    }
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

GLuint TextureSet::defaultTexture()
{
    if (defaultImage_ == 0) {
        const std::vector<uint8_t> pixels = DefaultImagePixels();
        defaultImage_ = MakeGLTexture(kDefaultImageSide, kDefaultImageSide, GL_RGBA, pixels.data());
        textures_.push_back(defaultImage_);
    }
    return defaultImage_;
}

void TextureSet::bind(BoundShader& bound)
{
    bound.textures.clear();
    for (const GameStage& stage : bound.shader.stages) {
        std::vector<GLuint>& images = bound.textures.emplace_back();
        for (const ShaderStageImage& image : stage.images) {
            if (image.kind != StageImageKind::File)
                images.push_back(whiteTexture());
            else if (image.name.empty())
                images.push_back(defaultTexture());
            else if (const auto path = FindGameImage(image.name))
                images.push_back(imageTexture(*path, stage.clamp));
            else
                images.push_back(0);
        }
    }
}

const BoundShader* TextureSet::DefaultShader()
{
    if (!default_) {
        default_ = std::make_unique<BoundShader>();
        default_->shader = ::DefaultShader();
        // The game makes its default shader before any other.
        default_->order = 0;
        bind(*default_);
    }
    return default_.get();
}

BoundShader* TextureSet::make(const std::string& name)
{
    auto bound = std::make_unique<BoundShader>();
    bound->order = ++nextOrder_;
    const std::string stripped = StripExtension(name);
    const ShaderDefinition* definition = shaders_ ? shaders_->Find(stripped) : nullptr;
    if (definition) {
        auto loads = [this](const std::string& image, bool clamp) {
            const std::optional<std::string> path = FindGameImage(image);
            return path && imageTexture(*path, clamp) != 0;
        };
        bound->shader = CompileShader(*definition, loads);
        bound->shader.name = stripped;
        // What the game did not take, once for the shader. A shader of no
        // stages is how packs hide a surface: nothing to tell.
        const GameShader& made = bound->shader;
        if (!made.notes.empty() && !(made.notes.size() == 1 && made.notes[0] == kNoStagesNote)) {
            std::string notes;
            for (const std::string& note : made.notes)
                notes += (notes.empty() ? "" : "; ") + note;
            // A shader the game makes, with what it passes over, is a note;
            // one it gives up on is a problem.
            const std::string text = "Shader \"" + stripped + "\" (" + definition->fileName + ", line " +
                                     std::to_string(definition->line) + "): " + notes +
                                     (made.defaulted ? "; the game draws what it read before that" : "");
            if (made.defaulted)
                platform::ShowMessage(text, kTextureCaption);
            else
                platform::ShowNote(text, kTextureCaption);
        }
    } else if (const auto image = FindGameImage(name); image && imageTexture(*image, false) != 0) {
        bound->shader = ImageShader(stripped, *image);
    } else {
        bound->shader = MissingShader(stripped);
        if (!image)
            platform::ShowMessage("\"" + name + "\" is neither a shader nor an image", kTextureCaption);
    }
    bind(*bound);
    BoundShader* made = bound.get();
    byName_[platform::LowerCase(stripped)] = std::move(bound);
    return made;
}

const BoundShader* TextureSet::Made(const std::string& name)
{
    if (name.empty())
        return DefaultShader();
    DefaultShader(); // made first, as the game makes it
    // Shaders go by their names as written ("\\" is no "/" to them); only
    // the files they read are found with either.
    const auto known = byName_.find(platform::LowerCase(StripExtension(name)));
    return known != byName_.end() ? known->second.get() : make(name);
}

const BoundShader* TextureSet::ShaderFor(const std::string& name, ShaderUse use)
{
    const BoundShader* bound = Made(name);
    // A model's own name that the game could not make draws its default.
    if (use == ShaderUse::Model && bound->shader.defaulted)
        return DefaultShader();
    return bound;
}

void TextureSet::Clear()
{
    FreeImageTextures(textures_);
    textures_.clear();
    byPath_.clear();
    byName_.clear();
    default_.reset();
    white_ = 0;
    defaultImage_ = 0;
    nextOrder_ = 0;
}

std::string ShaderName(const TMesh& mesh)
{
    if (mesh.Shaders.empty())
        return {};
    // A shader record is a 64-byte name field followed by an index.
    const auto* name = reinterpret_cast<const char*>(mesh.Shaders.front().Data);
    return std::string(name, strnlen(name, kMD3NameLength));
}

void LoadGamePart(GamePart& part, const std::string& path, TextureSet& textures)
{
    LoadMD3(part.model, path, Md3Arrangement::AtOffsets);
    part.shaders.clear();
    for (const TMesh& mesh : part.model.Meshes)
        part.shaders.push_back(textures.ShaderFor(ShaderName(mesh), ShaderUse::Model));
}

void ForEachGamePart(const GamePart& root, const std::function<void(const GamePart&)>& visit)
{
    std::vector<const GamePart*> parts{&root};
    std::set<const GamePart*> seen;
    while (!parts.empty()) {
        const GamePart* part = parts.back();
        parts.pop_back();
        if (!part || !seen.insert(part).second)
            continue;
        visit(*part);
        parts.insert(parts.end(), part->links.rbegin(), part->links.rend());
    }
}

void LinkGamePart(GamePart& parent, const std::string& tagName, GamePart& child)
{
    LinkModel(parent.model, tagName, child.model);
    const std::vector<TMD3Model*>& links = parent.model.Links;
    parent.links.resize(links.size());
    for (size_t i = 0; i < links.size(); ++i) {
        if (links[i] == &child.model)
            parent.links[i] = &child;
    }
}

std::string WeaponModelPath(const std::string& name) { return std::string(kWeaponsFolder) + name + "/" + name + ".md3"; }

std::string WeaponBarrelPath(const std::string& name)
{
    return std::string(kWeaponsFolder) + name + "/" + name + "_barrel.md3";
}

void LoadGameWeapon(GamePart& weapon, const std::string& name, TextureSet& textures)
{
    LoadGamePart(weapon, WeaponModelPath(name), textures);
    const std::string barrelPath = WeaponBarrelPath(name);
    if (!files::FileExists(barrelPath))
        return;
    auto barrel = std::make_shared<GamePart>();
    LoadGamePart(*barrel, barrelPath, textures);
    barrel->rollDegrees = kBarrelRestDegrees;
    LinkGamePart(weapon, kBarrelTag, *barrel);
    weapon.carried.push_back(std::move(barrel));
}
