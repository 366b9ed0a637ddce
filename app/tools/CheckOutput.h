#pragma once
// How the checker's findings are written: one line per finding on standard
// output,
//
//   NAME: error: TEXT            a problem of the character itself
//   NAME/SKIN: warning: TEXT     a problem of one of its skins
//   (game data): warning: TEXT   a shader script of the game root that could
//                                not be read to its end; it belongs to no
//                                character and comes before them
//
// then one summary line,
//
//   N characters, M skins: E errors, W warnings
//
// with the singular for a count of 1 ("1 character, 1 skin: 0 errors,
// 1 warning"). W counts the game data's warnings too.
#include "CheckFindings.h"

#include <string>

// "SUBJECT: error: TEXT" or "SUBJECT: warning: TEXT".
std::string FindingLine(const CheckFinding& finding);

// "N characters, M skins: E errors, W warnings", in the singular where a count is 1.
std::string SummaryLine(const CheckReport& report);

// Writes every finding's line and the summary line to standard output.
void WriteTextReport(const CheckReport& report);
