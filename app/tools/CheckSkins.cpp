#include "CheckSkins.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>

namespace {

constexpr CharacterFile kSkinFiles[kPartCount] = {CharacterFile::LegsSkin, CharacterFile::TorsoSkin,
                                                  CharacterFile::HeadSkin};

} // namespace

SkinCheck::SkinCheck(const std::string& folder, const ShaderTable& shaders, const CharacterParts& parts,
                     CharacterFindings& findings)
    : folder_(folder), shaders_(shaders), parts_(parts), findings_(findings), images_(findings),
      shaderCheck_(findings, images_)
{
    for (int i = 0; i < kPartCount; ++i) {
        for (const TMesh& mesh : parts_[i].model.Meshes)
            surfaces_[i].insert(GameSurfaceName(MD3Name(mesh.Header.Name)));
    }
}

std::vector<std::string> SkinCheck::SkinNames() const
{
    std::vector<std::string> skins;
    std::unordered_set<std::string> known; // lower case
    for (const char* part : kPartNames) {
        for (const std::string& skin : ListSkins(folder_, part)) {
            if (known.insert(platform::LowerCase(skin)).second)
                skins.push_back(skin);
        }
    }
    std::sort(skins.begin(), skins.end(), platform::LessIgnoringCase);
    return skins;
}

void SkinCheck::Check(const std::string& skin)
{
    ++findings_.Report().skins;
    std::set<std::string> reportedImages;
    const GameCharacterFiles found = FindGameCharacterFiles(folder_, skin);
    for (int i = 0; i < kPartCount; ++i)
        checkSkinFile(skin, found[kSkinFiles[i]], i, reportedImages);
    checkIcon(skin, found[CharacterFile::Icon]);
}

// One part's skin file where the game finds it.
void SkinCheck::checkSkinFile(const std::string& skin, const FoundFile& file, int partIndex,
                              std::set<std::string>& reportedImages)
{
    if (!file.path) {
        findings_.Add(skin, Severity::Error, FindingKind::SkinMissing, {file.tried.front()},
                      file.tried.front() + " is missing" + AlsoTried(file) + "; " + kGameShowsDefault,
                      kGameShowsDefault);
        return;
    }
    GameSkin read;
    try {
        read = ReadGameSkinFile(*file.path);
    } catch (const platform::EInOutError& e) {
        findings_.Add(skin, Severity::Error, FindingKind::SkinMissing, {*file.path},
                      std::string(e.what()) + "; " + kGameShowsDefault, kGameShowsDefault);
        return;
    }
    if (read.entries.empty()) {
        findings_.Add(skin, Severity::Error, FindingKind::SkinMissing, {*file.path},
                      *file.path + " names no surfaces; " + kGameShowsDefault, kGameShowsDefault);
        return;
    }
    checkEntries(skin, *file.path, read, partIndex, reportedImages);
}

// Where the game reads a skin other than its lines say: a texture taken
// from the next line, a texture starting with the comma, a surface read
// from the rest of a tag line.
void SkinCheck::checkMisreads(const std::string& skin, const std::string& path, const GameSkin& read)
{
    const auto misread = [&](int line, const std::string& text, const std::string& gameDoes) {
        findings_.Add(skin, Severity::Warning, FindingKind::SkinMisread, {path, static_cast<size_t>(line)},
                      path + ", line " + std::to_string(line) + ": " + text + "; " + gameDoes, gameDoes);
    };
    for (const GameSkinEntry& entry : read.entries) {
        const std::string surface = Quoted(entry.surface);
        if (std::find(read.tagLines.begin(), read.tagLines.end(), entry.surfaceLine) != read.tagLines.end())
            misread(entry.surfaceLine,
                    "the game does not read a texture after a tag, so " + surface +
                        " after it is read as a surface name",
                    "the game reads the rest of the skin one word off");
        else if (!entry.shader.empty() && entry.shaderLine != entry.surfaceLine)
            misread(entry.surfaceLine, surface + " has no texture on its line",
                    "the game takes " + Quoted(entry.shader) + " from line " + std::to_string(entry.shaderLine) +
                        " as its texture and reads the rest of the skin one word off");
        else if (!entry.shader.empty() && entry.shader.front() == ',')
            misread(entry.surfaceLine, "a blank before the comma after " + surface,
                    "the game reads " + Quoted(entry.shader) + ", comma and all, as the texture name");
    }
    if (read.ignored > 0)
        misread(read.entries.back().surfaceLine,
                "the skin names more than " + std::to_string(kMostSkinSurfaces) + " surfaces",
                "the game ignores the " + Plural(static_cast<int>(read.ignored), "entry", "entries") + " after it");
}

void SkinCheck::checkEntries(const std::string& skin, const std::string& path, const GameSkin& read, int partIndex,
                             std::set<std::string>& reportedImages)
{
    const PartFile& part = parts_[partIndex];
    checkMisreads(skin, path, read);
    std::map<std::string, int> firstLines; // surface -> line of its first entry
    for (const GameSkinEntry& entry : read.entries) {
        const Place where{path, static_cast<size_t>(entry.surfaceLine)};
        const std::string whereText = path + ", line " + std::to_string(entry.surfaceLine);
        const auto [first, isFirst] = firstLines.emplace(entry.surface, entry.surfaceLine);
        if (!isFirst) {
            const std::string gameDoes = "the game uses line " + std::to_string(first->second);
            findings_.Add(skin, Severity::Warning, FindingKind::SkinDuplicate, where,
                          whereText + ": " + Quoted(entry.surface) + " is named again; " + gameDoes, gameDoes);
            continue;
        }
        if (part.usable && !surfaces_[partIndex].count(entry.surface))
            findings_.Add(skin, Severity::Warning, FindingKind::SkinSurface, where,
                          whereText + ": " + Quoted(entry.surface) + " is no surface of " + part.path);
        if (!entry.shader.empty())
            checkTexture(skin, where, whereText, entry.shader, reportedImages);
    }
    if (part.usable)
        checkBareSurfaces(skin, path, part, firstLines);
}

// Surfaces of the part the skin has no entry for.
void SkinCheck::checkBareSurfaces(const std::string& skin, const std::string& path, const PartFile& part,
                                  const std::map<std::string, int>& firstLines)
{
    std::vector<std::string> bare;
    std::unordered_set<std::string> listed;
    for (const TMesh& mesh : part.model.Meshes) {
        const std::string name = GameSurfaceName(MD3Name(mesh.Header.Name));
        if (!firstLines.count(name) && listed.insert(name).second)
            bare.push_back(Quoted(name));
    }
    if (bare.empty())
        return;
    const std::string gameDoes =
        std::string("the game draws ") + (bare.size() == 1 ? "it" : "them") + " with its default texture";
    findings_.Add(skin, Severity::Warning, FindingKind::SurfaceWithoutSkin, {path},
                  path + ": no entry for " + (bare.size() == 1 ? "surface " : "surfaces ") + NameList(bare) + " of " +
                      part.path + "; " + gameDoes,
                  gameDoes);
}

// The game refuses a character without an icon it can show for the skin.
void SkinCheck::checkIcon(const std::string& skin, const FoundFile& icon)
{
    if (!icon.path) {
        findings_.Add(skin, Severity::Error, FindingKind::IconMissing, {icon.tried.front()},
                      "no icon for skin " + Quoted(skin) + " (looked for " + icon.tried.front() + " and " +
                          std::to_string(icon.tried.size() - 1) + " more places, the last " + icon.tried.back() +
                          "); " + kGameShowsDefault,
                      kGameShowsDefault);
        return;
    }
    const SurfaceName& resolved = resolve(*icon.path);
    if (!resolved.shader && !resolved.image)
        findings_.Add(skin, Severity::Error, FindingKind::IconMissing, {*icon.path},
                      "the icon " + *icon.path + " is no image the game can show; " + kGameShowsDefault,
                      kGameShowsDefault);
}

void SkinCheck::checkTexture(const std::string& skin, const Place& where, const std::string& whereText,
                             const std::string& texture, std::set<std::string>& reportedImages)
{
    const SurfaceName& resolved = resolve(texture);
    if (resolved.shader) {
        shaderCheck_.Check(skin, whereText, texture, *resolved.shader, reportedImages);
        return;
    }
    if (!resolved.image) {
        std::string text = whereText + ": " + Quoted(texture) +
                           " is neither a shader nor an image (also tried as .tga, .jpg, .jpeg, .png, .pcx and "
                           ".bmp); the game draws this surface invisible";
        if (resolved.ownFolderImage)
            text += " (" + *resolved.ownFolderImage + " is found under the character's folder; the game will not "
                    "find it)";
        findings_.Add(skin, Severity::Error, FindingKind::TextureMissing, where, text, kDrawsInvisible);
        return;
    }
    images_.Report(skin, whereText, *resolved.image, reportedImages);
}

// A texture name resolved once per character: skins repeat their names.
const SurfaceName& SkinCheck::resolve(const std::string& texture)
{
    const std::string key = platform::LowerCase(texture);
    if (auto known = textures_.find(key); known != textures_.end())
        return known->second;
    return textures_[key] = ResolveSurfaceName(texture, folder_, &shaders_);
}
