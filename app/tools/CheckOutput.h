#pragma once
// How the checker's findings are written. Three formats:
//
// text (the default): one line per finding,
//
//   NAME: error: TEXT            a problem of the character itself
//   NAME/SKIN: warning: TEXT     a problem of one of its skins
//   (game data): error: TEXT     an archive of the game data or one of its
//                                entries left out, or a shader script that
//                                could not be read to its end; these belong
//                                to no character and come before them
//
// then one summary line,
//
//   N characters, M skins: E errors, W warnings
//
// with the singular for a count of 1 ("1 character, 1 skin: 0 errors,
// 1 warning"). E and W count the game data's findings too.
//
// json: one object,
//
//   {"findings": [{"character": "bruno", "skin": "", "severity": "warning",
//                  "file": "models/players/bruno/lower.md3", "line": null,
//                  "kind": "tag-axes", "message": "TEXT", "gameDoes": "..."}, ...],
//    "summary": {"characters": N, "skins": M, "errors": E, "warnings": W}}
//
// with the findings in the order of the text lines; "character" is "" for
// the game data, "skin" "" for the character itself, "file" "" and "line"
// null where a finding has none, "gameDoes" "" where the rules do not say.
//
// sarif: a SARIF 2.1.0 log of one run, a rule per kind of finding and a
// result per finding, located at its file (a URI relative to the game data,
// base %SRCROOT%) and line, with the character, skin and what the game does
// as the result's properties and the counts as the run's.
#include "CheckFindings.h"

#include <string>

// "SUBJECT: error: TEXT" or "SUBJECT: warning: TEXT".
std::string FindingLine(const CheckFinding& finding);

// "N characters, M skins: E errors, W warnings", in the singular where a count is 1.
std::string SummaryLine(const CheckReport& report);

// The whole report in each format, ending in a line break.
std::string TextReport(const CheckReport& report);
std::string JsonReport(const CheckReport& report);
std::string SarifReport(const CheckReport& report);
