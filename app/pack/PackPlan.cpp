#include "PackPlan.h"

#include "PackContents.h"

#include "app/tools/CheckCore.h"
#include "game/GameShader.h"
#include "game/GameSkin.h"
#include "platform/files/FileLayer.h"
#include "platform/files/ZipWriter.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <algorithm>
#include <iterator>
#include <map>

namespace {

namespace files = platform::files;

using platform::LowerCase;

std::string readAll(const std::string& path)
{
    const std::vector<uint8_t> bytes = files::ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// A file of the source view with its bytes.
struct SourceFile {
    WantedFile wanted;
    std::string bytes;
};

bool sameDefinition(const ShaderDefinition& a, const ShaderDefinition& b)
{
    if (a.lines != b.lines || a.stages.size() != b.stages.size())
        return false;
    for (size_t i = 0; i < a.stages.size(); ++i) {
        if (a.stages[i].lines != b.stages[i].lines || a.stages[i].afterLines != b.stages[i].afterLines)
            return false;
    }
    return true;
}

// "NAME/SKIN" for every skin of the mounted game data's characters that
// names shader (lower case, no extension) on one of its lines.
std::vector<std::string> skinsNaming(const std::string& shader, const std::string& except)
{
    std::vector<std::string> users;
    for (const std::string& name : ListCharacters()) {
        if (platform::SameText(name, except))
            continue;
        const std::string folder = std::string(kPlayersFolder) + name + "/";
        for (const std::string& skin : EverySkin(folder)) {
            bool names = false;
            for (const char* part : {"lower", "upper", "head"}) {
                try {
                    const GameSkin read = ReadGameSkinFile(folder + part + "_" + skin + ".skin");
                    for (const GameSkinEntry& entry : read.entries)
                        names = names || NormalShaderName(StripExtension(entry.shader)) == shader;
                } catch (const platform::EInOutError&) {
                    // a part without this skin, or one that cannot be read: nothing named
                }
            }
            if (names)
                users.push_back(name + "/" + skin);
        }
    }
    return users;
}

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i ? ", " : "") + items[i];
    return text;
}

// Every shader script of the mounted game data with its text, in the
// game's list order.
std::vector<std::pair<std::string, std::string>> scriptTexts()
{
    std::vector<std::pair<std::string, std::string>> texts;
    for (const std::string& path : ShaderScriptFiles()) {
        try {
            texts.emplace_back(path, readAll(path));
        } catch (const platform::EInOutError&) {
            // the checker tells of a script that cannot be read
        }
    }
    return texts;
}

class Planner {
public:
    Planner(const PackViews& views, bool force) : views_(views), force_(force) {}

    PackPlan plan()
    {
        const CharacterChoice& character = views_.Character();
        plan_.character = character.name;

        // The base's shaders, and its scripts as written.
        views_.MountBase();
        std::vector<ShaderProblem> problems;
        const ShaderTable baseShaders = LoadShaderScripts(problems);
        std::map<std::string, std::string> baseScripts;
        for (auto& [path, text] : scriptTexts())
            baseScripts.emplace(LowerCase(path), std::move(text));
        baseHasScript_ = baseScripts.count(LowerCase(PackScriptName(plan_.character))) > 0;

        // What the game reads in the source, and the maker's own scripts:
        // those the base does not hold alike.
        views_.MountSource();
        plan_.skins = EverySkin(character.folder);
        ViewReading source = ReadView(character, plan_.skins);
        plan_.sourceLines = ReadingLines(source);
        plan_.check = source.check;
        PackContents& contents = source.contents;
        ShaderTable makers;
        std::map<std::string, std::string> makerTexts;
        for (auto& [path, text] : scriptTexts()) {
            const auto base = baseScripts.find(LowerCase(path));
            if (base != baseScripts.end() && base->second == text)
                continue;
            std::vector<ShaderProblem> ignored; // the checker tells of them
            makers.AddFile(path, text, ignored);
            makerTexts.emplace(path, std::move(text));
        }
        std::string script;
        for (const WantedShader& shader : contents.shaders)
            weighShader(shader, baseShaders, makers, makerTexts, contents, script);
        for (const WantedFile& wanted : contents.files) {
            if (throughLeftOutOnly(wanted))
                continue;
            files_.push_back({wanted, readAll(wanted.stored)});
        }

        // What the base provides alike stays out.
        views_.MountBase();
        for (SourceFile& file : files_)
            weighFile(file);
        if (!script.empty())
            addScript(script);
        std::sort(plan_.entries.begin(), plan_.entries.end(), [](const PackEntry& a, const PackEntry& b) {
            const std::string la = LowerCase(a.name), lb = LowerCase(b.name);
            return la != lb ? la < lb : a.name < b.name;
        });
        return std::move(plan_);
    }

private:
    bool throughLeftOutOnly(const WantedFile& wanted) const
    {
        return !wanted.direct && !wanted.viaShaders.empty() &&
               std::all_of(wanted.viaShaders.begin(), wanted.viaShaders.end(),
                           [&](const std::string& shader) { return plan_.shadowsLeftOut.count(shader) > 0; });
    }

    void caseWarnings(const WantedFile& wanted)
    {
        const std::string asked = StripExtension(wanted.entry);
        const std::string stored = StripExtension(wanted.stored);
        if (asked != stored && platform::SameText(asked, stored))
            warn("\"" + wanted.entry + "\" is stored as \"" + wanted.stored + "\": the pack stores the name the "
                 "game asks for, which it finds in an archive whatever the letter case; as a loose file on "
                 "Linux it would not be found");
        for (const std::string& other : wanted.spellings)
            warn("\"" + wanted.entry + "\" is also asked for as \"" + other + "\": found in an archive, but as "
                 "loose files on Linux one of the two names would not be");
    }

    void weighFile(SourceFile& file)
    {
        std::optional<std::string> base = files::ResolvePath(file.wanted.entry);
        if (base && files::FileExists(*base)) {
            if (readAll(*base) == file.bytes) {
                ++plan_.providedByBase;
                return;
            }
            warn("\"" + file.wanted.entry + "\" replaces the base game's file of that name (in " +
                 files::SourceOf(*base) + ") for every character that reads it");
        }
        caseWarnings(file.wanted);
        plan_.entries.push_back({file.wanted.entry, std::move(file.bytes), file.wanted.why});
    }

    // The maker's definition of a shader the character uses goes to the
    // pack, unless the base defines it alike; the base's own definitions
    // stay with the base.
    void weighShader(const WantedShader& shader, const ShaderTable& baseShaders, const ShaderTable& makers,
                     const std::map<std::string, std::string>& makerTexts, PackContents& contents, std::string& script)
    {
        const std::string& name = shader.name;
        const ShaderDefinition* base = baseShaders.Find(name);
        base = base && base->name == name ? base : nullptr;
        const ShaderDefinition* made = makers.Find(name);
        made = made && made->name == name ? made : nullptr;
        if (!made || (base && sameDefinition(*base, *made))) {
            ++plan_.providedByBase;
            return;
        }
        if (base) {
            const std::vector<std::string> users = skinsNaming(name, plan_.character);
            warn("shader \"" + name + "\" (" + made->fileName + ", line " + std::to_string(made->line) +
                 ") is also defined by the base game (" + base->fileName + ", line " + std::to_string(base->line) +
                 "); packed, it would change " +
                 (users.empty() ? std::string("every surface of the base game that uses it")
                                : "how " + joined(users) + (users.size() == 1 ? " looks" : " look")) +
                 " wherever the game takes the pack's definition (the archive first in name order wins)" +
                 (force_ ? "; packed as --force asks" : "; left out (--force packs it)"));
            if (!force_) {
                plan_.shadowsLeftOut.insert(name);
                return;
            }
        }
        // The maker's definition may not be the one the source shows (a
        // base archive's wins over loose scripts): its images go along.
        AddDefinitionImages(contents, *made);
        script += std::string(DefinitionText(*made, makerTexts.at(made->fileName))) + "\n\n";
        shaderReasons_.push_back("shader " + name + ", " + joined(shader.why));
    }

    void addScript(std::string script)
    {
        script.pop_back(); // one line break at the end
        const std::string name = PackScriptName(plan_.character);
        if (baseHasScript_)
            warn("the pack's \"" + name + "\" hides the base game's script of that name, and every shader "
                 "defined in it");
        plan_.entries.push_back({name, std::move(script), shaderReasons_});
    }

    void warn(const std::string& text) { plan_.warnings.push_back(text); }

    const PackViews& views_;
    bool force_;
    bool baseHasScript_ = false;
    PackPlan plan_;
    std::vector<SourceFile> files_;
    std::vector<std::string> shaderReasons_;
};

} // namespace

uint64_t PackPlan::Bytes() const
{
    uint64_t total = 0;
    for (const PackEntry& entry : entries)
        total += entry.bytes.size();
    return total;
}

std::string PackScriptName(const std::string& character) { return "scripts/" + character + ".shader"; }

PackPlan PlanPack(const PackViews& views, bool force) { return Planner(views, force).plan(); }

void WritePack(const PackPlan& plan, const std::string& path)
{
    platform::CheckPlaceForNewFile(path);
    std::vector<files::ArchiveMember> members;
    members.reserve(plan.entries.size());
    for (const PackEntry& entry : plan.entries)
        members.push_back({entry.name, entry.bytes, true});
    files::WriteZipArchive(path, members);
}

std::vector<std::string> ProvePack(const PackViews& views, const PackPlan& plan, const std::string& archive)
{
    views.MountPack(archive);
    std::vector<std::string> source = LinesNamingNone(plan.sourceLines, plan.shadowsLeftOut);
    std::vector<std::string> packed =
        LinesNamingNone(ReadingLines(ReadView(views.Character(), plan.skins)), plan.shadowsLeftOut);
    std::sort(source.begin(), source.end());
    std::sort(packed.begin(), packed.end());
    std::vector<std::string> onlySource, onlyPacked, lines;
    std::set_difference(source.begin(), source.end(), packed.begin(), packed.end(), std::back_inserter(onlySource));
    std::set_difference(packed.begin(), packed.end(), source.begin(), source.end(), std::back_inserter(onlyPacked));
    for (const std::string& line : onlySource)
        lines.push_back("only from the source: " + line);
    for (const std::string& line : onlyPacked)
        lines.push_back("only from the pack:   " + line);
    return lines;
}
