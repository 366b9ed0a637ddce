#pragma once
// The checker's rules for a character's animation file, by the game's
// reading of it (model/GameAnimation.h): whether the game finds and takes
// it, the words it skips, keyword values it does not take, and animations
// that play frames their parts do not have.
#include "CheckFindings.h"

#include "game/GameCharacter.h"

#include <functional>
#include <string>

// Takes one finding of the character: how bad, what kind, where (file and
// line, 0 for none), its text, and what the game does.
using AddFinding = std::function<void(Severity, FindingKind, const std::string& file, size_t line,
                                      const std::string& text, const std::string& gameDoes)>;

// A part of the character as the checker read it: its path, and the model
// when the reader and the game took it (else null).
struct CheckedPart {
    std::string path;
    const TMD3Model* model = nullptr;
};

// Checks the animation file the game looks for (found), against the legs and
// torso, and adds its findings. Throws nothing but std::bad_alloc.
void CheckAnimationFile(const FoundFile& found, const CheckedPart& legs, const CheckedPart& torso,
                        const AddFinding& add);
