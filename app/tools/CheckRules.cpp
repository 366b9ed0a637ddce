#include "CheckRules.h"

#include "model/GameData.h"
#include "model/GameShader.h"
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

constexpr const char* kAnimationFile = "animation.cfg";
// The entries the game plays; a 26th line is read but drives no part.
constexpr int kPlayedAnimations = 25;

constexpr std::string_view kSexLetters = "mfn";
constexpr const char* kFootsteps[] = {"default", "normal", "boot", "flesh", "mech", "energy"};
constexpr size_t kHeadOffsetNumbers = 3;

// Long lists of surfaces in one finding are cut after this many names.
constexpr size_t kMostNamesListed = 8;

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    const std::string la = platform::LowerCase(a), lb = platform::LowerCase(b);
    return la != lb ? la < lb : a < b;
}

std::string printable(std::string text) { return PrintableText(std::move(text)); }

std::string quoted(const std::string& text) { return "'" + text + "'"; }

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

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

bool isNumber(const std::string& token)
{
    const char* first = token.data() + (token.size() > 1 && token[0] == '+' ? 1 : 0);
    const char* last = token.data() + token.size();
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
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
        readParts();
        checkTags();
        for (const PartFile& part : parts_) {
            if (part.usable) {
                checkTagAxes(part);
                checkFrameCounts(part);
            }
        }
        checkAnimation();
        for (int i = 0; i < kPartCount; ++i) {
            for (const TMesh& mesh : parts_[i].model.Meshes)
                surfaces_[i].insert(platform::LowerCase(MD3Name(mesh.Header.Name)));
        }
        for (const std::string& skin : skinNames())
            checkSkin(skin);
    }

private:
    // A finding about the character (skin "") or one of its skins.
    void add(const std::string& skin, Severity severity, FindingKind kind, const Place& place,
             const std::string& text, const std::string& gameDoes = "")
    {
        report_.findings.push_back(
            {name_, printable(skin), severity, kind, printable(place.file), place.line, printable(text), gameDoes});
    }
    void error(FindingKind kind, const Place& place, const std::string& text)
    {
        add("", Severity::Error, kind, place, text);
    }
    void warning(FindingKind kind, const Place& place, const std::string& text, const std::string& gameDoes = "")
    {
        add("", Severity::Warning, kind, place, text, gameDoes);
    }

    void readParts()
    {
        for (int i = 0; i < kPartCount; ++i) {
            PartFile& part = parts_[i];
            part.path = folder_ + kPartNames[i] + ".md3";
            if (!files::FileExists(part.path)) {
                error(FindingKind::PartMissing, {part.path}, part.path + " is missing");
                continue;
            }
            try {
                LoadMD3(part.model, part.path);
            } catch (const platform::EInOutError& e) {
                error(FindingKind::PartRejected, {part.path}, e.what());
                continue;
            }
            const TMD3Header& header = part.model.Header;
            if (!IsMD3Header(header)) {
                // The reader keeps the header of a file it does not know and
                // reads nothing more of it: the game would not show the part.
                error(FindingKind::PartRejected, {part.path}, "Model file \"" + part.path + "\": not a model this reader reads (ident \"" +
                      std::string(header.Ident, sizeof header.Ident) + "\", version " +
                      std::to_string(header.Version) + "; wanted IDP3 version " + std::to_string(kMD3Version) + ")");
                continue;
            }
            part.usable = true;
        }
    }

    // The parts hang on each other by tags of these exact names, as LinkModel
    // finds them in the first frame.
    void requireTag(const PartFile& part, const std::string& tagName)
    {
        const size_t tags = std::min(part.model.Links.size(), part.model.Tags.size());
        for (size_t i = 0; i < tags; ++i) {
            if (MD3Name(part.model.Tags[i].Name) == tagName)
                return;
        }
        error(FindingKind::TagMissing, {part.path}, part.path + " has no " + tagName);
    }

    void checkTags()
    {
        if (parts_[kLegs].usable)
            requireTag(parts_[kLegs], "tag_torso");
        if (parts_[kTorso].usable) {
            requireTag(parts_[kTorso], "tag_head");
            requireTag(parts_[kTorso], "tag_weapon");
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

    void checkAnimation()
    {
        const std::string path = folder_ + kAnimationFile;
        if (!files::FileExists(path)) {
            error(FindingKind::AnimationMissing, {path}, path + " is missing");
            return;
        }
        GameAnimationFile file;
        try {
            file = ParseGameAnimation(files::ReadTextLines(path));
        } catch (const platform::EInOutError& e) {
            error(FindingKind::AnimationMissing, {path}, e.what());
            return;
        }
        for (const AnimationProblem& problem : file.problems)
            error(FindingKind::AnimationLine, {path, static_cast<size_t>(problem.line)},
                  path + ", line " + std::to_string(problem.line) + ": " + problem.text);
        if (file.animationLines < kPlayedAnimations)
            warning(FindingKind::AnimationCount, {path}, path + " has " + Plural(file.animationLines, "animation line", "animation lines") + "; the game "
                    "needs " + std::to_string(kPlayedAnimations));
        for (const AnimationKeyword& keyword : file.keywords)
            checkKeyword(path, keyword);
        checkRanges(path, file);
    }

    // Keyword values the game does not take.
    void checkKeyword(const std::string& path, const AnimationKeyword& keyword)
    {
        const std::string where = path + ", line " + std::to_string(keyword.line) + ": " + keyword.keyword;
        const Place place{path, static_cast<size_t>(keyword.line)};
        const std::vector<std::string>& values = keyword.values;
        const std::string written = values.empty() ? "nothing" : quoted(joined(values));
        if (keyword.keyword == "sex") {
            const bool known = values.size() == 1 &&
                               kSexLetters.find(static_cast<char>(std::tolower(static_cast<unsigned char>(
                                   values[0][0])))) != std::string_view::npos;
            if (!known)
                warning(FindingKind::AnimationKeyword, place, where + " takes m, f or n, not " + written);
        } else if (keyword.keyword == "footsteps") {
            const bool known =
                values.size() == 1 && std::any_of(std::begin(kFootsteps), std::end(kFootsteps), [&](const char* kind) {
                    return platform::LowerCase(values[0]) == kind;
                });
            if (!known)
                warning(FindingKind::AnimationKeyword, place, where + " takes default, normal, boot, flesh, mech or energy, not " + written);
        } else if (keyword.keyword == "headoffset") {
            if (values.size() != kHeadOffsetNumbers || !std::all_of(values.begin(), values.end(), isNumber))
                warning(FindingKind::AnimationKeyword, place, where + " takes three numbers, not " + written);
        } else if (!values.empty()) {
            warning(FindingKind::AnimationKeyword, place, where + " takes no values, not " + written);
        }
    }

    // The frames each played animation runs over, after the legs entries
    // have moved into the legs file's numbering, against the frames of the
    // parts it plays on.
    void checkRanges(const std::string& path, const GameAnimationFile& file)
    {
        std::array<TAnimation, kAnimationCount> table{};
        std::copy(file.entries.begin(), file.entries.end(), table.begin());
        AdjustAnimations(table);
        const size_t played = std::min(file.entries.size(), static_cast<size_t>(kPlayedAnimations));
        for (size_t k = 0; k < played; ++k) {
            const auto index = static_cast<uint32_t>(k);
            if (AnimationDrivesLegs(index))
                checkRange(path, k, table[k], parts_[kLegs]);
            if (AnimationDrivesTorso(index))
                checkRange(path, k, table[k], parts_[kTorso]);
        }
    }

    void checkRange(const std::string& path, size_t k, const TAnimation& animation, const PartFile& part)
    {
        if (!part.usable)
            return;
        const int64_t first = animation.FirstFrame;
        const int64_t last = first + std::max<int64_t>(0, animation.NumFrames);
        const int64_t frames = part.model.Header.NumFrames;
        if (first >= 0 && last < frames)
            return;
        error(FindingKind::AnimationRange, {path}, path + ": animation " + std::to_string(k) + " (" + AnimationName(static_cast<uint32_t>(k)) + ") plays frames " +
              std::to_string(first) + " to " + std::to_string(last) + " of " + part.path + ", which has " +
              Plural(static_cast<int>(frames), "frame", "frames"));
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
        std::sort(skins.begin(), skins.end(), lessIgnoringCase);
        return skins;
    }

    void checkSkin(const std::string& skin)
    {
        ++report_.skins;
        std::set<std::string> reportedImages;
        for (int i = 0; i < kPartCount; ++i) {
            const std::string path = folder_ + kPartNames[i] + "_" + skin + ".skin";
            if (!files::FileExists(path)) {
                add(skin, Severity::Error, FindingKind::SkinMissing, {path}, path + " is missing");
                continue;
            }
            std::vector<std::string> lines;
            try {
                lines = files::ReadTextLines(path);
            } catch (const platform::EInOutError& e) {
                add(skin, Severity::Error, FindingKind::SkinMissing, {path}, e.what());
                continue;
            }
            checkSkinLines(skin, path, lines, i, reportedImages);
        }
    }

    void checkSkinLines(const std::string& skin, const std::string& path, const std::vector<std::string>& lines,
                        int partIndex, std::set<std::string>& reportedImages)
    {
        const PartFile& part = parts_[partIndex];
        const std::unordered_set<std::string>& surfaces = surfaces_[partIndex];
        std::unordered_set<std::string> named; // surface names of the lines, lower case
        for (size_t n = 0; n < lines.size(); ++n) {
            // One line at a time, so that each finding can say which line.
            const std::vector<SkinBinding> binding = ParseSkinLines({lines[n]}, Conventions::Game);
            if (binding.empty())
                continue;
            const Place where{path, n + 1};
            const std::string whereText = path + ", line " + std::to_string(n + 1);
            const std::string surface = platform::LowerCase(binding[0].surfaceName);
            named.insert(surface);
            if (part.usable && !surfaces.count(surface))
                add(skin, Severity::Warning, FindingKind::SkinSurface, where,
                    whereText + ": " + quoted(binding[0].surfaceName) + " is no surface of " + part.path);
            checkTexture(skin, where, whereText, binding[0].imageName, reportedImages);
        }
        if (!part.usable)
            return;
        std::vector<std::string> bare;
        std::unordered_set<std::string> listed;
        for (const TMesh& mesh : part.model.Meshes) {
            const std::string name = MD3Name(mesh.Header.Name);
            if (!named.count(platform::LowerCase(name)) && listed.insert(platform::LowerCase(name)).second)
                bare.push_back(quoted(name));
        }
        if (!bare.empty())
            add(skin, Severity::Warning, FindingKind::SurfaceWithoutSkin, {path},
                path + ": no line for " + (bare.size() == 1 ? "surface " : "surfaces ") + nameList(bare) + " of " +
                    part.path);
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
            ImageFile file = ReadImageFile(path, Conventions::Game);
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
