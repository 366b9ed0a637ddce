#pragma once
// What the checker finds: one record per finding, in the order they are
// reported, and what was checked. The rules that make them are in
// CheckRules.h, the ways they are written out in CheckOutput.h.
//
// A finding carries what each way of writing it needs: who it is about (the
// character and skin, or the game data), how bad it is, what kind of problem
// it is, where it is (a file of the game data and a line in it), the text of
// the one-line report, and what the game does about it.
#include <cstddef>
#include <string>
#include <vector>

enum class Severity { Error, Warning };

// The kinds of problem the checker tells about, one per rule. Each has a
// stable identifier (FindingKindId) for the machine-readable reports; new
// kinds are added at the end of the list and of kFindingKinds.
enum class FindingKind {
    Archive,            // an archive of the game data left out, or an entry of one skipped
    ShaderScript,       // a shader script that could not be read to its end
    GameDataUnreadable, // the game data of a character could not be mounted
    PartMissing,        // lower.md3, upper.md3 or head.md3 is not there
    PartRejected,       // a part its reader refuses
    TagMissing,         // tag_torso, tag_head or tag_weapon is not there
    TagAxes,            // tag axes not of unit length
    FrameCounts,        // surfaces whose frame count differs from the part's
    AnimationMissing,   // animation.cfg is not there or cannot be read
    AnimationLine,      // a malformed line of animation.cfg
    AnimationCount,     // fewer animation lines than the game plays
    AnimationKeyword,   // a keyword value the game does not take
    AnimationRange,     // an animation playing past its part's frames
    SkinMissing,        // a skin file of one part is not there or cannot be read
    SkinSurface,        // a skin line naming no surface of its part
    SurfaceWithoutSkin, // surfaces of a part without a line in its skin
    TextureMissing,     // a texture name that is neither image nor shader
    ShaderImageMissing, // a shader whose image is not there
    ImageRejected,      // an image its reader refuses
    ShaderUnusable,     // a shader the game cannot make as written
    ShaderWithoutStages, // a shader without stages that does not say surfaceparm nodraw
    ModelLimits,        // more surfaces, tags, frames or shaders than the format documents
    SkinDuplicate,      // a surface named twice in one skin
    SkinMisread,        // a skin the game reads differently from its lines
    IconMissing,        // no icon the game can show for a skin
    ImageGameRefuses,   // a Targa the game's own reader refuses (Quillmo may still draw it)
    ImageOrientation,   // a Targa whose origin bits the game ignores: shown upside down or mirrored
    ShaderDefinedTwice, // a shader a skin names has more than one definition
    CheckUnfinished,    // the check of a character ended before its findings came (its worker died or hung)
};

// "archive", "part-missing", ...: the kind's identifier in JSON and SARIF.
const char* FindingKindId(FindingKind kind);
// One sentence saying what the rule of a kind checks.
const char* FindingKindRule(FindingKind kind);
// Every kind, in the order of the enumeration.
const std::vector<FindingKind>& AllFindingKinds();

struct CheckFinding {
    std::string character; // the character's name; "" for the game data as a whole
    std::string skin;      // the skin; "" for the character itself or the game data
    Severity severity = Severity::Error;
    FindingKind kind = FindingKind::PartRejected;
    std::string file; // the file it is about, as a path from the game root; "" when none
    size_t line = 0;  // the line in that file, from 1; 0 when the finding has none
    std::string text; // one line: control characters of names read from files are replaced by '?'
    std::string gameDoes; // what the game does about it, when the rules say; else ""

    // "NAME", "NAME/SKIN" or kGameDataSubject: whom the text line is about.
    std::string Subject() const;
};

// The subject of the findings about the game data rather than one
// character: its archives and its shader scripts.
inline constexpr const char* kGameDataSubject = "(game data)";

// The findings of a check, in the order they are printed, and what was checked.
struct CheckReport {
    std::vector<CheckFinding> findings;
    int characters = 0;
    int skins = 0;

    int Errors() const;
    int Warnings() const;
};

// Names and lines read from files may hold any bytes, but a finding is one
// line of text: control characters become '?'.
std::string PrintableText(std::string text);

// "COUNT ONE" when count is 1, else "COUNT MANY".
std::string Plural(int count, const char* one, const char* many);
