// Finding, judging and loading a character as the game does.
#include "GameCharacter.h"

#include "GameAnimation.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>
#include <exception>

namespace {

namespace files = platform::files;

constexpr const char* kFileNames[kCharacterFileCount] = {"lower.md3",  "upper.md3",  "head.md3",      "lower skin",
                                                         "upper skin", "head skin",  "animation.cfg", "icon"};
// The game's team name outside team games: part of the first skin name it tries.
constexpr const char* kNoTeam = "default";
constexpr const char* kMd3Ident = "IDP3";
// The caption of what the game would do with a character.
constexpr const char* kGameCaption = "Game";
// Limits the format documents and the game does not check.
constexpr int32_t kFormatSurfaces = 32;
constexpr int32_t kFormatTags = 16;
constexpr int32_t kFormatFrames = 1024;
constexpr int32_t kFormatShaders = 256;

struct CharacterFolders {
    std::vector<std::string> models; // legs, torso, skins and animation, in order
    std::vector<std::string> heads;  // head model folders and head skins
    std::string name;
    bool usual = false;              // models/players/NAME/
};

CharacterFolders foldersOf(const std::string& folder)
{
    CharacterFolders f;
    std::string trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == '/')
        trimmed.pop_back();
    f.name = trimmed.substr(trimmed.rfind('/') + 1);
    f.usual = platform::SameText(folder, std::string(kPlayersFolder) + f.name + "/");
    f.models = {folder};
    f.heads = {folder};
    if (f.usual) {
        f.models.push_back(std::string(kPlayersFolder) + "characters/" + f.name + "/");
        f.heads.push_back(std::string(kPlayersFolder) + "heads/" + f.name + "/");
    }
    return f;
}

FoundFile findFirst(std::vector<std::string> candidates)
{
    FoundFile found{std::move(candidates), std::nullopt};
    for (const std::string& path : found.tried) {
        if (path.size() <= kMostGameNameBytes && files::FileExists(path)) {
            found.path = files::ResolvePath(path).value_or(path);
            break;
        }
    }
    return found;
}

// "A" or "A, then B, then C".
std::string triedText(const std::vector<std::string>& tried)
{
    std::string text;
    for (const std::string& path : tried)
        text += (text.empty() ? "" : ", then ") + path;
    return text;
}

std::string missingText(const GameCharacterFiles& found, CharacterFile file)
{
    return std::string("no ") + CharacterFileName(file) + " (looked for " + triedText(found[file].tried) + ")";
}

} // namespace

const char* CharacterFileName(CharacterFile file) { return kFileNames[static_cast<size_t>(file)]; }

GameCharacterFiles FindGameCharacterFiles(const std::string& folder, const std::string& skin, const std::string& team)
{
    // Out of team games the game's team is "default", and the second place
    // it looks names the skin; in a team game it names the team.
    const std::string teamName = team.empty() ? std::string(kNoTeam) : team;
    const std::string second = team.empty() ? skin : team;
    const CharacterFolders f = foldersOf(folder);
    GameCharacterFiles found;
    auto set = [&](CharacterFile file, std::vector<std::string> candidates) {
        found.files[static_cast<size_t>(file)] = findFirst(std::move(candidates));
    };
    const auto inModelFolders = [&](const std::string& name) {
        std::vector<std::string> paths;
        for (const std::string& dir : f.models)
            paths.push_back(dir + name);
        return paths;
    };
    const auto modelSkins = [&](const std::string& part) {
        std::vector<std::string> paths;
        for (const std::string& dir : f.models) {
            paths.push_back(dir + part + "_" + skin + "_" + teamName + ".skin");
            paths.push_back(dir + part + "_" + second + ".skin");
        }
        return paths;
    };
    const auto headFiles = [&](const std::string& base, const std::string& extension) {
        std::vector<std::string> paths;
        for (const std::string& dir : f.heads) {
            paths.push_back(dir + skin + "/" + base + "_" + teamName + extension);
            paths.push_back(dir + base + "_" + second + extension);
        }
        return paths;
    };
    set(CharacterFile::Legs, inModelFolders("lower.md3"));
    set(CharacterFile::Torso, inModelFolders("upper.md3"));
    std::vector<std::string> heads{folder + "head.md3"};
    if (f.usual)
        heads.push_back(std::string(kPlayersFolder) + "heads/" + f.name + "/" + f.name + ".md3");
    set(CharacterFile::Head, heads);
    set(CharacterFile::LegsSkin, modelSkins("lower"));
    set(CharacterFile::TorsoSkin, modelSkins("upper"));
    set(CharacterFile::HeadSkin, headFiles("head", ".skin"));
    set(CharacterFile::Animation, inModelFolders("animation.cfg"));
    std::vector<std::string> icons = headFiles("icon", ".skin");
    for (const std::string& path : headFiles("icon", ".tga"))
        icons.push_back(path);
    set(CharacterFile::Icon, icons);
    return found;
}

std::optional<std::string> GameModelRefusal(const TMD3Model& part)
{
    const TMD3Header& header = part.Header;
    if (std::string_view(header.Ident, 4) != kMd3Ident)
        return "its first four bytes are not \"" + std::string(kMd3Ident) + "\"";
    if (header.Version != kMD3Version)
        return "it is of version " + std::to_string(header.Version) + ", not " + std::to_string(kMD3Version);
    if (header.NumFrames < 1)
        return std::string("it has no frames");
    for (const TMesh& mesh : part.Meshes) {
        const std::string surface = "surface '" + MD3Name(mesh.Header.Name) + "'";
        if (mesh.Header.NumVerts > kMostSurfaceVertices)
            return surface + " has " + std::to_string(mesh.Header.NumVerts) + " vertices; the game draws at most " +
                   std::to_string(kMostSurfaceVertices);
        if (mesh.Header.NumTriangles > kMostSurfaceTriangles)
            return surface + " has " + std::to_string(mesh.Header.NumTriangles) +
                   " triangles; the game draws at most " + std::to_string(kMostSurfaceTriangles);
    }
    return std::nullopt;
}

std::vector<std::string> GameModelLimitNotes(const TMD3Model& part)
{
    std::vector<std::string> notes;
    const auto note = [&](int64_t count, int32_t limit, const std::string& what) {
        if (count > limit)
            notes.push_back(std::to_string(count) + " " + what + ", more than the format's " + std::to_string(limit) +
                            "; the game draws them all, other programs may not");
    };
    note(part.Header.NumSurfaces, kFormatSurfaces, "surfaces");
    note(part.Header.NumTags, kFormatTags, "tags");
    note(part.Header.NumFrames, kFormatFrames, "frames");
    for (const TMesh& mesh : part.Meshes)
        note(mesh.Header.NumShaders, kFormatShaders, "shaders on surface '" + MD3Name(mesh.Header.Name) + "'");
    return notes;
}

void BindGameSkin(GamePart& part, const GameSkin& skin, TextureSet& textures)
{
    part.shaders.resize(part.model.Meshes.size());
    for (size_t i = 0; i < part.model.Meshes.size(); ++i) {
        const TMesh& mesh = part.model.Meshes[i];
        const GameSkinEntry* entry = FindSkinEntry(skin, GameSurfaceName(MD3Name(mesh.Header.Name)));
        part.shaders[i] = !entry || entry->shader.empty() ? textures.DefaultShader()
                                                          : textures.ShaderFor(entry->shader, ShaderUse::Skin);
    }
}

namespace {

// Reads a part the game needs and says why the game would not take it.
void loadPart(GamePart& part, const GameCharacterFiles& found, CharacterFile file, TextureSet& textures,
              std::vector<std::string>& refusals, std::exception_ptr& unreadable)
{
    const FoundFile& at = found[file];
    if (!at.path) {
        refusals.push_back(missingText(found, file));
        return;
    }
    try {
        LoadGamePart(part, *at.path, textures);
    } catch (const platform::EInOutError&) {
        // Neither the game nor we can read it: a failure of the load, told
        // once the rest is loaded.
        if (!unreadable)
            unreadable = std::current_exception();
        return;
    }
    if (const std::optional<std::string> refusal = GameModelRefusal(part.model))
        refusals.push_back(*at.path + ": " + *refusal);
    for (const std::string& note : GameModelLimitNotes(part.model))
        platform::ShowMessage(*at.path + ": " + note, "Model");
}

void loadSkin(GamePart& part, const GameCharacterFiles& found, CharacterFile file, TextureSet& textures,
              std::vector<std::string>& refusals)
{
    const FoundFile& at = found[file];
    if (!at.path) {
        refusals.push_back(missingText(found, file));
        return;
    }
    GameSkin skin;
    try {
        skin = ReadGameSkinFile(*at.path);
    } catch (const platform::EInOutError& e) {
        refusals.push_back(e.what());
        return;
    }
    if (skin.entries.empty()) {
        refusals.push_back(*at.path + " names no surfaces");
        return;
    }
    BindGameSkin(part, skin, textures);
}

// The first animation file the game takes, tried in its order.
void loadAnimation(GamePlayer& player, const GameCharacterFiles& found, std::vector<std::string>& refusals)
{
    const FoundFile& at = found[CharacterFile::Animation];
    std::vector<std::string> reasons;
    for (const std::string& path : at.tried) {
        if (path.size() > kMostGameNameBytes || !files::FileExists(path))
            continue;
        GameAnimationFile file;
        try {
            file = ReadGameAnimationFile(path);
        } catch (const platform::EInOutError& e) {
            reasons.push_back(e.what());
            continue;
        }
        for (const AnimationProblem& problem : file.problems)
            platform::ShowMessage(path + ", line " + std::to_string(problem.line) + ": " + problem.text, "Animation");
        // A refused file still moves the parts as far as it was read.
        if (reasons.empty() || !file.refusal) {
            player.Animations = file.entries;
            player.Keywords = std::move(file.keywords);
        }
        if (!file.refusal)
            return;
        reasons.push_back(path + ": " + *file.refusal);
    }
    refusals.push_back(reasons.empty() ? missingText(found, CharacterFile::Animation)
                                       : reasons.front() + (reasons.size() > 1 ? "; " + reasons.back() : ""));
}

// The icon must be a picture the game can show: a shader, or an image
// found from its name.
void checkIcon(const GameCharacterFiles& found, const ShaderTable* shaders, std::vector<std::string>& refusals)
{
    const FoundFile& at = found[CharacterFile::Icon];
    if (!at.path) {
        refusals.push_back(missingText(found, CharacterFile::Icon));
        return;
    }
    const SurfaceName icon = ResolveSurfaceName(*at.path, "", shaders);
    if (!icon.shader && !icon.image)
        refusals.push_back("the icon " + *at.path + " is no image the game can show");
}

} // namespace

std::vector<std::string> LoadGameCharacter(GamePlayer& player, const std::string& folder, const std::string& skin,
                                           TextureSet& textures)
{
    if (NormalTable[0][0][2] != 1.0)
        BuildNormalTable();
    const GameCharacterFiles found = FindGameCharacterFiles(folder, skin);
    std::vector<std::string> refusals;
    GamePart* const parts[] = {&player.Lower, &player.Upper, &player.Head};
    const CharacterFile models[] = {CharacterFile::Legs, CharacterFile::Torso, CharacterFile::Head};
    const CharacterFile skins[] = {CharacterFile::LegsSkin, CharacterFile::TorsoSkin, CharacterFile::HeadSkin};
    std::exception_ptr unreadable;
    for (int i = 0; i < 3; ++i) {
        loadPart(*parts[i], found, models[i], textures, refusals, unreadable);
        // A player's body parts are black with alpha 0 to the shaders.
        std::fill_n(parts[i]->entityColor, 4, uint8_t{0});
    }
    for (int i = 0; i < 3; ++i)
        loadSkin(*parts[i], found, skins[i], textures, refusals);
    loadAnimation(player, found, refusals);
    checkIcon(found, textures.Shaders(), refusals);
    SetGameAnimation(player, player.StandingTorso);
    SetGameAnimation(player, kLegsIdle);
    LinkGamePart(player.Lower, "tag_torso", player.Upper);
    LinkGamePart(player.Upper, "tag_head", player.Head);
    player.Refusals = refusals;
    if (unreadable)
        std::rethrow_exception(unreadable);
    return refusals;
}

void LoadGamePlayer(GamePlayer& player, const std::string& folder, const std::string& skin, TextureSet& textures)
{
    std::exception_ptr failure;
    try {
        LoadGameCharacter(player, folder, skin, textures);
    } catch (const platform::EInOutError&) {
        failure = std::current_exception();
    }
    for (const std::string& reason : player.Refusals)
        platform::ShowMessage(std::string(kGameShowsDefault) + ": " + reason, kGameCaption);
    if (failure)
        std::rethrow_exception(failure);
}

std::string AskedName(const FoundFile& file)
{
    for (const std::string& tried : file.tried) {
        if (file.path && platform::SameText(tried, *file.path))
            return tried;
    }
    return file.path.value_or(std::string());
}

std::vector<std::string> LevelOfDetailPaths(const std::string& path)
{
    constexpr int kMostLevelsOfDetail = 3; // the full model and two lower levels
    const size_t dot = path.find('.');
    const std::string stem = path.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    std::vector<std::string> paths;
    for (int level = kMostLevelsOfDetail - 1; level >= 1; --level)
        paths.push_back(stem + "_" + std::to_string(level) + "." + extension);
    return paths;
}
