#include "PackViews.h"

#include "app/tools/CheckRules.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>
#include <functional>
#include <map>
#include <regex>
#include <system_error>
#include <unistd.h>

namespace {

namespace files = platform::files;
namespace fs = std::filesystem;

using platform::LowerCase;

bool isFolder(const std::string& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

fs::path canonicalOf(const std::string& path)
{
    std::error_code ec;
    fs::path found = fs::weakly_canonical(fs::absolute(path), ec);
    return ec ? fs::path(path) : found;
}

// A folder of our own that holds nothing: the game root of a pack laid over
// no game data.
fs::path makeEmptyFolder()
{
    std::string pattern = (fs::temp_directory_path() / "quillmo-pack-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw platform::EInOutError("Cannot make a temporary folder in " + fs::temp_directory_path().string());
    return pattern;
}

// Findings whose presence depends on which scripts and archives hold what,
// not on the character: a pack ships one script holding only what its
// character uses.
bool aboutTheFiles(FindingKind kind)
{
    return kind == FindingKind::Archive || kind == FindingKind::ShaderScript ||
           kind == FindingKind::GameDataUnreadable || kind == FindingKind::ShaderDefinedTwice;
}

// The lines of one reading; contents of files by a hash of their bytes.
class Lines {
public:
    explicit Lines(const ViewReading& reading) : reading_(reading) {}

    std::vector<std::string> make()
    {
        for (const WantedFile& file : reading_.contents.files) {
            std::string line = "file " + content(file.stored);
            if (!file.direct) {
                line += " through";
                for (const std::string& shader : file.viaShaders)
                    line += " " + shader;
            }
            lines_.push_back(LowerCase(line));
        }
        for (const SurfaceLookup& lookup : reading_.report.lookups)
            lines_.push_back(LowerCase(lookupLine(lookup)));
        for (const MissingCharacterFile& missing : reading_.report.missing) {
            std::string line = "missing " + missing.skin + " " + missing.what + ":";
            for (const std::string& tried : missing.tried)
                line += " " + tried;
            lines_.push_back(LowerCase(line));
        }
        for (const std::string& text : reading_.report.unreadable)
            lines_.push_back(LowerCase("unreadable " + text));
        static const std::regex scriptPlace(R"(scripts/[^,"]*, line [0-9]+)", std::regex::icase);
        for (const CheckFinding& finding : reading_.check.findings) {
            if (aboutTheFiles(finding.kind))
                continue;
            const bool inScript = LowerCase(finding.file).rfind("scripts/", 0) == 0;
            lines_.push_back(LowerCase(std::string("finding ") + FindingKindId(finding.kind) + " " +
                                       finding.Subject() + " " + (inScript ? "" : finding.file + ":" +
                                       std::to_string(finding.line)) + " " +
                                       std::regex_replace(finding.text, scriptPlace, "a shader script")));
        }
        return std::move(lines_);
    }

private:
    std::string lookupLine(const SurfaceLookup& lookup)
    {
        std::string line = "surface " + lookup.part + " " + lookup.fromFile + ":" + std::to_string(lookup.fromLine) +
                           " " + lookup.surface + " skin " + lookup.skin + " name " + lookup.name + " -> " +
                           lookup.shader + " " + NameResolutionName(lookup.resolution) + " " +
                           SurfaceOutcomeName(lookup.outcome);
        if (lookup.image)
            line += " image " + content(lookup.image->path);
        if (lookup.resolution == NameResolution::Script && reading_.shaders) {
            if (const ShaderDefinition* definition = reading_.shaders->Find(lookup.name))
                line += " definition " + definitionHash(*definition);
        }
        if (lookup.made) {
            line += " stages " + std::to_string(lookup.made->stages.size());
            for (const GameStage& stage : lookup.made->stages) {
                for (const StageImageUse& image : StageImages(stage))
                    line += " " + image.name + "=" + (image.file ? content(image.file->path) : std::string("none"));
            }
        }
        return line;
    }

    static std::string definitionHash(const ShaderDefinition& definition)
    {
        std::string all;
        auto add = [&](const std::vector<ShaderLine>& lines) {
            for (const ShaderLine& line : lines) {
                for (const std::string& token : line)
                    all += token + '\x1f';
                all += '\n';
            }
        };
        add(definition.lines);
        for (const ShaderStage& stage : definition.stages) {
            all += "{" + std::to_string(stage.afterLines) + "\n";
            add(stage.lines);
        }
        return std::to_string(std::hash<std::string>()(all));
    }

    // A file by its path and a hash of its bytes.
    std::string content(const std::string& path)
    {
        const std::string key = LowerCase(path);
        auto at = contents_.find(key);
        if (at == contents_.end()) {
            std::string hash;
            try {
                const std::vector<uint8_t> bytes = files::ReadFileBytes(path);
                hash = std::to_string(std::hash<std::string_view>()(
                    std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
            } catch (const platform::EInOutError&) {
                hash = "unreadable";
            }
            at = contents_.emplace(key, key + "#" + hash).first;
        }
        return at->second;
    }

    const ViewReading& reading_;
    std::vector<std::string> lines_;
    std::map<std::string, std::string> contents_;
};

} // namespace

PackViews::PackViews(const CommandLine& options)
{
    if (options.paths.size() != 1)
        throw CharacterError("--pack packs one character: give its folder or NAME");
    const std::string& given = options.paths.front();
    if (!isFolder(given)) {
        // A NAME of the game data: the maker's files are its loose files,
        // laid over its archives.
        if (!options.gameRoot)
            throw CharacterError("\"" + given + "\" is no folder; a NAME of game data needs --game-root");
        baseRoot_ = *options.gameRoot;
        baseContents_ = files::RootContents::Archives;
        sourceIsBaseRoot_ = true;
        character_.name = given;
    } else {
        const fs::path folder = canonicalOf(given);
        character_.name = folder.filename().string();
        const OverlayPlace overlay = OverlayOf(folder.string(), character_.name);
        const bool usual = overlay.workRoot;
        workDir_ = overlay.dir;
        workAt_ = overlay.at;
        if (!options.gameRoot) {
            // Without a base, the game's own data are the archives of the
            // work root (none in a plain work folder).
            if (usual) {
                baseRoot_ = workDir_;
                baseContents_ = files::RootContents::Archives;
                sourceIsBaseRoot_ = true;
            } else {
                emptyRoot_ = makeEmptyFolder();
                baseRoot_ = emptyRoot_.string();
            }
        } else if (usual && canonicalOf(*options.gameRoot) == canonicalOf(workDir_)) {
            baseRoot_ = workDir_;
            baseContents_ = files::RootContents::Archives;
            sourceIsBaseRoot_ = true;
        } else {
            baseRoot_ = *options.gameRoot;
        }
    }
    character_.gameRoot = baseRoot_;
    character_.folder = std::string(kPlayersFolder) + character_.name + "/";
    character_.skin = "default";
    MountSource();
    if (!files::DirectoryExists(character_.folder))
        throw CharacterError("no character \"" + character_.name + "\" in " + given);
}

PackViews::~PackViews()
{
    files::MountDisk();
    if (!emptyRoot_.empty()) {
        std::error_code ec;
        fs::remove_all(emptyRoot_, ec);
    }
}

void PackViews::MountBase() const { files::MountGameRoot(baseRoot_, baseContents_); }

void PackViews::MountSource() const
{
    if (sourceIsBaseRoot_) {
        files::MountGameRoot(baseRoot_, files::RootContents::Everything);
        return;
    }
    MountBase();
    files::MountFolderAt(workDir_, workAt_);
}

void PackViews::MountPack(const std::string& archive) const
{
    MountBase();
    files::MountArchiveOver(archive);
}

ViewReading::ViewReading() = default;
ViewReading::~ViewReading() = default;
ViewReading::ViewReading(ViewReading&&) noexcept = default;
ViewReading& ViewReading::operator=(ViewReading&&) noexcept = default;

ViewReading ReadView(const CharacterChoice& character, const std::vector<std::string>& skins)
{
    ViewReading reading;
    reading.shaders = std::make_unique<ShaderTable>(LoadShaderScripts(reading.shaderProblems));
    reading.textures = std::make_unique<TextureSet>(reading.shaders.get());
    SurfaceExtras extras;
    extras.levelsOfDetail = true;
    extras.icons = true;
    extras.teams = true;
    reading.report = GatherSurfaces(character, skins, *reading.textures, extras);
    CheckCharacter(character.name, character.folder, *reading.shaders, reading.check);
    reading.contents = GatherPackContents(character, skins, reading.report, *reading.shaders);
    return reading;
}

std::vector<std::string> ReadingLines(const ViewReading& reading) { return Lines(reading).make(); }

std::vector<std::string> LinesNamingNone(const std::vector<std::string>& lines, const std::set<std::string>& names)
{
    std::vector<std::string> kept;
    for (const std::string& line : lines) {
        const bool names_ = std::any_of(names.begin(), names.end(),
                                        [&](const std::string& name) { return line.find(name) != std::string::npos; });
        if (!names_)
            kept.push_back(line);
    }
    return kept;
}
