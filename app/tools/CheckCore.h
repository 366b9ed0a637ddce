#pragma once
// What the checker's rules for one character share (CheckRules.h): where a
// finding points, the character's findings as the rules add them, and the
// pieces their texts are made of.
#include "CheckFindings.h"

#include "game/GameCharacter.h"

#include <cstddef>
#include <string>
#include <vector>

// What the game does about a surface the checker finds at fault.
inline constexpr const char* kDrawsInvisible = "the game draws this surface invisible";

// Where a finding points: a file of the game data, and a line of it (0 for none).
struct Place {
    std::string file;
    size_t line = 0;
};

// The findings of one character, appended to the report in the order they
// are added.
class CharacterFindings {
public:
    // name as read from the game data; control characters become '?'.
    CharacterFindings(const std::string& name, CheckReport& report);

    // A finding about the character (skin "") or one of its skins; a
    // gameDoes starting "the game " is stored without those words.
    void Add(const std::string& skin, Severity severity, FindingKind kind, const Place& place,
             const std::string& text, const std::string& gameDoes = "");
    // A finding about the character itself.
    void Error(FindingKind kind, const Place& place, const std::string& text, const std::string& gameDoes = "");
    void Warning(FindingKind kind, const Place& place, const std::string& text, const std::string& gameDoes = "");

    // The report, to count what was checked.
    CheckReport& Report() { return report_; }

private:
    std::string name_;
    CheckReport& report_;
};

// "'text'".
std::string Quoted(const std::string& text);

// "a, b, c" of the first few names, then how many more.
std::string NameList(const std::vector<std::string>& names);

// " (also looked for B, C)" after the first candidate of a file, or "".
std::string AlsoTried(const FoundFile& found);
