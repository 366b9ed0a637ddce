#include "PackContents.h"

#include "game/GameCharacter.h"
#include "game/GameData.h"
#include "game/GameShader.h"
#include "platform/files/FileLayer.h"
#include "platform/system/System.h"

#include <algorithm>
#include <map>

namespace {

namespace files = platform::files;

using platform::LowerCase;

// The file's name as a reference asks for it: the reference's letters where
// it names the file itself, and the found file's extension where the game
// found it under another one.
std::string entryName(const std::string& asked, const std::string& stored)
{
    if (platform::SameText(asked, stored))
        return asked;
    const std::string askedStem = StripExtension(asked);
    const std::string storedStem = StripExtension(stored);
    if (platform::SameText(askedStem, storedStem))
        return askedStem + stored.substr(storedStem.size());
    return stored;
}

std::string plainPath(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    while (!path.empty() && path.front() == '/')
        path.erase(0, 1);
    return path;
}

class Collector {
public:
    explicit Collector(PackContents& contents) : contents_(contents)
    {
        for (size_t i = 0; i < contents_.files.size(); ++i)
            index_.emplace(LowerCase(contents_.files[i].stored), i);
        for (size_t i = 0; i < contents_.shaders.size(); ++i)
            shaderIndex_.emplace(contents_.shaders[i].name, i);
    }

    // The game reads stored (its name in the game data) when asked for
    // asked: for itself, or as a stage image of the shader viaShader.
    void file(const std::string& asked, const std::string& stored, const std::string& why,
              const std::string& viaShader = std::string())
    {
        const std::string key = LowerCase(stored);
        const std::string entry = entryName(plainPath(asked), stored);
        auto [at, isNew] = index_.emplace(key, contents_.files.size());
        if (isNew)
            contents_.files.push_back({entry, stored, {}, {}, false, {}});
        WantedFile& wanted = contents_.files[at->second];
        if (viaShader.empty())
            wanted.direct = true;
        else if (std::find(wanted.viaShaders.begin(), wanted.viaShaders.end(), viaShader) == wanted.viaShaders.end())
            wanted.viaShaders.push_back(viaShader);
        if (std::find(wanted.why.begin(), wanted.why.end(), why) == wanted.why.end())
            wanted.why.push_back(why);
        if (entry != wanted.entry &&
            std::find(wanted.spellings.begin(), wanted.spellings.end(), entry) == wanted.spellings.end())
            wanted.spellings.push_back(entry);
    }

    // A character file the game looks for in its order; found or not.
    void found(const FoundFile& file, const std::string& why)
    {
        if (file.path)
            this->file(AskedName(file), *file.path, why);
    }

    void shader(const ShaderDefinition& definition, const std::string& why)
    {
        auto [at, isNew] = shaderIndex_.emplace(definition.name, contents_.shaders.size());
        if (isNew) {
            contents_.shaders.push_back({definition.name, &definition, {why}});
            return;
        }
        std::vector<std::string>& reasons = contents_.shaders[at->second].why;
        if (std::find(reasons.begin(), reasons.end(), why) == reasons.end())
            reasons.push_back(why);
    }

private:
    PackContents& contents_;
    std::map<std::string, size_t> index_;       // stored name, lower case -> its file
    std::map<std::string, size_t> shaderIndex_; // definition name -> its shader
};

// Who names a shader or image: "line 3 of models/.../lower_default.skin (surface l_legs)".
std::string namedBy(const SurfaceLookup& lookup)
{
    if (lookup.part == "icon")
        return "the icon of skin " + lookup.skin;
    if (lookup.use == ShaderUse::Skin)
        return "line " + std::to_string(lookup.fromLine) + " of " + lookup.fromFile + " (surface " +
               lookup.surface + ")";
    return "surface " + lookup.surface + " of " + lookup.fromFile + " (the renderer makes every shader a model "
           "names)";
}


} // namespace

const std::vector<std::string>& PlayerSoundNames()
{
    static const std::vector<std::string> names = {
        "death1.wav",    "death2.wav", "death3.wav", "jump1.wav",     "pain25_1.wav", "pain50_1.wav", "pain75_1.wav",
        "pain100_1.wav", "falling1.wav", "gasp.wav", "drown.wav", "fall1.wav",    "taunt.wav"};
    return names;
}

std::optional<std::string> FindGameSound(const std::string& path)
{
    if (std::optional<std::string> found = files::ResolvePath(path); found && files::FileExists(*found))
        return found;
    // The sound readers in the order the game tries them for a name it
    // cannot find: each other extension in turn.
    static const char* const kSoundExtensions[] = {".wav", ".ogg", ".opus"};
    const std::string stem = StripExtension(path);
    const std::string extension = LowerCase(path.substr(stem.size()));
    for (const char* other : kSoundExtensions) {
        if (extension == other)
            continue;
        if (std::optional<std::string> found = files::ResolvePath(stem + other); found && files::FileExists(*found))
            return found;
    }
    return std::nullopt;
}

std::vector<std::string> EverySkin(const std::string& folder)
{
    std::vector<std::string> skins;
    for (const char* part : {"lower", "upper", "head"}) {
        for (std::string& skin : ListSkins(folder, part)) {
            const bool known = std::any_of(skins.begin(), skins.end(),
                                           [&](const std::string& s) { return platform::SameText(s, skin); });
            if (!known)
                skins.push_back(std::move(skin));
        }
    }
    // A skin of team games alone: a folder S of the character's holding its
    // team heads (S/head_red.skin), whose legs and torso are the team's own.
    for (const files::FolderEntry& entry : files::ListFolder(folder)) {
        if (!entry.isFolder || std::any_of(skins.begin(), skins.end(), [&](const std::string& known) {
                return platform::SameText(known, entry.name);
            }))
            continue;
        for (const char* team : kGameTeams) {
            if (files::FileExists(folder + entry.name + "/head_" + team + ".skin")) {
                skins.push_back(entry.name);
                break;
            }
        }
    }
    std::sort(skins.begin(), skins.end(), [](const std::string& a, const std::string& b) {
        const std::string la = LowerCase(a), lb = LowerCase(b);
        return la != lb ? la < lb : a < b;
    });
    return skins;
}

PackContents GatherPackContents(const CharacterChoice& choice, const std::vector<std::string>& skins,
                                const SurfaceReport& report, const ShaderTable& shaders)
{
    PackContents contents;
    Collector collect(contents);

    // The parts, their levels of detail, the animation file; then each skin's
    // files and icon.
    const GameCharacterFiles parts = FindGameCharacterFiles(choice.folder, skins.empty() ? "default" : skins[0]);
    for (const CharacterPart& part : kCharacterParts) {
        const FoundFile& model = parts[part.model];
        collect.found(model, std::string("the game's ") + part.what + " model");
        if (!model.path)
            continue;
        const std::string asked = AskedName(model);
        for (const std::string& level : LevelOfDetailPaths(asked)) {
            if (std::optional<std::string> stored = files::ResolvePath(level); stored && files::FileExists(*stored))
                collect.file(level, *stored, "a level of detail the renderer reads beside " + asked);
        }
    }
    collect.found(parts[CharacterFile::Animation], "the animation file");
    for (const std::string& skin : skins) {
        const GameCharacterFiles found = FindGameCharacterFiles(choice.folder, skin);
        for (const CharacterPart& part : kCharacterParts)
            collect.found(found[part.skin], "skin " + skin + " of the " + part.what);
        collect.found(found[CharacterFile::Icon], "the icon of skin " + skin + " (the game shows it on the scoreboard)");
        for (const char* team : kGameTeams) {
            const GameCharacterFiles teams = FindGameCharacterFiles(choice.folder, skin, team);
            const std::string inTeams = " in team games (" + std::string(team) + ")";
            for (const CharacterPart& part : kCharacterParts)
                collect.found(teams[part.skin], "skin " + skin + " of the " + part.what + inTeams);
            collect.found(teams[CharacterFile::Icon], "the icon of skin " + skin + inTeams);
        }
    }

    // What every shader name resolves to: an image alone, or a shader whose
    // stages read images.
    for (const SurfaceLookup& lookup : report.lookups) {
        if (lookup.name.empty())
            continue;
        const std::string by = namedBy(lookup);
        if (lookup.image)
            collect.file(lookup.name, lookup.image->path, "the image named by " + by);
        if (lookup.resolution == NameResolution::Script) {
            if (const ShaderDefinition* definition = shaders.Find(lookup.name))
                collect.shader(*definition, "named by " + by);
        }
        if (!lookup.made || lookup.resolution != NameResolution::Script)
            continue;
        for (size_t s = 0; s < lookup.made->stages.size(); ++s) {
            for (const StageImageUse& image : StageImages(lookup.made->stages[s])) {
                if (image.file)
                    collect.file(image.name, image.file->path,
                                 "stage " + std::to_string(s + 1) + " of shader " + lookup.shader,
                                 LowerCase(lookup.shader));
            }
        }
    }

    // The player sounds, from the character's own sound folder.
    for (const std::string& sound : PlayerSoundNames()) {
        const std::string asked = "sound/player/" + choice.name + "/" + sound;
        if (std::optional<std::string> stored = FindGameSound(asked))
            collect.file(asked, *stored, "the game's own list of player sounds (" + StripExtension(sound) + ")");
    }
    return contents;
}

void AddDefinitionImages(PackContents& contents, const ShaderDefinition& definition)
{
    Collector collect(contents);
    for (size_t s = 0; s < definition.stages.size(); ++s) {
        for (const ShaderLine& line : definition.stages[s].lines) {
            // map NAME, clampmap NAME, animmap FREQUENCY NAME...
            const size_t first = line[0] == "map" || line[0] == "clampmap" ? 1 : line[0] == "animmap" ? 2 : line.size();
            for (size_t i = first; i < line.size() && i < first + kMaxAnimationImages; ++i) {
                if (line[i].empty() || line[i][0] == '$' || line[i][0] == '*')
                    continue; // $lightmap, $whiteimage, *white: no file
                if (std::optional<std::string> stored = FindGameImage(line[i]))
                    collect.file(line[i], *stored, "stage " + std::to_string(s + 1) + " of shader " + definition.name,
                                 definition.name);
                if (first == 1)
                    break;
            }
        }
    }
}
