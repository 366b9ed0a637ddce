#include "CharacterChoice.h"

#include "game/GameCharacter.h"

#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

namespace files = platform::files;
namespace fs = std::filesystem;

constexpr const char* kDefaultSkin = "default";
constexpr const char* kDefaultWeapon = "railgun";
constexpr const char* kNoWeapon = "none";
constexpr const char* kShaderCaption = "Shader Scripts";
constexpr const char* kPartList = "lower.md3, upper.md3 or head.md3";
constexpr const char* kGameDataCaption = "Game Data";
// A box lists at most this many problems, then says how many more there are.
constexpr size_t kMostProblemsInABox = 20;

// A part file given as PATH, as a file manager hands over the .md3 that was opened.
bool isPartFile(const std::string& path)
{
    const std::string lower = platform::LowerCase(path);
    std::error_code error;
    return lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".md3") == 0 && fs::is_regular_file(path, error);
}

// The folder of a part file stands for the character it belongs to.
std::string characterPathOf(const std::string& path)
{
    if (!isPartFile(path))
        return path;
    const std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

bool isDiskFolder(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

// A disk folder holding models/ (any letter case) or a .pk3 archive.
bool holdsGameData(const std::string& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if ((platform::SameText(name, "models") && it->is_directory(error)) || files::HasArchiveExtension(name))
            return true;
    }
    return false;
}

// A disk folder holding one of the three part files (any letter case).
bool holdsCharacterParts(const std::string& folder)
{
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = platform::LowerCase(it->path().filename().string());
        if (name == "lower.md3" || name == "upper.md3" || name == "head.md3")
            return true;
    }
    return false;
}

// PATH is game data (rather than a character folder): an archive, or a folder
// with models/ or archives that is not itself a character folder.
bool looksLikeGameRoot(const std::string& path)
{
    if (files::HasArchiveExtension(path) && !isDiskFolder(path))
        return true;
    return isDiskFolder(path) && holdsGameData(path) && !holdsCharacterParts(path);
}

std::string absoluteFolder(const std::string& path)
{
    std::error_code error;
    fs::path absolute = fs::absolute(path, error).lexically_normal();
    std::string text = absolute.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::string folderName(const std::string& absolute) { return fs::path(absolute).filename().string(); }

// What is mounted now, so that MountChoice mounts each game root once.
std::string mountedRoot;
std::string mountedOutside;
bool mountedOwnFilesOnly = false;
MountProblemsTo problemsTo = MountProblemsTo::User;

// One box listing every problem, or in non-interactive mode a line each.
void tellMountProblems()
{
    const std::vector<files::MountProblem>& problems = files::MountProblems();
    if (problems.empty() || problemsTo != MountProblemsTo::User)
        return;
    // An archive left out whole is a load problem; an entry left out is what
    // the game would not read either.
    std::optional<platform::LoadWatch> watch;
    if (std::any_of(problems.begin(), problems.end(), [](const files::MountProblem& p) { return p.entry.empty(); }))
        watch.emplace();
    if (platform::IsNonInteractive()) {
        for (const files::MountProblem& problem : problems)
            platform::ShowMessage(files::MountProblemText(problem), kGameDataCaption);
        return;
    }
    std::string text = "Some of the game data cannot be read and is left out:";
    for (size_t i = 0; i < problems.size() && i < kMostProblemsInABox; ++i)
        text += "\n" + files::MountProblemText(problems[i]);
    if (problems.size() > kMostProblemsInABox)
        text += "\n... and " + std::to_string(problems.size() - kMostProblemsInABox) + " more.";
    platform::ShowMessage(text, kGameDataCaption);
}

void mount(const CharacterChoice& choice)
{
    mountedRoot.clear();
    files::MountGameRoot(choice.gameRoot,
                         choice.ownFilesOnly ? files::RootContents::OwnFiles : files::RootContents::Everything);
    mountedOutside.clear();
    if (!choice.outsideDir.empty())
        files::MountFolderAt(choice.outsideDir, choice.outsideAt);
    mountedRoot = choice.gameRoot;
    mountedOutside = choice.outsideDir;
    mountedOwnFilesOnly = choice.ownFilesOnly;
    tellMountProblems();
}

// Mounts the game data of choice: again when fresh (a path given or dropped
// now is read as it is now), else unless it is mounted already.
void mountFor(const CharacterChoice& choice, bool fresh)
{
    if (fresh)
        mount(choice);
    else
        MountChoice(choice);
}

// A character folder on disk: inside the given game root, outside it, or
// with a game root found from its own path.
void chooseCharacterFolder(CharacterChoice& choice, const std::string& dir, bool rootGiven, bool fresh)
{
    const std::string folder = absoluteFolder(dir);
    choice.name = folderName(folder);
    if (!rootGiven) {
        GameDataPlace place = PlaceInGameData(folder);
        choice.gameRoot = std::move(place.gameRoot);
        choice.folder = std::move(place.folder);
        choice.ownFilesOnly = choice.folder.empty();
        mountFor(choice, fresh);
        return;
    }
    const std::string root = absoluteFolder(choice.gameRoot);
    const fs::path inside = fs::path(folder).lexically_relative(root);
    if (isDiskFolder(root) && !inside.empty() && *inside.begin() != "..") {
        choice.folder = inside.generic_string() == "." ? "" : inside.generic_string() + "/";
        return;
    }
    const OverlayPlace overlay = OverlayOf(folder, choice.name);
    choice.outsideDir = overlay.dir;
    choice.outsideAt = overlay.at;
    choice.folder = overlay.workRoot ? PlaceInGameData(folder).folder : overlay.at + "/";
    mountFor(choice, fresh);
}



std::string pickWeapon(const std::optional<std::string>& wanted, const std::string& root)
{
    if (!wanted)
        return files::FileExists(WeaponModelPath(kDefaultWeapon)) ? kDefaultWeapon : "";
    if (platform::SameText(*wanted, kNoWeapon))
        return "";
    if (!files::FileExists(WeaponModelPath(*wanted)))
        throw CharacterError("no weapon '" + *wanted + "' in " + root + " (looked for " + WeaponModelPath(*wanted) + ")");
    return *wanted;
}


} // namespace

GameDataPlace PlaceInGameData(const std::string& folder)
{
    const std::string absolute = absoluteFolder(folder);
    fs::path here(absolute);
    for (fs::path up = here.parent_path(); !up.empty() && up != up.root_path(); up = up.parent_path()) {
        if (platform::SameText(up.filename().string(), "models"))
            return {up.parent_path().string(), here.lexically_relative(up.parent_path()).generic_string() + "/"};
    }
    return {absolute, ""};
}

OverlayPlace OverlayOf(const std::string& folder, const std::string& name)
{
    const GameDataPlace place = PlaceInGameData(folder);
    if (platform::SameText(place.folder, kPlayersFolder + name + "/"))
        return {place.gameRoot, "", true};
    return {folder, kPlayersFolder + name, false};
}

std::string CharacterTitle(const std::string& name, const std::string& skin)
{
    return "Quillmo \xE2\x80\x94 " + name + " (" + skin + ")";
}

namespace {

// ResolveCharacterChoice; fresh as for mountFor.
CharacterChoice resolveChoice(const CommandLine& options, bool fresh)
{
    std::optional<std::string> root = options.gameRoot;
    std::optional<std::string> character = options.character;
    if (!options.paths.empty()) {
        const std::string path = characterPathOf(options.paths.front());
        if (!root && looksLikeGameRoot(path))
            root = path;
        else
            character = path;
    }

    CharacterChoice choice;
    try {
        if (root) {
            choice.gameRoot = *root;
            mountFor(choice, fresh);
        }
        if (character) {
            const bool plainName = character->find('/') == std::string::npos;
            if (root && plainName && IsCharacterFolder(kPlayersFolder + *character + "/")) {
                choice.folder = *files::ResolvePath(kPlayersFolder + *character) + "/";
                choice.name = folderName(choice.folder.substr(0, choice.folder.size() - 1));
            } else if (isDiskFolder(*character)) {
                chooseCharacterFolder(choice, *character, root.has_value(), fresh);
                if (!IsCharacterFolder(choice.folder))
                    throw CharacterError("no character in " + *character + " (looked for " + kPartList + ")");
            } else if (root) {
                throw CharacterError("no character '" + *character + "' in " + *root + " (looked for " +
                                     kPlayersFolder + *character + "/ holding " + kPartList + ")");
            } else {
                throw CharacterError("no character folder '" + *character + "' (looked for a folder holding " +
                                     kPartList + ")");
            }
        } else {
            const std::vector<std::string> names = ListCharacters();
            if (names.empty())
                throw CharacterError("no characters in " + *root + " (looked for " + kPlayersFolder +
                                     "NAME/ holding " + kPartList + ")");
            choice.name = names.front();
            choice.folder = kPlayersFolder + choice.name + "/";
        }
    } catch (const platform::EInOutError& e) {
        throw CharacterError(e.what());
    }
    choice.skin = PickSkin(choice, options.skin);
    choice.weapon = pickWeapon(options.weapon, choice.gameRoot);
    choice.animations = options.animations;
    return choice;
}

} // namespace

CharacterChoice ResolveCharacterChoice(const CommandLine& options) { return resolveChoice(options, true); }

CharacterChoice ResolvePathChoice(const std::string& path)
{
    CommandLine options;
    options.paths.push_back(path);
    return ResolveCharacterChoice(options);
}

std::vector<CharacterChoice> ResolveCharacterList(const CommandLine& options)
{
    std::vector<CharacterChoice> characters;
    if (options.paths.empty()) {
        if (!options.gameRoot)
            throw CharacterError("no characters given: name a game root (--game-root DIR|PK3) or character folders");
        CommandLine one;
        one.gameRoot = options.gameRoot;
        one.animations = options.animations;
        CharacterChoice first = resolveChoice(one, true);
        for (const std::string& name : ListCharacters()) {
            CharacterChoice choice = first;
            choice.name = name;
            choice.folder = kPlayersFolder + name + "/";
            choice.skin = PickSkin(choice, std::nullopt);
            characters.push_back(std::move(choice));
        }
        return characters;
    }
    for (const std::string& path : options.paths) {
        CommandLine one;
        one.gameRoot = options.gameRoot;
        one.animations = options.animations;
        one.character = path;
        // The game root named once is mounted once for all the names.
        characters.push_back(resolveChoice(one, characters.empty()));
    }
    return characters;
}

std::string PickSkin(const CharacterChoice& choice, const std::optional<std::string>& wanted)
{
    const std::vector<std::string> skins = ListSkins(choice.folder);
    const std::string name = wanted.value_or(kDefaultSkin);
    for (const std::string& skin : skins) {
        if (platform::SameText(skin, name))
            return skin;
    }
    if (wanted)
        throw CharacterError("no skin '" + name + "' for character " + choice.name + " (looked for " + choice.folder +
                             "lower_" + name + ".skin)");
    // Without a default skin the first one serves; without any, none.
    return skins.empty() ? kDefaultSkin : skins.front();
}

std::vector<std::pair<std::string, std::string>> SteppableCharacters(const CharacterChoice& current)
{
    std::vector<std::pair<std::string, std::string>> characters;
    for (const std::string& name : ListCharacters())
        characters.emplace_back(name, kPlayersFolder + name + "/");
    const bool listed = std::any_of(characters.begin(), characters.end(),
                                    [&](const auto& c) { return platform::SameText(c.second, current.folder); });
    if (!listed)
        characters.insert(characters.begin(), {current.name, current.folder});
    return characters;
}

void MountChoice(const CharacterChoice& choice)
{
    if (choice.gameRoot != mountedRoot || choice.outsideDir != mountedOutside ||
        choice.ownFilesOnly != mountedOwnFilesOnly)
        mount(choice);
}

void SendMountProblemsTo(MountProblemsTo to) { problemsTo = to; }

void LoadCharacter(const CharacterChoice& choice, GamePlayer& player, GamePart& weapon, TextureSet& textures)
{
    // The game's player stands differently with the gauntlet or empty hands.
    player.StandingTorso =
        choice.weapon.empty() || platform::SameText(choice.weapon, kSecondStandWeapon) ? kTorsoStand2 : kTorsoStand;
    LoadGamePlayer(player, choice.folder, choice.skin, textures);
    if (!choice.weapon.empty()) {
        LoadGameWeapon(weapon, choice.weapon, textures);
        LinkGamePart(player.Upper, "tag_weapon", weapon);
    }
}

ShaderTable ReadShaderScripts()
{
    std::vector<ShaderProblem> problems;
    ShaderTable shaders = LoadShaderScripts(problems);
    for (const ShaderProblem& problem : problems)
        platform::ShowMessage(problem.message, kShaderCaption);
    return shaders;
}
