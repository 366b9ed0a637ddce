// The entry points of game data as a whole (archives mounted through the
// file layer, the checker on a character folder) and the table of every
// target; the readers' own are in FileTargets.cpp and TextTargets.cpp, the
// drawing tools' in DrawnTargets.cpp.
#include "Targets.h"

#include "DrawnTargets.h"
#include "FileTargets.h"
#include "TextTargets.h"
#include "TargetSupport.h"

#include "app/tools/CheckOutput.h"
#include "app/tools/CheckRules.h"
#include "game/Shaders.h"
#include "platform/files/FileLayer.h"
#include "platform/system/Errors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

namespace {

using namespace support;

// Every file of a mounted archive, read whole and at offsets; nothing may
// resolve outside the game data or be larger than the layer hands out.
void walkArchive(const std::string& folder, int depth)
{
    namespace files = platform::files;
    if (depth > 32)
        return;
    for (const files::FolderEntry& entry : files::ListFolder(folder)) {
        check(!entry.name.empty() && entry.name.find('/') == std::string::npos && entry.name != ".." &&
                  entry.name != ".",
              "a folder entry is one plain name");
        const std::string path = folder.empty() ? entry.name : folder + "/" + entry.name;
        const std::optional<std::string> stored = files::ResolvePath(path);
        check(stored.has_value(), "a listed entry resolves");
        check(stored->front() != '/' && ("/" + *stored + "/").find("/../") == std::string::npos,
              "stored paths stay inside");
        if (entry.isFolder) {
            check(files::DirectoryExists(path), "a listed folder is a folder");
            walkArchive(path, depth + 1);
            continue;
        }
        try {
            const std::vector<uint8_t> bytes = files::ReadFileBytes(path);
            check(bytes.size() <= platform::files::kMaxFileBytes, "no file above the size limit");
            const std::unique_ptr<files::OpenedFile> opened = files::OpenFile(path);
            check(opened->Size() == bytes.size(), "an opened file has the size of its bytes");
            if (!bytes.empty()) {
                uint8_t last = 0;
                opened->ReadAt(bytes.size() - 1, &last, 1);
                check(last == bytes.back(), "reads at offsets give the file's bytes");
            }
        } catch (const platform::EInOutError&) {
            // A damaged entry is refused with a message; that is all.
        }
    }
}

void runArchive(Input bytes)
{
    try {
        platform::files::MountArchiveBytes(bytes, "fuzz.pk3");
    } catch (const platform::EInOutError&) {
        platform::files::MountDisk();
        return;
    }
    walkArchive("", 0);
    // The game reads "/etc/passwd" as "etc/passwd" of its own data: what it
    // finds comes from the archive, never from the disk.
    const std::optional<std::string> rooted = platform::files::ResolvePath("/etc/passwd");
    check(!platform::files::ResolvePath("../fuzz.pk3") &&
              (!rooted || (*rooted != "/etc/passwd" && (platform::files::DirectoryExists("/etc/passwd") ||
                                                        platform::files::SourceOf("/etc/passwd") == "fuzz.pk3"))),
          "paths outside the game data are refused");
    platform::files::MountDisk();
}

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Each line is "SUBJECT: error: TEXT" or "SUBJECT: warning: TEXT" about the
// character or its one skin, on one line; returns whether it is an error.
bool checkFindingLine(const std::string& line)
{
    check(std::none_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
          "a finding is one line of text");
    for (const char* subject : {"fuzz: ", "fuzz/default: "}) {
        if (!startsWith(line, subject))
            continue;
        const std::string rest = line.substr(std::strlen(subject));
        const bool error = startsWith(rest, "error: ");
        check(error || startsWith(rest, "warning: "), "a finding says error or warning");
        check(rest.size() > std::strlen(error ? "error: " : "warning: "), "a finding has a text");
        return error;
    }
    check(false, "a finding names the character or its skin");
    return false;
}

void runChecker(Input bytes)
{
    const std::string folder = scratch().file("checker");
    const bool skinGiven = writeCharacterFiles("checker", bytes);
    const std::string text = textOf(bytes);
    const std::vector<std::string_view> pieces = checkerPieces(text);
    const MountedFolder mounted(folder);
    const ShaderTable noShaders;
    CheckReport report;
    CheckCharacter("fuzz", "", noShaders, report);
    check(report.characters == 1 && report.skins == (skinGiven ? 1 : 0), "one character and its skins are counted");

    int errors = 0, warnings = 0;
    for (const CheckFinding& finding : report.findings)
        (checkFindingLine(FindingLine(finding)) ? errors : warnings) += 1;
    check(report.Errors() == errors && report.Warnings() == warnings, "the counts are those of the lines");
    const std::string summary = SummaryLine(report);
    char expected[128];
    std::snprintf(expected, sizeof expected, "1 character, %d skin%s: %d error%s, %d warning%s", report.skins,
                  report.skins == 1 ? "" : "s", errors, errors == 1 ? "" : "s", warnings, warnings == 1 ? "" : "s");
    check(summary == expected, "the summary counts the lines");
    for (size_t i = 0; i < 3; ++i) {
        if (i >= pieces.size() || pieces[i].empty())
            check(std::any_of(report.findings.begin(), report.findings.end(),
                              [&](const CheckFinding& f) {
                                  return f.severity == Severity::Error &&
                                         f.text.rfind(std::string(kCheckerFiles[i]) + " is missing", 0) == 0;
                              }),
                  "a missing part is an error");
    }

    // The same folder checked again says the same.
    CheckReport again;
    CheckCharacter("fuzz", "", noShaders, again);
    check(again.findings.size() == report.findings.size() &&
              std::equal(again.findings.begin(), again.findings.end(), report.findings.begin(),
                         [](const CheckFinding& a, const CheckFinding& b) { return FindingLine(a) == FindingLine(b); }),
          "a check says the same every time");
}

constexpr Target kTargets[] = {
    {"md3", RunMd3Input},
    {"bitmap", RunBitmapInput},
    {"targa", RunTargaInput},
    {"jpeg", RunJpegInput},
    {"png", RunPngInput},
    {"skin", RunSkinInput},
    {"animation", RunAnimationInput},
    {"settings", RunSettingsInput},
    {"shader", RunShaderInput},
    {"gameanimation", RunGameAnimationInput},
    {"pk3", runArchive},
    {"checker", runChecker},
    {"export", RunExportInput, true},
    {"import", RunImportInput},
    {"record", RunRecordInput, true},
};

} // namespace

std::span<const Target> Targets() { return kTargets; }

const Target* FindTarget(std::string_view name)
{
    for (const Target& target : kTargets) {
        if (name == target.name)
            return &target;
    }
    return nullptr;
}

} // namespace fuzz
