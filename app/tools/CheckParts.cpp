#include "CheckParts.h"

#include "game/GameCharacter.h"
#include "model/Model.h"
#include "platform/system/Errors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace {

constexpr CharacterFile kPartFiles[kPartCount] = {CharacterFile::Legs, CharacterFile::Torso, CharacterFile::Head};

// What the game does about tag axes that are not of unit length.
constexpr const char* kGameNormalisesAxes = "normalises the axes";

std::string numberText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The part where the game finds it; usable when the reader took it.
void readPart(PartFile& part, const FoundFile& file, CharacterFindings& findings)
{
    part.path = file.path.value_or(file.tried.front());
    if (!file.path) {
        findings.Error(FindingKind::PartMissing, {part.path},
                       part.path + " is missing" + AlsoTried(file) + "; " + kGameShowsDefault, kGameShowsDefault);
        return;
    }
    try {
        LoadMD3(part.model, part.path, Md3Arrangement::AtOffsets);
    } catch (const platform::EInOutError& e) {
        findings.Error(FindingKind::PartRejected, {part.path}, std::string(e.what()) + "; " + kGameShowsDefault,
                       kGameShowsDefault);
        return;
    }
    const TMD3Header& header = part.model.Header;
    if (!IsMD3Header(header)) {
        // The reader keeps the header of a file it does not know and
        // reads nothing more of it: the game would not show the part.
        findings.Error(FindingKind::PartRejected, {part.path},
                       "Model file \"" + part.path + "\": not a model this reader reads (ident \"" +
                           std::string(header.Ident, sizeof header.Ident) + "\", version " +
                           std::to_string(header.Version) + "; wanted IDP3 version " + std::to_string(kMD3Version) +
                           "); " + kGameShowsDefault,
                       kGameShowsDefault);
        return;
    }
    if (const std::optional<std::string> refusal = GameModelRefusal(part.model))
        findings.Error(FindingKind::PartRejected, {part.path}, part.path + ": " + *refusal + "; " + kGameShowsDefault,
                       kGameShowsDefault);
    part.usable = true;
}

// The parts hang on each other by tags of these exact names, as the game
// finds them; without one the game puts the part at its parent's origin.
void requireTag(const PartFile& part, const std::string& tagName, const char* child, CharacterFindings& findings)
{
    const size_t tags = std::min(part.model.Links.size(), part.model.Tags.size());
    for (size_t i = 0; i < tags; ++i) {
        if (MD3Name(part.model.Tags[i].Name) == tagName)
            return;
    }
    const std::string gameDoes =
        std::string("the game draws the ") + child + " at the origin of " + part.path + ", unturned";
    findings.Error(FindingKind::TagMissing, {part.path}, part.path + " has no " + tagName + "; " + gameDoes,
                   gameDoes);
}

void checkTags(const CharacterParts& parts, CharacterFindings& findings)
{
    if (parts[kLegs].usable)
        requireTag(parts[kLegs], "tag_torso", "torso", findings);
    if (parts[kTorso].usable) {
        requireTag(parts[kTorso], "tag_head", "head", findings);
        requireTag(parts[kTorso], "tag_weapon", "weapon", findings);
    }
}

// Names the longest axis, or where every odd axis is shorter than 1 the
// shortest: how far the part is drawn off the size it was made at by a
// program that does not normalise.
void checkTagAxes(const PartFile& part, CharacterFindings& findings)
{
    double longest = 0, shortest = std::numeric_limits<double>::infinity();
    bool odd = false, notANumber = false;
    for (const TMD3Tag& tag : part.model.Tags) {
        for (const auto& axis : tag.Axis) {
            if (IsUnitTagAxis(axis))
                continue;
            odd = true;
            const double length =
                std::sqrt(double(axis[0]) * axis[0] + double(axis[1]) * axis[1] + double(axis[2]) * axis[2]);
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
    const std::string extreme = notANumber     ? "one of length nan"
                                : longest > 1 ? "longest " + numberText(longest)
                                              : "shortest " + numberText(shortest);
    findings.Warning(FindingKind::TagAxes, {part.path},
                     part.path + ": tag axes are not of unit length (" + extreme + "); the game normalises them",
                     kGameNormalisesAxes);
}

void checkFrameCounts(const PartFile& part, CharacterFindings& findings)
{
    const int32_t frames = part.model.Header.NumFrames;
    std::vector<std::string> odd;
    for (const TMesh& mesh : part.model.Meshes) {
        if (mesh.Header.NumFrames != frames)
            odd.push_back(MD3Name(mesh.Header.Name) + " " + std::to_string(mesh.Header.NumFrames));
    }
    if (!odd.empty())
        findings.Warning(FindingKind::FrameCounts, {part.path},
                         part.path + ": surfaces with other vertex frame counts than the part's " +
                             std::to_string(frames) + ": " + NameList(odd));
}

} // namespace

CharacterParts CheckParts(const GameCharacterFiles& found, CharacterFindings& findings)
{
    CharacterParts parts;
    for (int i = 0; i < kPartCount; ++i)
        readPart(parts[i], found[kPartFiles[i]], findings);
    checkTags(parts, findings);
    for (const PartFile& part : parts) {
        if (!part.usable)
            continue;
        checkTagAxes(part, findings);
        checkFrameCounts(part, findings);
        for (const std::string& note : GameModelLimitNotes(part.model))
            findings.Warning(FindingKind::ModelLimits, {part.path}, part.path + ": " + note);
    }
    return parts;
}

CheckedPart Checked(const PartFile& part) { return {part.path, part.usable ? &part.model : nullptr}; }
