#include "CheckFindings.h"

#include <algorithm>
#include <iterator>

namespace {

struct KindText {
    FindingKind kind;
    const char* id;
    const char* rule;
};

// In the order of FindingKind.
constexpr KindText kFindingKinds[] = {
    {FindingKind::Archive, "archive", "Every archive of the game data can be read, and every entry lies inside it."},
    {FindingKind::ShaderScript, "shader-script", "Every shader script can be read to its end."},
    {FindingKind::GameDataUnreadable, "game-data-unreadable", "The character's game data can be read."},
    {FindingKind::PartMissing, "part-missing", "The game finds the character's lower.md3, upper.md3 and head.md3."},
    {FindingKind::PartRejected, "part-rejected", "Every part is a model the reader and the game take."},
    {FindingKind::TagMissing, "tag-missing", "The legs have tag_torso, the torso tag_head and tag_weapon."},
    {FindingKind::TagAxes, "tag-axes", "Tag axes are of unit length."},
    {FindingKind::FrameCounts, "frame-counts", "Every surface of a part has the part's frame count."},
    {FindingKind::AnimationMissing, "animation-missing", "The game finds an animation.cfg that can be read."},
    {FindingKind::AnimationLine, "animation-line", "Every word of animation.cfg is one the game reads."},
    {FindingKind::AnimationCount, "animation-count", "The game takes animation.cfg: it has the entries the game needs."},
    {FindingKind::AnimationKeyword, "animation-keyword", "Keyword lines of animation.cfg have values the game takes."},
    {FindingKind::AnimationRange, "animation-range", "Every animation plays frames its parts have."},
    {FindingKind::SkinMissing, "skin-missing",
     "The game finds a skin file of each skin for every part, it can be read and names surfaces."},
    {FindingKind::SkinSurface, "skin-surface", "Every skin line names a surface of its part."},
    {FindingKind::SurfaceWithoutSkin, "surface-without-skin", "Every surface of a part has a line in each skin."},
    {FindingKind::TextureMissing, "texture-missing", "Every texture a skin names is an image or a shader."},
    {FindingKind::ShaderImageMissing, "shader-image-missing", "Every shader a skin names draws an image that is there."},
    {FindingKind::ImageRejected, "image-rejected", "Every image a skin names can be read."},
    {FindingKind::ShaderUnusable, "shader-unusable", "Every shader a skin names is one the game can make as written."},
    {FindingKind::ShaderWithoutStages, "shader-without-stages",
     "A shader without stages says surfaceparm nodraw, as a surface hidden on purpose does."},
    {FindingKind::ModelLimits, "model-limits",
     "A part has no more surfaces, tags, frames or shaders per surface than the format documents."},
    {FindingKind::SkinDuplicate, "skin-duplicate", "A skin names each surface once."},
    {FindingKind::SkinMisread, "skin-misread", "The game reads a skin's entries as its lines say."},
    {FindingKind::IconMissing, "icon-missing", "The game finds an icon it can show for every skin."},
    {FindingKind::ImageGameRefuses, "image-game-refuses",
     "Every Targa image a skin names is one the game's own reader takes (type 2, 3 or 10, no colour map)."},
    {FindingKind::ImageOrientation, "image-orientation",
     "Every Targa image a skin names is stored bottom row first, left to right, the only order the game reads."},
    {FindingKind::ShaderDefinedTwice, "shader-defined-twice",
     "Every shader a skin names is defined once in the shader scripts."},
    {FindingKind::CheckUnfinished, "check-unfinished",
     "The check of every character finishes (its worker neither dies nor hangs)."},
};

const KindText& textOf(FindingKind kind)
{
    const auto found = std::find_if(std::begin(kFindingKinds), std::end(kFindingKinds),
                                    [kind](const KindText& k) { return k.kind == kind; });
    return found != std::end(kFindingKinds) ? *found : kFindingKinds[0];
}

int countOf(const CheckReport& report, Severity severity)
{
    return static_cast<int>(std::count_if(report.findings.begin(), report.findings.end(),
                                          [&](const CheckFinding& f) { return f.severity == severity; }));
}

} // namespace

const char* FindingKindId(FindingKind kind) { return textOf(kind).id; }

const char* FindingKindRule(FindingKind kind) { return textOf(kind).rule; }

const std::vector<FindingKind>& AllFindingKinds()
{
    static const std::vector<FindingKind> kinds = [] {
        std::vector<FindingKind> all;
        for (const KindText& k : kFindingKinds)
            all.push_back(k.kind);
        return all;
    }();
    return kinds;
}

std::string CheckFinding::Subject() const
{
    if (character.empty())
        return kGameDataSubject;
    return skin.empty() ? character : character + "/" + skin;
}

int CheckReport::Errors() const { return countOf(*this, Severity::Error); }

int CheckReport::Warnings() const { return countOf(*this, Severity::Warning); }

std::string PrintableText(std::string text)
{
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = '?';
    }
    return text;
}

std::string Plural(int count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
