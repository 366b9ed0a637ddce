#include "CheckRules.h"

#include "CheckAnimation.h"
#include "game/GameCharacter.h"
#include "game/GameData.h"
#include "game/GameShader.h"
#include "model/Model.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"
#include "textures/Textures.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <unordered_set>
#include <utility>

namespace {

// What the game does about a surface the checker finds at fault.
constexpr const char* kDrawsInvisible = "the game draws this surface invisible";
constexpr const char* kDrawsStagesBefore = "the game draws this surface with the stages before the problem only";
// What the game does with a Targa its reader refuses: it stops with an error
// (the game's dropping error) and leaves the level for its menu.
constexpr const char* kGameStopsOnImage =
    "the game stops with an error when it loads this image and drops back to its menu";

namespace files = platform::files;

enum PartIndex { kLegs, kTorso, kHead, kPartCount };
constexpr const char* kPartNames[kPartCount] = {"lower", "upper", "head"};

constexpr CharacterFile kPartFiles[kPartCount] = {CharacterFile::Legs, CharacterFile::Torso, CharacterFile::Head};
constexpr CharacterFile kSkinFiles[kPartCount] = {CharacterFile::LegsSkin, CharacterFile::TorsoSkin,
                                                  CharacterFile::HeadSkin};
// The skin the game's search for a character's parts is made with: the
// parts and the animation file are found the same way for every skin.
constexpr const char* kAnySkin = "default";

// Long lists of surfaces in one finding are cut after this many names.
constexpr size_t kMostNamesListed = 8;

std::string printable(std::string text) { return PrintableText(std::move(text)); }

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string numberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// "a, b, c" of at most kMostNamesListed names, then how many more.
std::string nameList(const std::vector<std::string>& names)
{
    std::vector<std::string> shown(names.begin(), names.begin() + std::min(names.size(), kMostNamesListed));
    std::string text;
    for (const std::string& name : shown)
        text += (text.empty() ? "" : ", ") + name;
    if (names.size() > shown.size())
        text += " and " + std::to_string(names.size() - shown.size()) + " more";
    return text;
}

// " (also looked for B, C)" after the first candidate of a file, or "".
std::string alsoTried(const FoundFile& found)
{
    std::string text;
    for (size_t i = 1; i < found.tried.size(); ++i)
        text += (text.empty() ? " (also looked for " : ", ") + found.tried[i];
    return text.empty() ? text : text + ")";
}

// Where a finding points: a file of the game data, and a line of it (0 for none).
struct Place {
    std::string file;
    size_t line = 0;
};

// What the game does about tag axes that are not of unit length.
constexpr const char* kGameNormalisesAxes = "normalises the axes";

struct PartFile {
    std::string path;
    TMD3Model model;
    bool usable = false; // read and accepted by the reader
};

// One character's check; the findings go straight into the report.
class CharacterCheck {
public:
    CharacterCheck(const std::string& name, const std::string& folder, const ShaderTable& shaders,
                   CheckReport& report)
        : name_(printable(name)), folder_(folder), shaders_(shaders), report_(report)
    {
    }

    void run()
    {
        ++report_.characters;
        const GameCharacterFiles found = FindGameCharacterFiles(folder_, kAnySkin);
        readParts(found);
        checkTags();
        for (const PartFile& part : parts_) {
            if (part.usable) {
                checkTagAxes(part);
                checkFrameCounts(part);
                for (const std::string& note : GameModelLimitNotes(part.model))
                    warning(FindingKind::ModelLimits, {part.path}, part.path + ": " + note);
            }
        }
        CheckAnimationFile(found[CharacterFile::Animation], checked(kLegs), checked(kTorso),
                           [this](Severity severity, FindingKind kind, const std::string& file, size_t line,
                                  const std::string& text, const std::string& gameDoes) {
                               add("", severity, kind, {file, line}, text, gameDoes);
                           });
        for (int i = 0; i < kPartCount; ++i) {
            for (const TMesh& mesh : parts_[i].model.Meshes)
                surfaces_[i].insert(GameSurfaceName(MD3Name(mesh.Header.Name)));
        }
        for (const std::string& skin : skinNames())
            checkSkin(skin);
    }

private:
    // A finding about the character (skin "") or one of its skins.
    void add(const std::string& skin, Severity severity, FindingKind kind, const Place& place,
             const std::string& text, const std::string& gameDoes = "")
    {
        // The report states what the game does without its subject.
        const std::string_view subject = "the game ";
        const std::string does = gameDoes.rfind(subject, 0) == 0 ? gameDoes.substr(subject.size()) : gameDoes;
        report_.findings.push_back(
            {name_, printable(skin), severity, kind, printable(place.file), place.line, printable(text), does});
    }
    void error(FindingKind kind, const Place& place, const std::string& text, const std::string& gameDoes = "")
    {
        add("", Severity::Error, kind, place, text, gameDoes);
    }
    void warning(FindingKind kind, const Place& place, const std::string& text, const std::string& gameDoes = "")
    {
        add("", Severity::Warning, kind, place, text, gameDoes);
    }

    CheckedPart checked(PartIndex i) const
    {
        return {parts_[i].path, parts_[i].usable ? &parts_[i].model : nullptr};
    }

    // The parts where the game finds them. A part the game refuses is still
    // checked further: the viewer shows it.
    void readParts(const GameCharacterFiles& found)
    {
        for (int i = 0; i < kPartCount; ++i) {
            PartFile& part = parts_[i];
            const FoundFile& file = found[kPartFiles[i]];
            part.path = file.path.value_or(file.tried.front());
            if (!file.path) {
                error(FindingKind::PartMissing, {part.path},
                      part.path + " is missing" + alsoTried(file) + "; " + kGameShowsDefault, kGameShowsDefault);
                continue;
            }
            try {
                LoadMD3(part.model, part.path, Md3Arrangement::AtOffsets);
            } catch (const platform::EInOutError& e) {
                error(FindingKind::PartRejected, {part.path}, std::string(e.what()) + "; " + kGameShowsDefault,
                      kGameShowsDefault);
                continue;
            }
            const TMD3Header& header = part.model.Header;
            if (!IsMD3Header(header)) {
                // The reader keeps the header of a file it does not know and
                // reads nothing more of it: the game would not show the part.
                error(FindingKind::PartRejected, {part.path}, "Model file \"" + part.path + "\": not a model this reader reads (ident \"" +
                      std::string(header.Ident, sizeof header.Ident) + "\", version " +
                      std::to_string(header.Version) + "; wanted IDP3 version " + std::to_string(kMD3Version) + "); " +
                      kGameShowsDefault, kGameShowsDefault);
                continue;
            }
            if (const std::optional<std::string> refusal = GameModelRefusal(part.model))
                error(FindingKind::PartRejected, {part.path}, part.path + ": " + *refusal + "; " + kGameShowsDefault,
                      kGameShowsDefault);
            part.usable = true;
        }
    }

    // The parts hang on each other by tags of these exact names, as the game
    // finds them; without one the game puts the part at its parent's origin.
    void requireTag(const PartFile& part, const std::string& tagName, const char* child)
    {
        const size_t tags = std::min(part.model.Links.size(), part.model.Tags.size());
        for (size_t i = 0; i < tags; ++i) {
            if (MD3Name(part.model.Tags[i].Name) == tagName)
                return;
        }
        const std::string gameDoes =
            std::string("the game draws the ") + child + " at the origin of " + part.path + ", unturned";
        error(FindingKind::TagMissing, {part.path}, part.path + " has no " + tagName + "; " + gameDoes, gameDoes);
    }

    void checkTags()
    {
        if (parts_[kLegs].usable)
            requireTag(parts_[kLegs], "tag_torso", "torso");
        if (parts_[kTorso].usable) {
            requireTag(parts_[kTorso], "tag_head", "head");
            requireTag(parts_[kTorso], "tag_weapon", "weapon");
        }
    }

    // Names the longest axis, or where every odd axis is shorter than 1 the
    // shortest: how far the part is drawn off the size it was made at by a
    // program that does not normalise.
    void checkTagAxes(const PartFile& part)
    {
        double longest = 0, shortest = std::numeric_limits<double>::infinity();
        bool odd = false, notANumber = false;
        for (const TMD3Tag& tag : part.model.Tags) {
            for (const auto& axis : tag.Axis) {
                if (IsUnitTagAxis(axis))
                    continue;
                odd = true;
                const double length = std::sqrt(double(axis[0]) * axis[0] + double(axis[1]) * axis[1] +
                                                double(axis[2]) * axis[2]);
                if (std::isnan(length)) {
                    notANumber = true;
                    continue;
                }
                longest = std::max(longest, length);
                shortest = std::min(shortest, length);
            }
        }
        if (!odd)
            return;
        const std::string extreme = notANumber ? "one of length nan"
                                    : longest > 1 ? "longest " + numberText(longest)
                                                  : "shortest " + numberText(shortest);
        warning(FindingKind::TagAxes, {part.path},
                part.path + ": tag axes are not of unit length (" + extreme + "); the game normalises them",
                kGameNormalisesAxes);
    }

    void checkFrameCounts(const PartFile& part)
    {
        const int32_t frames = part.model.Header.NumFrames;
        std::vector<std::string> odd;
        for (const TMesh& mesh : part.model.Meshes) {
            if (mesh.Header.NumFrames != frames)
                odd.push_back(MD3Name(mesh.Header.Name) + " " + std::to_string(mesh.Header.NumFrames));
        }
        if (!odd.empty())
            warning(FindingKind::FrameCounts, {part.path},
                    part.path + ": surfaces with other vertex frame counts than the part's " + std::to_string(frames) +
                    ": " + nameList(odd));
    }

    // Every skin any part has a file of, in name order ignoring letter case.
    std::vector<std::string> skinNames() const
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

    void checkSkin(const std::string& skin)
    {
        ++report_.skins;
        std::set<std::string> reportedImages;
        const GameCharacterFiles found = FindGameCharacterFiles(folder_, skin);
        for (int i = 0; i < kPartCount; ++i) {
            const FoundFile& file = found[kSkinFiles[i]];
            if (!file.path) {
                add(skin, Severity::Error, FindingKind::SkinMissing, {file.tried.front()},
                    file.tried.front() + " is missing" + alsoTried(file) + "; " + kGameShowsDefault,
                    kGameShowsDefault);
                continue;
            }
            GameSkin read;
            try {
                read = ReadGameSkinFile(*file.path);
            } catch (const platform::EInOutError& e) {
                add(skin, Severity::Error, FindingKind::SkinMissing, {*file.path},
                    std::string(e.what()) + "; " + kGameShowsDefault, kGameShowsDefault);
                continue;
            }
            if (read.entries.empty()) {
                add(skin, Severity::Error, FindingKind::SkinMissing, {*file.path},
                    *file.path + " names no surfaces; " + kGameShowsDefault, kGameShowsDefault);
                continue;
            }
            checkSkinEntries(skin, *file.path, read, i, reportedImages);
        }
        checkIcon(skin, found[CharacterFile::Icon]);
    }

    // Where the game reads a skin other than its lines say: a texture taken
    // from the next line, a texture starting with the comma, a surface read
    // from the rest of a tag line.
    void checkMisreads(const std::string& skin, const std::string& path, const GameSkin& read)
    {
        const auto misread = [&](int line, const std::string& text, const std::string& gameDoes) {
            add(skin, Severity::Warning, FindingKind::SkinMisread, {path, static_cast<size_t>(line)},
                path + ", line " + std::to_string(line) + ": " + text + "; " + gameDoes, gameDoes);
        };
        for (const GameSkinEntry& entry : read.entries) {
            const std::string surface = quoted(entry.surface);
            if (std::find(read.tagLines.begin(), read.tagLines.end(), entry.surfaceLine) != read.tagLines.end())
                misread(entry.surfaceLine, "the game does not read a texture after a tag, so " + surface +
                                               " after it is read as a surface name",
                        "the game reads the rest of the skin one word off");
            else if (!entry.shader.empty() && entry.shaderLine != entry.surfaceLine)
                misread(entry.surfaceLine, surface + " has no texture on its line",
                        "the game takes " + quoted(entry.shader) + " from line " + std::to_string(entry.shaderLine) +
                            " as its texture and reads the rest of the skin one word off");
            else if (!entry.shader.empty() && entry.shader.front() == ',')
                misread(entry.surfaceLine, "a blank before the comma after " + surface,
                        "the game reads " + quoted(entry.shader) + ", comma and all, as the texture name");
        }
        if (read.ignored > 0)
            misread(read.entries.back().surfaceLine,
                    "the skin names more than " + std::to_string(kMostSkinSurfaces) + " surfaces",
                    "the game ignores the " + Plural(static_cast<int>(read.ignored), "entry", "entries") + " after it");
    }

    void checkSkinEntries(const std::string& skin, const std::string& path, const GameSkin& read, int partIndex,
                          std::set<std::string>& reportedImages)
    {
        const PartFile& part = parts_[partIndex];
        const std::unordered_set<std::string>& surfaces = surfaces_[partIndex];
        checkMisreads(skin, path, read);
        std::map<std::string, int> firstLines; // surface -> line of its first entry
        for (const GameSkinEntry& entry : read.entries) {
            const Place where{path, static_cast<size_t>(entry.surfaceLine)};
            const std::string whereText = path + ", line " + std::to_string(entry.surfaceLine);
            const auto [first, isFirst] = firstLines.emplace(entry.surface, entry.surfaceLine);
            if (!isFirst) {
                const std::string gameDoes = "the game uses line " + std::to_string(first->second);
                add(skin, Severity::Warning, FindingKind::SkinDuplicate, where,
                    whereText + ": " + quoted(entry.surface) + " is named again; " + gameDoes, gameDoes);
                continue;
            }
            if (part.usable && !surfaces.count(entry.surface))
                add(skin, Severity::Warning, FindingKind::SkinSurface, where,
                    whereText + ": " + quoted(entry.surface) + " is no surface of " + part.path);
            if (!entry.shader.empty())
                checkTexture(skin, where, whereText, entry.shader, reportedImages);
        }
        if (!part.usable)
            return;
        std::vector<std::string> bare;
        std::unordered_set<std::string> listed;
        for (const TMesh& mesh : part.model.Meshes) {
            const std::string name = GameSurfaceName(MD3Name(mesh.Header.Name));
            if (!firstLines.count(name) && listed.insert(name).second)
                bare.push_back(quoted(name));
        }
        if (!bare.empty()) {
            const std::string gameDoes =
                std::string("the game draws ") + (bare.size() == 1 ? "it" : "them") + " with its default texture";
            add(skin, Severity::Warning, FindingKind::SurfaceWithoutSkin, {path},
                path + ": no entry for " + (bare.size() == 1 ? "surface " : "surfaces ") + nameList(bare) + " of " +
                    part.path + "; " + gameDoes,
                gameDoes);
        }
    }

    // The game refuses a character without an icon it can show for the skin.
    void checkIcon(const std::string& skin, const FoundFile& icon)
    {
        if (!icon.path) {
            add(skin, Severity::Error, FindingKind::IconMissing, {icon.tried.front()},
                "no icon for skin " + quoted(skin) + " (looked for " + icon.tried.front() + " and " +
                    std::to_string(icon.tried.size() - 1) + " more places, the last " + icon.tried.back() + "); " +
                    kGameShowsDefault,
                kGameShowsDefault);
            return;
        }
        const SurfaceName& resolved = resolve(*icon.path);
        if (!resolved.shader && !resolved.image)
            add(skin, Severity::Error, FindingKind::IconMissing, {*icon.path},
                "the icon " + *icon.path + " is no image the game can show; " + kGameShowsDefault, kGameShowsDefault);
    }

    void checkTexture(const std::string& skin, const Place& where, const std::string& whereText,
                      const std::string& texture, std::set<std::string>& reportedImages)
    {
        const SurfaceName& resolved = resolve(texture);
        if (resolved.shader) {
            checkShader(skin, whereText, texture, *resolved.shader, reportedImages);
            return;
        }
        if (!resolved.image) {
            std::string text = whereText + ": " + quoted(texture) +
                               " is neither a shader nor an image (also tried as .tga, .jpg, .jpeg, .png, .pcx and "
                               ".bmp); the game draws this surface invisible";
            if (resolved.ownFolderImage)
                text += " (" + *resolved.ownFolderImage + " is found under the character's folder; the game will not "
                        "find it)";
            add(skin, Severity::Error, FindingKind::TextureMissing, where, text, kDrawsInvisible);
            return;
        }
        reportImage(skin, whereText, *resolved.image, reportedImages);
    }

    void reportImage(const std::string& skin, const std::string& whereText, const std::string& image,
                     std::set<std::string>& reportedImages)
    {
        const ImageJudgement& judged = judgeImage(image);
        if (!judged.failure && !judged.targa)
            return;
        if (!reportedImages.insert(platform::LowerCase(image)).second)
            return;
        const std::string where = " (" + whereText + ")";
        if (judged.targa && !judged.targa->refusal.empty()) {
            add(skin, Severity::Error, FindingKind::ImageGameRefuses, {image},
                image + ": the game refuses this image (" + judged.targa->refusal + ") and stops with an error when "
                "it loads it, dropping back to its menu; " + (judged.failure ? "Quillmo cannot read it either" :
                "Quillmo draws it") + where, kGameStopsOnImage);
            return;
        }
        if (judged.failure) {
            add(skin, Severity::Error, FindingKind::ImageRejected, {image}, *judged.failure + where);
            return;
        }
        reportOrientation(skin, image, *judged.targa, where);
    }

    // A Targa the game reads with origin bits it ignores.
    void reportOrientation(const std::string& skin, const std::string& image, const TargaGameReading& targa,
                           const std::string& where)
    {
        if (!targa.upsideDown && !targa.mirrored)
            return;
        const std::string flags = targa.upsideDown && targa.mirrored ? "top-down and right-to-left flags"
                                  : targa.upsideDown                  ? "top-down flag"
                                                                      : "right-to-left flag";
        const std::string shown = targa.upsideDown && targa.mirrored ? "upside down and mirrored"
                                  : targa.upsideDown                  ? "upside down"
                                                                      : "mirrored";
        add(skin, Severity::Warning, FindingKind::ImageOrientation, {image},
            image + ": the game ignores the image's " + flags + " and shows it " + shown +
                "; stored bottom row first, left to right, it would show as made" + where,
            "the game shows this image " + shown);
    }

    // A shader with more than one definition: which one the game takes.
    void reportDefinedTwice(const std::string& skin, const std::string& whereText, const std::string& texture,
                            const ShaderDefinition& definition)
    {
        if (definition.overrides.empty() || !reportedTwice_.insert(skin + '\n' + definition.name).second)
            return;
        auto placeText = [](const std::string& file, size_t line) { return file + ", line " + std::to_string(line); };
        std::vector<std::string> others;
        bool looseRival = false;
        const bool looseWinner = !files::HasArchiveExtension(files::SourceOf(definition.fileName));
        for (const ShaderPlace& place : definition.overrides) {
            others.push_back(placeText(place.fileName, place.line));
            looseRival = looseRival || (place.fileName != definition.fileName &&
                                        !files::HasArchiveExtension(files::SourceOf(place.fileName)));
        }
        const std::string used = placeText(definition.fileName, definition.line);
        std::string text = whereText + ": shader " + quoted(texture) + " is defined " +
                           std::to_string(others.size() + 1) + " times; the game uses the one in " + used +
                           " (the first in the scripts as the game joins them) over " + nameList(others);
        if (looseWinner && looseRival)
            text += "; between scripts of one folder the game follows the order the system lists them in, "
                    "Quillmo takes the later name";
        add(skin, Severity::Warning, FindingKind::ShaderDefinedTwice, {definition.fileName, definition.line}, text,
            "the game uses the definition in " + used);
    }

    // A shader the game cannot make as written, and the images of its stages.
    void checkShader(const std::string& skin, const std::string& whereText, const std::string& texture,
                     const ShaderDefinition& definition,
                     std::set<std::string>& reportedImages)
    {
        reportDefinedTwice(skin, whereText, texture, definition);
        const Place script{definition.fileName, definition.line};
        const std::string shaderPlace = "shader " + quoted(texture) + " (" + definition.fileName + ", line " +
                                        std::to_string(definition.line) + ")";
        std::vector<std::string> images;
        const GameShader shader = CompileShader(definition, [&](const std::string& image, bool) {
            const std::optional<std::string> path = FindGameImage(image);
            if (path)
                images.push_back(*path);
            else
                add(skin, Severity::Error, FindingKind::ShaderImageMissing, script,
                    whereText + ": " + shaderPlace + " draws image " + quoted(image) + ", which is not there",
                    kDrawsStagesBefore);
            return path.has_value();
        });
        const bool missingImage = !shader.notes.empty() && shader.notes.back().find("is not there") != std::string::npos;
        const bool stageless = shader.notes.size() == 1 && shader.notes[0] == kNoStagesNote;
        const bool noDraw = std::any_of(definition.lines.begin(), definition.lines.end(), [](const ShaderLine& line) {
            return line.size() >= 2 && line[0] == "surfaceparm" && platform::SameText(line[1], "nodraw");
        });
        // A stageless "surfaceparm nodraw" shader hides its surface, as meant.
        if (stageless && !noDraw)
            add(skin, Severity::Warning, FindingKind::ShaderWithoutStages, script,
                whereText + ": " + shaderPlace + " has no stages; the game draws this surface invisible",
                kDrawsInvisible);
        else if (shader.defaulted && !stageless && !missingImage)
            add(skin, Severity::Error, FindingKind::ShaderUnusable, script,
                whereText + ": " + shaderPlace + ": " + shader.notes.back() +
                    "; the game draws this surface with the stages before it only",
                kDrawsStagesBefore);
        // A stage without an image ("{ }") ends what the game draws of a
        // shader it otherwise makes.
        for (const std::string& note : shader.notes) {
            if (!shader.defaulted && note.rfind("stage ", 0) == 0 && note.find("has no image") != std::string::npos)
                add(skin, Severity::Error, FindingKind::ShaderUnusable, script,
                    whereText + ": " + shaderPlace + ": " + note, kDrawsStagesBefore);
        }
        for (const std::string& image : images)
            reportImage(skin, whereText, image, reportedImages);
    }

    // A texture name resolved once per character: skins repeat their names.
    const SurfaceName& resolve(const std::string& texture)
    {
        const std::string key = platform::LowerCase(texture);
        if (auto known = textures_.find(key); known != textures_.end())
            return known->second;
        return textures_[key] = ResolveSurfaceName(texture, folder_, &shaders_);
    }

    // What the readers, and the game's own Targa reader, say about an image;
    // decoded once per character.
    struct ImageJudgement {
        std::optional<std::string> failure;
        std::optional<TargaGameReading> targa;
    };
    const ImageJudgement& judgeImage(const std::string& path)
    {
        const std::string key = platform::LowerCase(path);
        if (auto known = images_.find(key); known != images_.end())
            return known->second;
        ImageJudgement judged;
        try {
            ImageFile file = ReadGameImageFile(path);
            if (file.failure)
                judged.failure = file.failure->text;
            judged.targa = std::move(file.targa);
        } catch (const platform::EInOutError& e) {
            judged.failure = e.what();
        }
        // Some messages say only what went wrong; the finding names the file.
        if (judged.failure && judged.failure->find(path) == std::string::npos)
            judged.failure = path + ": " + *judged.failure;
        return images_[key] = std::move(judged);
    }

    std::string name_;
    const std::string& folder_;
    const ShaderTable& shaders_;
    CheckReport& report_;
    std::array<PartFile, kPartCount> parts_;
    std::array<std::unordered_set<std::string>, kPartCount> surfaces_; // each part's surface names, lower case
    std::map<std::string, SurfaceName> textures_; // lower-case texture name -> what it stands for
    std::map<std::string, ImageJudgement> images_; // lower-case path -> what the readers say
    std::set<std::string> reportedTwice_; // skin and shader name of each shader-defined-twice finding
};

} // namespace

void CheckCharacter(const std::string& name, const std::string& folder, const ShaderTable& shaders,
                    CheckReport& report)
{
    CharacterCheck(name, folder, shaders, report).run();
}
