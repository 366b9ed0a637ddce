#pragma once
// The checker over many characters, on one core or several: each character's
// game data is mounted in turn and the character checked by the rules of
// CheckRules.h.
//
// The report holds first the findings of the game data, game root by game
// root in the order the characters meet them: the archives that could not be
// read (errors) and the entries skipped because they would lie outside the
// game data (warnings), then the shader scripts that could not be read to
// their end (warnings). Then come the characters in name order ignoring
// letter case. With several jobs the characters are checked in worker
// processes and the report is the same, finding for finding.
#include "CheckFindings.h"

#include "app/common/CharacterChoice.h"

#include <vector>

// Checks the characters with up to jobs worker processes. Throws nothing but
// std::bad_alloc, and std::runtime_error when a worker fails.
CheckReport CheckCharacters(const std::vector<CharacterChoice>& characters, unsigned jobs = 1);
