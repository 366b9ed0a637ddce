#include "RunBatch.h"

#include "platform/system/System.h"

#include <cctype>
#include <ctime>
#include <fstream>
#include <strings.h>

namespace {

constexpr const char* kAuthor = "Quillmo developers";
constexpr const char* kEmail = "quillmo@localhost";
constexpr const char* kLibraryAccount = "kovrel";
constexpr const char* kLibraryCopyFolder = "KovrelLib/";
constexpr const char* kTutorialsFolder = "Tutorials/";
constexpr int kOldKeyCount = 256;
// The user-name call gets a buffer of 253 characters, NUL included.
constexpr size_t kMaxUserName = 252;

std::string currentDateTime()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

bool sameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool registerThroughInstance(const std::string& unitName)
{
    TBatchRunner* runner = TBatchRunner::Instance();
    return runner && runner->RegisterUnit(unitName);
}

void unregisterThroughInstance(const std::string& unitName)
{
    if (TBatchRunner* runner = TBatchRunner::Instance())
        runner->UnregisterUnit(unitName);
}

constexpr UnitRegistrar kRegistrar{registerThroughInstance, unregisterThroughInstance};

char optionLetter(const std::string& line)
{
    return line.size() >= 2 ? static_cast<char>(std::toupper(static_cast<unsigned char>(line[1]))) : '\0';
}

bool writeLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines)
        out << line << '\n';
    out.flush();
    return static_cast<bool>(out);
}

} // namespace

bool TBatchRunner::RegisterUnit(const std::string& name)
{
    if (!registryExists_)
        return false;
    for (const std::string& known : UnitRegistry) {
        if (sameText(known, name))
            return false;
    }
    UnitRegistry.push_back(name);
    return true;
}

void TBatchRunner::UnregisterUnit(const std::string& name)
{
    std::erase_if(UnitRegistry, [&](const std::string& known) { return sameText(known, name); });
}

std::string TBatchRunner::ReleaseFolder() const { return "Release" + AppName + "/"; }
std::string TBatchRunner::UnitOutputFolder() const { return "Dcus" + AppName + "/"; }
std::string TBatchRunner::ProjectFolder() const { return platform::ExtractFilePath(ProjectFile); }

void TBatchRunner::PreCreateHook()
{
    UnitRegistry.clear();
    ProjectSearchPaths.clear();
    registryExists_ = true;
    SetUnitRegistrar(&kRegistrar);
}

void TBatchRunner::InitIdentity()
{
    auto user = platform::UserName();
    CurrentUser = user && user->size() <= kMaxUserName ? *user : "Unknown";
    UnitName = kUnitName;
    RegisterUnit(UnitName);
    AppName = ExecutableAppName();
    AppPath = ExecutableAppPath();
    if (FindProjectFile()) {
        PrepareProject();
        ReadProjectConfig();
    } else {
        ProjectFile.clear();
    }
}

void TBatchRunner::SettingsLoad()
{
    std::string path = SettingsPath();
    if (!platform::FileExistsExactly(path))
        return;
    platform::IniFile ini(path);
    AppPath = ini.ReadString("Application Info", "mApplicationPath", ExecutableAppPath());
    // The identification keys are read with their defaults and not kept.
    ini.ReadString("CopyRight", "Author", kAuthor);
    ini.ReadString("CopyRight", "Email", kEmail);
    ini.ReadString("CopyRight", "Date", currentDateTime());
    SettingsValue = ini.ReadInteger(kClassName, CommonKey(), 0);
}

void TBatchRunner::SettingsSave()
{
    const std::string path = SettingsPath();
    PrepareSettingsFolder(path);
    platform::IniFile ini(path);
    ini.WriteString("Application Info", "mApplicationName", AppName);
    ini.WriteString("Application Info", "mApplicationPath", AppPath);
    ini.WriteString("Application Info", "FCurrentUser", CurrentUser);
    // Keys that earlier versions of the settings file kept.
    ini.DeleteKey("Project Info", "FFullProjectName");
    ini.DeleteKey("Project Info", "FFullProjectDcuPath");
    ini.DeleteKey("Project Info", "SearchPathNum");
    ini.DeleteKey("Delphi IDE Info", "FDelphiRoot");
    ini.DeleteKey("Delphi IDE Info", "DelphiSearchPathNum");
    ini.DeleteKey("Kovrel Units", "UnitNum");
    for (int i = 0; i < kOldKeyCount; ++i) {
        std::string n = std::to_string(i);
        ini.DeleteKey("Project Info", "FFullProjectSearchPaths" + n);
        ini.DeleteKey("Delphi IDE Info", "FDelphiSearchPaths" + n);
        ini.DeleteKey("Kovrel Units", "U" + n);
    }
    ini.WriteString("CopyRight", "Author", kAuthor);
    ini.WriteString("CopyRight", "Email", kEmail);
    ini.WriteString("CopyRight", "Date", currentDateTime());
    ini.WriteInteger(kClassName, CommonKey(), SettingsValue);
    ini.UpdateFile();
}

void TBatchRunner::CleanupHook()
{
    if (platform::IsDebuggerPresent())
        CopyUnitFiles();
    UnitRegistry.clear();
    ProjectSearchPaths.clear();
    registryExists_ = false;
    SetUnitRegistrar(nullptr);
}

bool TBatchRunner::FindProjectFile()
{
    ProjectFile.clear();
    if (!platform::IsDebuggerPresent())
        return false;
    const std::string exe = platform::ModuleFileName();
    const std::string besideExe = platform::ChangeFileExt(exe, ".dpr");
    if (platform::FileExists(besideExe))
        ProjectFile = besideExe;
    // One folder up wins: that is where the project lives when the
    // executable is built into a release folder below it.
    std::string folder = platform::ExtractFilePath(exe);
    if (folder.size() > 1)
        folder.pop_back();
    const std::string parent = platform::ExtractFilePath(folder);
    const std::string oneUp = parent + platform::ChangeFileExt(platform::ExtractFileName(exe), ".dpr");
    if (!parent.empty() && platform::FileExists(oneUp))
        ProjectFile = oneUp;
    return !ProjectFile.empty();
}

void TBatchRunner::PrepareProject(const std::vector<std::string>& extraPaths)
{
    const std::string d = ProjectFolder();
    platform::ForceDirectories(d + kLibraryCopyFolder);
    platform::ForceDirectories(d + ReleaseFolder() + kTutorialsFolder);
    rewriteConfigFile(extraPaths);
    updateOptionFile(extraPaths);
    DcuDir = d + UnitOutputFolder();
    ExeDir = d + ReleaseFolder();
}

void TBatchRunner::rewriteConfigFile(const std::vector<std::string>& extraPaths)
{
    const std::string d = ProjectFolder();
    const std::string cfg = platform::ChangeFileExt(ProjectFile, ".cfg");
    if (!platform::FileExists(cfg))
        return;
    std::vector<std::string> lines;
    try {
        lines = platform::ReadTextLines(cfg);
    } catch (const std::exception&) {
        return;
    }
    // A folder line names an existing folder below the project, else it is
    // replaced by the standard one (created if missing).
    auto fixFolderLine = [&](std::string& line, char letter, const std::string& standard) {
        size_t quote = line.find('"');
        std::string named;
        if (quote != std::string::npos && line.size() >= quote + 2)
            named = line.substr(quote + 1, line.size() - quote - 2);
        if (named.empty() || !platform::DirectoryExists(d + named)) {
            platform::ForceDirectories(d + standard);
            line = std::string("-") + letter + "\"" + standard + "\"";
        }
    };
    bool seenE = false, seenN = false, seenSearch = false;
    for (std::string& line : lines) {
        switch (optionLetter(line)) {
        case 'E':
            fixFolderLine(line, 'E', ReleaseFolder());
            seenE = true;
            break;
        case 'N':
            fixFolderLine(line, 'N', UnitOutputFolder());
            seenN = true;
            break;
        case 'I':
        case 'O':
        case 'R':
        case 'U': {
            seenSearch = true;
            size_t quote = line.find('"');
            for (const std::string& entry : extraPaths) {
                platform::ForceDirectories(d + entry);
                if (quote != std::string::npos && line.find(entry) == std::string::npos)
                    line.insert(quote + 1, entry + ";");
            }
            break;
        }
        default:
            break;
        }
    }
    if (!seenE) {
        platform::ForceDirectories(d + ReleaseFolder());
        lines.push_back("-E\"" + ReleaseFolder() + "\"");
    }
    if (!seenN) {
        platform::ForceDirectories(d + UnitOutputFolder());
        lines.push_back("-N\"" + UnitOutputFolder() + "\"");
    }
    if (!seenSearch) {
        std::string joined;
        for (const std::string& entry : extraPaths)
            joined += entry + ";";
        for (char letter : {'U', 'O', 'I', 'R'})
            lines.push_back(std::string("-") + letter + "\"" + joined + "\"");
    }
    writeLines(cfg, lines);
}

void TBatchRunner::updateOptionFile(const std::vector<std::string>& extraPaths)
{
    const std::string d = ProjectFolder();
    const std::string dof = platform::ChangeFileExt(ProjectFile, ".dof");
    if (!platform::FileExists(dof))
        return;
    try {
        platform::IniFile ini(dof);
        auto keepOr = [&](const char* key, const std::string& standard) {
            std::string value = ini.ReadString("Directories", key, "");
            if (value.empty() || !platform::DirectoryExists(d + value))
                ini.WriteString("Directories", key, standard);
        };
        keepOr("OutputDir", ReleaseFolder());
        keepOr("UnitOutputDir", UnitOutputFolder());
        std::string search = ini.ReadString("Directories", "SearchPath", "");
        std::string extended = search;
        for (const std::string& entry : extraPaths) {
            if (search.find(entry) == std::string::npos)
                extended += entry + ";";
        }
        if (extended != search)
            ini.WriteString("Directories", "SearchPath", extended);
        ini.UpdateFile();
    } catch (const std::exception&) {
        // A project housekeeping step never stops the program.
    }
}

void TBatchRunner::ReadProjectConfig()
{
    if (ProjectFile.empty() || !platform::FileExists(ProjectFile))
        return;
    const std::string d = ProjectFolder();
    ExeDir = DcuDir = d;
    platform::SetCurrentDir(d);
    const std::string cfg = platform::ChangeFileExt(ProjectFile, ".cfg");
    if (platform::FileExists(cfg)) {
        std::vector<std::string> lines;
        try {
            lines = platform::ReadTextLines(cfg);
        } catch (const std::exception&) {
        }
        for (const std::string& line : lines) {
            size_t open = line.size() > 2 ? line.find('"', 2) : std::string::npos;
            size_t close = open == std::string::npos ? open : line.find('"', open + 1);
            if (close == std::string::npos)
                continue;
            const std::string quoted = line.substr(open + 1, close - open - 1);
            switch (optionLetter(line)) {
            case 'E':
                ExeDir = platform::IncludeTrailingPathDelimiter(platform::ExpandFileName(quoted));
                break;
            case 'N':
                DcuDir = platform::IncludeTrailingPathDelimiter(platform::ExpandFileName(quoted));
                break;
            case 'U': {
                size_t start = 0;
                while (start <= quoted.size()) {
                    size_t semi = quoted.find(';', start);
                    std::string piece = quoted.substr(start, semi == std::string::npos ? semi : semi - start);
                    piece.erase(0, piece.find_first_not_of(' '));
                    if (!piece.empty() && piece.find_first_not_of(' ') != std::string::npos)
                        ProjectSearchPaths.push_back(platform::ExpandFileName(piece));
                    if (semi == std::string::npos)
                        break;
                    start = semi + 1;
                }
                break;
            }
            default:
                break;
            }
        }
    }
    platform::ForceDirectories(ExeDir);
    platform::ForceDirectories(DcuDir);
}

void TBatchRunner::CopyUnitFiles()
{
    if (!platform::IsDebuggerPresent() || !platform::DirectoryExists(DcuDir) || UnitRegistry.empty() ||
        ProjectSearchPaths.empty() || !sameText(CurrentUser, kLibraryAccount))
        return;
    const std::string target = ProjectFolder() + kLibraryCopyFolder;
    for (const std::string& unit : UnitRegistry)
        platform::CopyFile(DcuDir + unit + ".dcu", target + unit + ".dcu", false);
}

void RunBatchInitialization() { TBatchRunner::Create(); }

void RunBatchFinalization()
{
    if (TBatchRunner* runner = TBatchRunner::Instance())
        runner->Free();
}
