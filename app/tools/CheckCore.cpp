#include "CheckCore.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace {

// Long lists of surfaces in one finding are cut after this many names.
constexpr size_t kMostNamesListed = 8;

} // namespace

CharacterFindings::CharacterFindings(const std::string& name, CheckReport& report)
    : name_(PrintableText(name)), report_(report)
{
}

void CharacterFindings::Add(const std::string& skin, Severity severity, FindingKind kind, const Place& place,
                            const std::string& text, const std::string& gameDoes)
{
    // The report states what the game does without its subject.
    const std::string_view subject = "the game ";
    const std::string does = gameDoes.rfind(subject, 0) == 0 ? gameDoes.substr(subject.size()) : gameDoes;
    report_.findings.push_back({name_, PrintableText(skin), severity, kind, PrintableText(place.file), place.line,
                                PrintableText(text), does});
}

void CharacterFindings::Error(FindingKind kind, const Place& place, const std::string& text,
                              const std::string& gameDoes)
{
    Add("", Severity::Error, kind, place, text, gameDoes);
}

void CharacterFindings::Warning(FindingKind kind, const Place& place, const std::string& text,
                                const std::string& gameDoes)
{
    Add("", Severity::Warning, kind, place, text, gameDoes);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string NameList(const std::vector<std::string>& names)
{
    std::vector<std::string> shown(names.begin(), names.begin() + std::min(names.size(), kMostNamesListed));
    std::string text;
    for (const std::string& name : shown)
        text += (text.empty() ? "" : ", ") + name;
    if (names.size() > shown.size())
        text += " and " + std::to_string(names.size() - shown.size()) + " more";
    return text;
}

std::string AlsoTried(const FoundFile& found)
{
    std::string text;
    for (size_t i = 1; i < found.tried.size(); ++i)
        text += (text.empty() ? " (also looked for " : ", ") + found.tried[i];
    return text.empty() ? text : text + ")";
}
