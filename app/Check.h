#pragma once
// The checker: tells the maker or collector of characters what is wrong with
// them before the game shows them broken. It reads each character of game
// data as the game would (parts, tags, animation table, every skin and the
// images and shaders the skins name) and reports one line per finding on
// standard output:
//
//   NAME: error: TEXT            a problem of the character itself
//   NAME/SKIN: warning: TEXT     a problem of one of its skins
//   (game data): warning: TEXT   a shader script of the game root that could
//                                not be read to its end; it belongs to no
//                                character and comes before them
//
// Characters come in name order ignoring letter case; within a character its
// own findings come first, then each skin's, skins in name order ignoring
// letter case. One summary line ends the output:
//
//   N characters, M skins: E errors, W warnings
//
// with the singular for a count of 1 ("1 character, 1 skin: 0 errors,
// 1 warning"). W counts the game data's warnings too. Errors are what keeps
// the game from showing the character as made (a part, tag, skin file,
// texture or image it cannot use, a broken animation table); warnings are
// what the game copes with but the maker most likely did not mean.
#include "CharacterMode.h"
#include "CommandLine.h"

#include "model/Shaders.h"

#include <string>
#include <vector>

enum class Severity { Error, Warning };

struct CheckFinding {
    std::string subject; // "NAME", "NAME/SKIN" or kGameDataSubject
    Severity severity = Severity::Error;
    std::string text; // one line: control characters of names read from files are replaced by '?'
};

// The subject of the findings of the game root's shader scripts.
inline constexpr const char* kGameDataSubject = "(game data)";

// The findings of a check, in the order they are printed, and what was checked.
struct CheckReport {
    std::vector<CheckFinding> findings;
    int characters = 0;
    int skins = 0;

    int Errors() const;
    int Warnings() const;
};

// Checks the character NAME whose files are in folder (ending in "/", or ""
// for the game root itself) of the mounted game data, with the game root's
// shader scripts, and appends its findings (and its count, and its skins')
// to report. Each image is decoded at most once. Throws nothing but
// std::bad_alloc: what cannot be read is a finding.
void CheckCharacter(const std::string& name, const std::string& folder, const ShaderTable& shaders,
                    CheckReport& report);

// Mounts each character's game data in turn and checks it: first the shader
// scripts of every game root met, then the characters in name order ignoring
// letter case. Throws nothing but std::bad_alloc.
CheckReport CheckCharacters(const std::vector<CharacterChoice>& characters);

// "SUBJECT: error: TEXT" or "SUBJECT: warning: TEXT".
std::string FindingLine(const CheckFinding& finding);

// "N characters, M skins: E errors, W warnings", in the singular where a count is 1.
std::string SummaryLine(const CheckReport& report);

// `Quillmo --check`: checks the characters the options name (every character
// of --game-root without names), prints the findings and the summary on
// standard output, and returns the exit status: 0 without errors, 1 with
// errors, 2 when the characters cannot be found (with a one-line message on
// standard error). Throws nothing but std::bad_alloc.
int RunCheck(const CommandLine& options);
