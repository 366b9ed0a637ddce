#include "CheckRun.h"

#include "CheckRules.h"

#include "platform/files/FileLayer.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"
#include "platform/system/Workers.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <unordered_set>

namespace {

namespace files = platform::files;

// What the game does with an archive it cannot read, and with an entry whose
// name leads out of the game data (it refuses every path with a ".." part).
constexpr const char* kGameLeavesArchiveOut = "leaves the archive out";
constexpr const char* kGameNeverReadsEntry = "never reads the entry";
// What the game does with a shader script it finds broken.
constexpr const char* kGameIgnoresScript = "ignores the whole script, the shaders before the problem too";

// One character's part of the report: its own findings and counts, and the
// findings of its game data when this worker met that game data first.
struct CharacterPart {
    std::string gameRoot;
    std::vector<CheckFinding> gameData;
    CheckReport own;
};

// Answers travel from worker processes as bytes: numbers in decimal, each
// field ended by a NUL (no field holds one: findings are printable text).
void putField(std::string& out, const std::string& field)
{
    out += field;
    out += '\0';
}

class FieldReader {
public:
    explicit FieldReader(const std::string& bytes) : bytes_(bytes) {}
    std::string text()
    {
        const size_t end = bytes_.find('\0', at_);
        if (end == std::string::npos)
            throw std::runtime_error("a worker's answer is cut short");
        std::string field = bytes_.substr(at_, end - at_);
        at_ = end + 1;
        return field;
    }
    size_t number() { return static_cast<size_t>(std::stoull(text())); }

private:
    const std::string& bytes_;
    size_t at_ = 0;
};

void putFindings(std::string& out, const std::vector<CheckFinding>& findings)
{
    putField(out, std::to_string(findings.size()));
    for (const CheckFinding& f : findings) {
        for (const std::string* field : {&f.character, &f.skin, &f.file, &f.text, &f.gameDoes})
            putField(out, *field);
        putField(out, std::to_string(static_cast<int>(f.severity)));
        putField(out, std::to_string(static_cast<int>(f.kind)));
        putField(out, std::to_string(f.line));
    }
}

std::vector<CheckFinding> readFindings(FieldReader& in)
{
    std::vector<CheckFinding> findings(in.number());
    for (CheckFinding& f : findings) {
        for (std::string* field : {&f.character, &f.skin, &f.file, &f.text, &f.gameDoes})
            *field = in.text();
        f.severity = static_cast<Severity>(in.number());
        f.kind = static_cast<FindingKind>(in.number());
        f.line = in.number();
    }
    return findings;
}

std::string encode(const CharacterPart& part)
{
    std::string out;
    putField(out, part.gameRoot);
    putField(out, std::to_string(part.own.characters));
    putField(out, std::to_string(part.own.skins));
    putFindings(out, part.gameData);
    putFindings(out, part.own.findings);
    return out;
}

CharacterPart decode(const std::string& bytes)
{
    FieldReader in(bytes);
    CharacterPart part;
    part.gameRoot = in.text();
    part.own.characters = static_cast<int>(in.number());
    part.own.skins = static_cast<int>(in.number());
    part.gameData = readFindings(in);
    part.own.findings = readFindings(in);
    return part;
}

CheckFinding gameDataFinding(Severity severity, FindingKind kind, const std::string& file, size_t line,
                             const std::string& text, const std::string& gameDoes = "")
{
    CheckFinding finding;
    finding.severity = severity;
    finding.kind = kind;
    finding.file = PrintableText(file);
    finding.line = line;
    finding.text = PrintableText(text);
    finding.gameDoes = gameDoes;
    return finding;
}

// The findings of what mounting the game data left out.
std::vector<CheckFinding> archiveFindings()
{
    std::vector<CheckFinding> findings;
    for (const files::MountProblem& problem : files::MountProblems()) {
        // Archives lie directly in the game data folder (or are it): the
        // file name says which.
        const std::string name = platform::ExtractFileName(problem.archive);
        // A limit of this program's is no rule of the game: the check tells
        // what it could not look at, and that the game reads it.
        if (problem.entry.empty())
            findings.push_back(gameDataFinding(
                Severity::Error, FindingKind::Archive, name, 0,
                name + ": " + problem.reason + (problem.gameReads ? "; left out here, though the game reads it"
                                                                  : "; the game leaves it out"),
                problem.gameReads ? "" : kGameLeavesArchiveOut));
        else
            findings.push_back(gameDataFinding(
                Severity::Warning, FindingKind::Archive, name, 0,
                name + ": entry '" + problem.entry + "' is left out: " + problem.reason +
                    (problem.gameReads ? " (the game reads it)" : ""),
                problem.gameReads ? "" : kGameNeverReadsEntry));
    }
    return findings;
}

// Checks one character after another in one process, mounting each one's
// game data unless it is mounted already.
class CharacterChecker {
public:
    CharacterPart check(const CharacterChoice& choice)
    {
        CharacterPart part;
        part.gameRoot = choice.gameRoot;
        try {
            MountChoice(choice);
        } catch (const platform::EInOutError& e) {
            ++part.own.characters;
            CheckFinding finding = gameDataFinding(Severity::Error, FindingKind::GameDataUnreadable, "", 0, e.what());
            finding.character = PrintableText(choice.name);
            part.own.findings.push_back(std::move(finding));
            return part;
        }
        const std::string mounted = choice.gameRoot + '\n' + choice.outsideDir + (choice.ownFilesOnly ? "\n1" : "\n0");
        if (mounted != shadersOf_) {
            std::vector<ShaderProblem> problems;
            shaders_ = LoadShaderScripts(problems);
            shadersOf_ = mounted;
            // Every worker tells what it meets first; the report keeps the
            // first telling, which is that of the first character met.
            if (told_.insert(mounted).second) {
                part.gameData = archiveFindings();
                for (const ShaderProblem& problem : problems)
                    part.gameData.push_back(gameDataFinding(Severity::Warning, FindingKind::ShaderScript,
                                                            problem.fileName, problem.line, problem.message,
                                                            problem.line > 0 ? kGameIgnoresScript : ""));
            }
        }
        CheckCharacter(choice.name, choice.folder, shaders_, part.own);
        return part;
    }

private:
    ShaderTable shaders_;
    std::string shadersOf_;
    std::unordered_set<std::string> told_;
};

} // namespace

CheckReport CheckCharacters(const std::vector<CharacterChoice>& characters, unsigned jobs)
{
    // Far more than any character takes: a worker that overruns it has hung.
    constexpr unsigned kSecondsPerCharacter = 300;
    std::vector<CharacterChoice> ordered = characters;
    std::stable_sort(ordered.begin(), ordered.end(), [](const CharacterChoice& a, const CharacterChoice& b) {
        return platform::LowerCase(a.name) < platform::LowerCase(b.name);
    });
    CharacterChecker checker;
    const std::vector<platform::WorkerAnswer> answers = platform::RunInWorkersKeeping(
        ordered.size(), jobs, [&](size_t i) { return encode(checker.check(ordered[i])); }, kSecondsPerCharacter);

    CheckReport report;
    std::vector<CheckFinding> characterFindings;
    std::unordered_set<std::string> seen; // game root and text of the game data's findings
    for (size_t i = 0; i < answers.size(); ++i) {
        // A character whose check did not finish is an error of its own; the
        // others keep their findings.
        if (!answers[i].answer) {
            CheckFinding lost;
            lost.character = ordered[i].name;
            lost.kind = FindingKind::CheckUnfinished;
            lost.text = "the check of this character did not finish: " + answers[i].lost;
            characterFindings.push_back(std::move(lost));
            ++report.characters;
            continue;
        }
        CharacterPart part = decode(*answers[i].answer);
        for (CheckFinding& finding : part.gameData) {
            if (seen.insert(part.gameRoot + '\n' + finding.text).second)
                report.findings.push_back(std::move(finding));
        }
        std::move(part.own.findings.begin(), part.own.findings.end(), std::back_inserter(characterFindings));
        report.characters += part.own.characters;
        report.skins += part.own.skins;
    }
    std::move(characterFindings.begin(), characterFindings.end(), std::back_inserter(report.findings));
    return report;
}
