#include "Component.h"

#include "platform/system/System.h"

namespace {
const UnitRegistrar* registrar = nullptr;
bool settingsReadOnly = false;
// Below the user's configuration folder; fixed, so that every name the
// program is installed under shares one settings file.
constexpr const char* kUserSettingsFile = "quillmo/quillmo.ini";
} // namespace

void SetUnitRegistrar(const UnitRegistrar* r) { registrar = r; }

bool RegisterUnitName(const std::string& unitName) { return registrar && registrar->add(unitName); }

void UnregisterUnitName(const std::string& unitName)
{
    if (registrar)
        registrar->remove(unitName);
}

std::string SettingsPathFor(const std::string& modulePath, bool folderWritable, const std::string& userConfigFolder)
{
    // Beside the executable wherever that works (a build tree, a copy in a
    // user's own folder); an installed program's folder belongs to root, and
    // saving there would end every run with an error.
    if (folderWritable || userConfigFolder.empty())
        return platform::ChangeFileExt(modulePath, ".ini");
    return platform::IncludeTrailingPathDelimiter(userConfigFolder) + kUserSettingsFile;
}

std::string SettingsPath()
{
    const std::string module = platform::ModuleFileName();
    return SettingsPathFor(module, !platform::FolderRefusesWrites(platform::ExtractFilePath(module)),
                           platform::UserConfigFolder());
}

void PrepareSettingsFolder(const std::string& settingsPath)
{
    const std::string folder = platform::ExtractFilePath(settingsPath);
    if (folder != platform::ExtractFilePath(platform::ModuleFileName()))
        platform::ForceDirectories(folder);
}

void SetSettingsReadOnly(bool readOnly) { settingsReadOnly = readOnly; }

bool SettingsReadOnly() { return settingsReadOnly; }

std::string ExecutableAppName()
{
    std::string name = platform::ExtractFileName(platform::ModuleFileName());
    return platform::ChangeFileExt(name, "");
}

std::string ExecutableAppPath()
{
    return platform::IncludeTrailingPathDelimiter(platform::ExtractFilePath(platform::ModuleFileName()));
}

std::string TComponentBase::CommonKey() const
{
    // "m" and the class name without its leading T. Built by appending: GCC 12
    // at -O3 warns falsely (-Wrestrict) about "m" + substr.
    const std::string name = ClassName();
    std::string key = "m";
    if (!name.empty())
        key.append(name, 1);
    return key;
}

void TComponentBase::InitIdentity()
{
    UnitName = DeclaringUnit();
    if (RegistersUnit())
        addedUnitName_ = RegisterUnitName(UnitName);
    ModuleName = platform::ModuleFileName();
    AppName = ExecutableAppName();
    AppPath = ExecutableAppPath();
    InitDefaults();
}

void TComponentBase::SettingsLoad()
{
    // The settings file is the one the program names, letter case and all: a
    // file differing only in case is not it (it would be read here but a
    // different file written at the end).
    std::string path = SettingsPath();
    if (!platform::FileExistsExactly(path))
        return;
    platform::IniFile ini(path);
    SettingsValue = ini.ReadInteger(ClassName(), CommonKey(), 0);
    LoadKeys(ini);
}

void TComponentBase::SettingsSave()
{
    const std::string path = SettingsPath();
    PrepareSettingsFolder(path);
    platform::IniFile ini(path);
    ini.WriteInteger(ClassName(), CommonKey(), SettingsValue);
    SaveKeys(ini);
    ini.UpdateFile();
}

void TComponentBase::RunCreateSteps()
{
    PreCreateHook();
    InitIdentity();
    SettingsLoad();
    PostCreateHook();
}

void TComponentBase::UndoCreateSteps()
{
    if (addedUnitName_)
        UnregisterUnitName(UnitName);
    addedUnitName_ = false;
}

void TComponentBase::RunReleaseSteps()
{
    std::exception_ptr failure;
    try {
        // The check sits here rather than in SettingsSave, so that components
        // that save in their own way (the batch runner) obey it too.
        if (!settingsReadOnly)
            SettingsSave();
    } catch (...) {
        failure = std::current_exception();
    }
    CleanupHook();
    if (failure)
        std::rethrow_exception(failure);
}
