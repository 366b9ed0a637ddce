#include "SurfaceReport.h"

#include "game/GameCharacter.h"
#include "game/GameSkin.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <cstring>
#include <map>
#include <set>

namespace {

namespace files = platform::files;

constexpr const char* kReportCaption = "Surfaces";


GameFilePlace placeOf(const std::string& path) { return {path, files::SourceOf(path)}; }

// Every shader name a surface of an MD3 holds, in order: the game makes each,
// and draws the first.
std::vector<std::string> shaderNames(const TMesh& mesh)
{
    std::vector<std::string> names;
    for (const TMD3Shader& record : mesh.Shaders) {
        const auto* name = reinterpret_cast<const char*>(record.Data);
        names.emplace_back(name, strnlen(name, kMD3NameLength));
    }
    return names;
}

// Fills in what the game makes of lookup.name.
void describe(SurfaceLookup& lookup, TextureSet& textures)
{
    if (lookup.name.empty()) {
        lookup.outcome = SurfaceOutcome::DefaultShader;
        return;
    }
    const BoundShader* bound = textures.Made(lookup.name);
    const GameShader& made = bound->shader;
    lookup.made = &made;
    lookup.shader = made.name;
    const SurfaceName resolved = ResolveSurfaceName(lookup.name, std::string(), textures.Shaders());
    if (resolved.shader) {
        lookup.resolution = NameResolution::Script;
        lookup.script = placeOf(resolved.shader->fileName);
        lookup.scriptLine = static_cast<int>(resolved.shader->line);
    } else if (resolved.image) {
        lookup.resolution = NameResolution::Image;
        lookup.image = placeOf(*resolved.image);
    }
    if (!made.defaulted)
        lookup.outcome = SurfaceOutcome::Made;
    else if (lookup.use == ShaderUse::Model)
        lookup.outcome = SurfaceOutcome::DefaultShader;
    else
        lookup.outcome = made.stages.empty() ? SurfaceOutcome::Nothing : SurfaceOutcome::Defaulted;
}

class Gatherer {
public:
    Gatherer(SurfaceReport& report, TextureSet& textures) : report_(report), textures_(textures) {}

    // The MD3 at path, read by the game's rules, and its own shader names;
    // false (after a message) when it cannot be read.
    bool addModel(const std::string& part, const std::string& path, TMD3Model& model)
    {
        try {
            LoadMD3(model, path, Md3Arrangement::AtOffsets);
        } catch (const platform::EInOutError& e) {
            unreadable(e.what());
            return false;
        }
        for (const TMesh& mesh : model.Meshes) {
            std::vector<std::string> names = shaderNames(mesh);
            if (names.empty())
                names.emplace_back(); // drawn with the default shader
            for (const std::string& name : names) {
                SurfaceLookup lookup = base(part, model, mesh);
                lookup.use = ShaderUse::Model;
                lookup.name = name;
                lookup.fromFile = path;
                add(std::move(lookup));
            }
        }
        return true;
    }

    // The shader name of an icon, which the game registers for a skin.
    void addIcon(const std::string& skinName, const std::string& path)
    {
        SurfaceLookup lookup;
        lookup.part = "icon";
        lookup.skin = skinName;
        lookup.use = ShaderUse::Model;
        lookup.name = path;
        lookup.fromFile = path;
        add(std::move(lookup));
    }

    // Every line of a skin file (the game makes the shader of each, whether
    // a surface of the part has its name or not), then the surfaces it has
    // no line for.
    void addSkin(const std::string& part, const std::string& skinName, const std::string& path,
                 const TMD3Model& model)
    {
        GameSkin skin;
        try {
            skin = ReadGameSkinFile(path);
        } catch (const platform::EInOutError& e) {
            unreadable(e.what());
            return;
        }
        for (const GameSkinEntry& entry : skin.entries) {
            SurfaceLookup lookup;
            lookup.part = part;
            lookup.model = model.FileName;
            lookup.surface = entry.surface;
            lookup.skin = skinName;
            lookup.use = ShaderUse::Skin;
            lookup.name = entry.shader;
            lookup.fromFile = path;
            lookup.fromLine = entry.shaderLine;
            add(std::move(lookup));
        }
        for (const TMesh& mesh : model.Meshes) {
            if (FindSkinEntry(skin, GameSurfaceName(MD3Name(mesh.Header.Name))))
                continue;
            SurfaceLookup lookup = base(part, model, mesh);
            lookup.skin = skinName;
            lookup.use = ShaderUse::Skin;
            lookup.fromFile = path;
            add(std::move(lookup));
        }
    }

private:
    static SurfaceLookup base(const std::string& part, const TMD3Model& model, const TMesh& mesh)
    {
        SurfaceLookup lookup;
        lookup.part = part;
        lookup.model = model.FileName;
        lookup.surface = MD3Name(mesh.Header.Name);
        return lookup;
    }

    void unreadable(const std::string& text)
    {
        platform::ShowMessage(text, kReportCaption);
        report_.unreadable.push_back(text);
    }

    void add(SurfaceLookup lookup)
    {
        describe(lookup, textures_);
        // A shader is made once, by the first name that asks for it ("x.jpg"
        // and then "x.tga" are both the shader "x", made of x.jpg): later
        // lookups get what that one resolved to, and read no image.
        const std::string key = platform::LowerCase(lookup.shader);
        if (lookup.made) {
            const auto [first, isNew] = firstLookup_.emplace(key, report_.lookups.size());
            if (!isNew) {
                const SurfaceLookup& maker = report_.lookups[first->second];
                lookup.resolution = maker.resolution;
                lookup.script = maker.script;
                lookup.scriptLine = maker.scriptLine;
                lookup.image = maker.image;
                report_.lookups.push_back(std::move(lookup));
                return;
            }
        }
        // The game names an image by what was asked for: an image alone by
        // the surface's name, a stage's by the name the stage gives.
        if (lookup.made && lookup.resolution == NameResolution::Image) {
            if (!lookup.made->defaulted)
                addImage({lookup.name, lookup.image, {}});
        } else if (lookup.made) {
            for (const GameStage& stage : lookup.made->stages) {
                for (StageImageUse& image : StageImages(stage)) {
                    if (image.file)
                        addImage(std::move(image));
                }
            }
        }
        report_.lookups.push_back(std::move(lookup));
    }

    void addImage(StageImageUse image)
    {
        if (!imageNames_.insert(platform::LowerCase(image.name)).second)
            return;
        // What the game's own reader makes of the file: some Targa files it
        // refuses, and stops with an error.
        if (image.file) {
            const ImageFile read = ReadGameImageFile(image.file->path);
            if (read.targa && !read.targa->refusal.empty())
                image.gameRefusal = read.targa->refusal;
        }
        report_.images.push_back(std::move(image));
    }

    SurfaceReport& report_;
    TextureSet& textures_;
    std::set<std::string> imageNames_;
    std::map<std::string, size_t> firstLookup_; // shader name, lower case -> its first lookup
};

} // namespace

const char* SurfaceOutcomeName(SurfaceOutcome outcome)
{
    switch (outcome) {
    case SurfaceOutcome::Made:
        return "made";
    case SurfaceOutcome::Defaulted:
        return "defaulted";
    case SurfaceOutcome::DefaultShader:
        return "default shader";
    case SurfaceOutcome::Nothing:
        return "nothing";
    }
    return "";
}

const char* NameResolutionName(NameResolution resolution)
{
    switch (resolution) {
    case NameResolution::Script: return "script";
    case NameResolution::Image: return "image";
    case NameResolution::None: return "none";
    }
    return "";
}

std::vector<StageImageUse> StageImages(const GameStage& stage)
{
    std::vector<StageImageUse> images;
    for (const ShaderStageImage& image : stage.images) {
        StageImageUse use;
        switch (image.kind) {
        case StageImageKind::White:
            use.name = "*white";
            break;
        case StageImageKind::Lightmap:
            use.name = "$lightmap";
            break;
        case StageImageKind::File:
            use.name = image.name;
            if (const std::optional<std::string> path = FindGameImage(image.name))
                use.file = placeOf(*path);
            break;
        }
        images.push_back(std::move(use));
    }
    return images;
}

SurfaceReport GatherSurfaces(const CharacterChoice& choice, const std::vector<std::string>& skins,
                             TextureSet& textures, SurfaceExtras extras)
{
    SurfaceReport report;
    report.character = choice.name;
    report.folder = choice.folder;
    report.weapon = choice.weapon;
    report.skins = skins;
    Gatherer gather(report, textures);

    // The parts do not depend on the skin; the game looks for them first.
    const GameCharacterFiles parts = FindGameCharacterFiles(choice.folder, skins.empty() ? "default" : skins[0]);
    TMD3Model models[std::size(kCharacterParts)];
    bool readable[std::size(kCharacterParts)] = {};
    for (size_t i = 0; i < std::size(kCharacterParts); ++i) {
        const FoundFile& file = parts[kCharacterParts[i].model];
        if (file.path) {
            readable[i] = gather.addModel(kCharacterParts[i].name, *file.path, models[i]);
            // The levels of detail are read from the name asked for.
            for (const std::string& level : extras.levelsOfDetail ? LevelOfDetailPaths(AskedName(file))
                                                                  : std::vector<std::string>()) {
                TMD3Model lod;
                if (files::FileExists(level))
                    gather.addModel(kCharacterParts[i].name, level, lod);
            }
        } else {
            report.missing.push_back({"", CharacterFileName(kCharacterParts[i].model), file.tried});
        }
    }
    std::set<std::string> gathered; // skin and icon files, lower case
    for (const std::string& skin : skins) {
        const GameCharacterFiles found = FindGameCharacterFiles(choice.folder, skin);
        if (extras.icons && found[CharacterFile::Icon].path) {
            gather.addIcon(skin, AskedName(found[CharacterFile::Icon]));
            gathered.insert(platform::LowerCase(*found[CharacterFile::Icon].path));
        }
        for (size_t i = 0; i < std::size(kCharacterParts); ++i) {
            const FoundFile& file = found[kCharacterParts[i].skin];
            if (!file.path) {
                report.missing.push_back({skin, CharacterFileName(kCharacterParts[i].skin), file.tried});
            } else if (readable[i]) {
                gather.addSkin(kCharacterParts[i].name, skin, *file.path, models[i]);
                gathered.insert(platform::LowerCase(*file.path));
            }
        }
        // What team games read besides, each file once: a team's own skin
        // files and icon, where the character has them.
        for (const char* team : extras.teams ? std::vector<const char*>(std::begin(kGameTeams), std::end(kGameTeams))
                                             : std::vector<const char*>()) {
            const GameCharacterFiles teams = FindGameCharacterFiles(choice.folder, skin, team);
            const std::string label = skin + " (" + team + " team)";
            const FoundFile& icon = teams[CharacterFile::Icon];
            if (extras.icons && icon.path && gathered.insert(platform::LowerCase(*icon.path)).second)
                gather.addIcon(label, AskedName(icon));
            for (size_t i = 0; i < std::size(kCharacterParts); ++i) {
                const FoundFile& file = teams[kCharacterParts[i].skin];
                if (file.path && readable[i] && gathered.insert(platform::LowerCase(*file.path)).second)
                    gather.addSkin(kCharacterParts[i].name, label, *file.path, models[i]);
            }
        }
    }
    if (!choice.weapon.empty()) {
        TMD3Model weapon, barrel;
        gather.addModel("weapon", WeaponModelPath(choice.weapon), weapon);
        if (files::FileExists(WeaponBarrelPath(choice.weapon)))
            gather.addModel("barrel", WeaponBarrelPath(choice.weapon), barrel);
    }
    return report;
}
