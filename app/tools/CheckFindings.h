#pragma once
// What the checker finds: one record per finding, in the order they are
// reported, and what was checked. The rules that make them are in
// CheckRules.h, the ways they are written out in CheckOutput.h.
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

// "COUNT ONE" when count is 1, else "COUNT MANY".
std::string Plural(int count, const char* one, const char* many);
