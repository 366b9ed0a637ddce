#pragma once
// The checker's rules for a character's parts and the tags that join them:
// whether the game finds and takes each part, the tags the parts hang on,
// tag axes of other than unit length, surfaces of other frame counts than
// their part's, and more than the format documents.
#include "CheckAnimation.h"
#include "CheckCore.h"

#include <array>
#include <string>

enum PartIndex { kLegs, kTorso, kHead, kPartCount };

// The names of the parts' skin files ("lower" for lower_SKIN.skin, ...), by PartIndex.
inline constexpr const char* kPartNames[kPartCount] = {"lower", "upper", "head"};

struct PartFile {
    std::string path;
    TMD3Model model;
    bool usable = false; // read and accepted by the reader
};

using CharacterParts = std::array<PartFile, kPartCount>;

// Reads the parts where the game finds them (found) and adds the findings of
// the parts and their tags, in part order. A part the game refuses is still
// usable when its reader took it: the viewer shows it. Throws nothing but
// std::bad_alloc.
CharacterParts CheckParts(const GameCharacterFiles& found, CharacterFindings& findings);

// A part as the animation file's rules take it.
CheckedPart Checked(const PartFile& part);
