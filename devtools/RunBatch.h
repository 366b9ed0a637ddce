#pragma once
// The batch runner: the first component made at start and the last to go.
// It keeps the registry of library units the process used, records the user
// name and, only while a debugger runs the program, keeps the developer's
// project tidy: it normalises the project's configuration and option files,
// creates the build folders, makes the project folder current, and at exit
// copies the registered units' compiled files into the library copy folder.
#include "OpglLib/base/Component.h"

#include <string>
#include <vector>

class TBatchRunner : public TComponent<TBatchRunner> {
public:
    static constexpr const char* kClassName = "TBatchRunner";
    static constexpr const char* kUnitName = "RunBatch";
    static constexpr bool kRegistersUnit = true;

    std::string ProjectFile;
    std::string DcuDir;
    std::string ExeDir;
    std::vector<std::string> ProjectSearchPaths;
    std::vector<std::string> UnitRegistry;
    std::string CurrentUser;

    // Appends name unless it is registered already (ASCII case ignored);
    // true when it was appended.
    bool RegisterUnit(const std::string& name);
    // Removes the registered name that equals name (ASCII case ignored).
    void UnregisterUnit(const std::string& name);

    // Development-cycle steps; they act only under a debugger.
    bool FindProjectFile();
    // extraPaths are search folders to add to the project's search-path lines
    // (the viewer passes none).
    void PrepareProject(const std::vector<std::string>& extraPaths = {});
    void ReadProjectConfig();
    void CopyUnitFiles();

    // Folder names derived from the executable's name.
    std::string ReleaseFolder() const; // "Release<AppName>/"
    std::string UnitOutputFolder() const; // "Dcus<AppName>/"
    std::string ProjectFolder() const; // folder of ProjectFile, with "/"

protected:
    void PreCreateHook() override;
    void InitIdentity() override;
    void SettingsLoad() override;
    void SettingsSave() override;
    void CleanupHook() override;

private:
    void rewriteConfigFile(const std::vector<std::string>& extraPaths);
    void updateOptionFile(const std::vector<std::string>& extraPaths);
    bool registryExists_ = false;
};

void RunBatchInitialization();
void RunBatchFinalization();
