#pragma once
// The checker's rules: each file of a character is read by the loader the
// viewer reads it with, under the game's rules, and what the loaders reject
// or the game would do differently from what the maker meant becomes a
// finding. Errors are what keeps the game from showing the character as
// made (a part, tag, skin file, texture or image it cannot use, a broken
// animation table); warnings are what the game copes with but the maker most
// likely did not mean.
//
// Within a character its own findings come first, then each skin's, skins in
// name order ignoring letter case. The rules by subject: CheckParts.h,
// CheckAnimation.h, CheckSkins.h, CheckShaders.h and CheckImages.h.
// CheckRun.h checks many characters.
#include "CheckFindings.h"

#include "app/common/CharacterChoice.h"
#include "game/Shaders.h"

#include <string>
#include <vector>

// Checks the character NAME whose files are in folder (ending in "/", or ""
// for the game root itself) of the mounted game data, with the game root's
// shader scripts, and appends its findings (and its count, and its skins')
// to report. Each image is decoded at most once. Throws nothing but
// std::bad_alloc: what cannot be read is a finding.
void CheckCharacter(const std::string& name, const std::string& folder, const ShaderTable& shaders,
                    CheckReport& report);
