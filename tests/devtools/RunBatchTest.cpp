#include "devtools/RunBatch.h"

#include "platform/system/IniFile.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace {

// Runs the batch runner's life in a sandbox, optionally "under a debugger".
class RunBatchTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        platform::SetDebuggerOverride(std::nullopt);
        platform::SetCurrentDir(startDir);
    }
    std::string startDir = platform::GetCurrentDir();
    testsupport::Sandbox sandbox;
};

std::vector<std::string> listTree(const std::string& root)
{
    std::vector<std::string> names;
    for (auto& entry : std::filesystem::recursive_directory_iterator(root))
        names.push_back(entry.path().lexically_relative(root).string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(RunBatchTest, RegistryKeepsFirstSpellingOnly)
{
    platform::SetDebuggerOverride(false);
    TBatchRunner* runner = TBatchRunner::Create();
    RegisterUnitName("OpglManage");
    RegisterUnitName("OPGLMANAGE");
    RegisterUnitName("OpglCamera");
    EXPECT_EQ(runner->UnitRegistry, (std::vector<std::string>{"RunBatch", "OpglManage", "OpglCamera"}));
    runner->Free();
    RegisterUnitName("Later"); // no runner: ignored
}

// Through the components' seam the registry says whether a name was new and
// takes a name back (a component whose creation failed).
TEST_F(RunBatchTest, RegistryTakesBackAName)
{
    platform::SetDebuggerOverride(false);
    TBatchRunner* runner = TBatchRunner::Create();
    EXPECT_TRUE(RegisterUnitName("OpglLight"));
    EXPECT_FALSE(RegisterUnitName("OPGLLIGHT"));
    EXPECT_TRUE(RegisterUnitName("OpglTexture"));
    UnregisterUnitName("opgllight");
    EXPECT_EQ(runner->UnitRegistry, (std::vector<std::string>{"RunBatch", "OpglTexture"}));
    runner->Free();
    EXPECT_FALSE(RegisterUnitName("Later"));
}

TEST_F(RunBatchTest, NormalRunTouchesOnlyTheSettingsFileAndDropsOldKeys)
{
    platform::SetDebuggerOverride(false);
    std::string old = "[Project Info]\nFFullProjectName=x\nFFullProjectSearchPaths0=a\nFFullProjectSearchPaths255=b\n"
                      "Mine=kept\n[Delphi IDE Info]\nFDelphiRoot=r\nFDelphiSearchPaths17=s\n"
                      "[Kovrel Units]\nUnitNum=2\nU0=A\nU255=B\n[Application Info]\nmApplicationPath=/custom/\n";
    sandbox.writeSettings(old);
    sandbox.dir.write("Quillmo.dpr", "program");
    TBatchRunner* runner = TBatchRunner::Create();
    EXPECT_EQ(runner->ProjectFile, "");
    EXPECT_EQ(runner->AppPath, "/custom/");
    EXPECT_FALSE(runner->CurrentUser.empty());
    runner->Free();

    EXPECT_EQ(platform::GetCurrentDir(), startDir);
    EXPECT_EQ(listTree(sandbox.dir.path()), (std::vector<std::string>{"Quillmo.dpr", "Quillmo.ini"}));
    platform::IniFile ini(sandbox.settingsPath());
    EXPECT_EQ(ini.ReadString("Project Info", "Mine", ""), "kept");
    for (const char* key : {"FFullProjectName", "FFullProjectSearchPaths0", "FFullProjectSearchPaths255"})
        EXPECT_FALSE(ini.ValueExists("Project Info", key)) << key;
    EXPECT_FALSE(ini.ValueExists("Delphi IDE Info", "FDelphiSearchPaths17"));
    EXPECT_FALSE(ini.ValueExists("Kovrel Units", "U255"));
    EXPECT_FALSE(ini.ValueExists("Kovrel Units", "UnitNum"));
    EXPECT_EQ(ini.ReadString("Application Info", "mApplicationName", ""), "Quillmo");
    EXPECT_EQ(ini.ReadString("Application Info", "mApplicationPath", ""), "/custom/");
    EXPECT_TRUE(ini.ValueExists("CopyRight", "Date"));
    EXPECT_EQ(ini.ReadInteger("TBatchRunner", "mBatchRunner", -1), 0);
}

TEST_F(RunBatchTest, UnderADebuggerTheProjectOneFolderUpWins)
{
    platform::SetDebuggerOverride(true);
    const std::string project = sandbox.dir.path();
    sandbox.dir.write("Quillmo.dpr", "program");
    sandbox.dir.write("bin/Quillmo.dpr", "program");
    platform::SetModuleFileName(project + "bin/Quillmo");
    TBatchRunner* runner = TBatchRunner::Create();
    EXPECT_EQ(runner->ProjectFile, project + "Quillmo.dpr");
    EXPECT_EQ(platform::GetCurrentDir() + "/", project);
    EXPECT_TRUE(platform::DirectoryExists(project + "KovrelLib"));
    EXPECT_TRUE(platform::DirectoryExists(project + "ReleaseQuillmo/Tutorials"));
    runner->Free();
}

TEST_F(RunBatchTest, ConfigurationAndOptionFilesAreNormalised)
{
    platform::SetDebuggerOverride(true);
    const std::string project = sandbox.dir.path();
    sandbox.dir.write("Quillmo.dpr", "program");
    sandbox.dir.write("Quillmo.cfg", "-$A+\n-E\"missing/\"\n-cg\n");
    sandbox.dir.write("Quillmo.dof", "[Compiler]\nA=1\n[Directories]\nOutputDir=\nUnitOutputDir=kept/\n"
                                     "SearchPath=lib;\n");
    sandbox.dir.write("kept/.keep", "");
    TBatchRunner* runner = TBatchRunner::Create();
    EXPECT_EQ(sandbox.dir.read("Quillmo.cfg"),
              "-$A+\n-E\"ReleaseQuillmo/\"\n-cg\n-N\"DcusQuillmo/\"\n-U\"\"\n-O\"\"\n-I\"\"\n-R\"\"\n");
    platform::IniFile dof(project + "Quillmo.dof");
    EXPECT_EQ(dof.ReadString("Directories", "OutputDir", ""), "ReleaseQuillmo/");
    EXPECT_EQ(dof.ReadString("Directories", "UnitOutputDir", ""), "kept/");
    EXPECT_EQ(dof.ReadString("Directories", "SearchPath", ""), "lib;");
    EXPECT_EQ(dof.ReadString("Compiler", "A", ""), "1");
    // The configuration file, read back, names the folders below the project.
    EXPECT_EQ(runner->ExeDir, project + "ReleaseQuillmo/");
    EXPECT_EQ(runner->DcuDir, project + "DcusQuillmo/");
    EXPECT_TRUE(platform::DirectoryExists(project + "DcusQuillmo"));
    runner->Free();
}

TEST_F(RunBatchTest, ExistingFolderLinesAndSearchPathsStay)
{
    platform::SetDebuggerOverride(true);
    const std::string project = sandbox.dir.path();
    sandbox.dir.write("Quillmo.dpr", "program");
    sandbox.dir.write("out/.keep", "");
    sandbox.dir.write("Quillmo.cfg", "-E\"out/\"\n-N\"\"\n-U\"src; lib\"\n");
    TBatchRunner* runner = TBatchRunner::Create();
    EXPECT_EQ(sandbox.dir.read("Quillmo.cfg"), "-E\"out/\"\n-N\"DcusQuillmo/\"\n-U\"src; lib\"\n");
    EXPECT_EQ(runner->ExeDir, project + "out/");
    EXPECT_EQ(runner->ProjectSearchPaths, (std::vector<std::string>{project + "src", project + "lib"}));
    runner->Free();
}

// A configuration file without an executable-folder line gains one naming the
// release folder after its own lines, and the runner takes its folder from it.
TEST_F(RunBatchTest, ConfigurationWithoutExecutableFolderLineGainsOne)
{
    platform::SetDebuggerOverride(true);
    const std::string project = sandbox.dir.path();
    sandbox.dir.write("Quillmo.dpr", "program");
    sandbox.dir.write("units/.keep", "");
    sandbox.dir.write("Quillmo.cfg", "-$A+\n-n\"units/\"\n-U\"src\"\n");
    TBatchRunner* runner = TBatchRunner::Create();
    EXPECT_EQ(sandbox.dir.read("Quillmo.cfg"), "-$A+\n-n\"units/\"\n-U\"src\"\n-E\"ReleaseQuillmo/\"\n");
    EXPECT_EQ(runner->ExeDir, project + "ReleaseQuillmo/");
    EXPECT_EQ(runner->DcuDir, project + "units/");
    EXPECT_TRUE(platform::DirectoryExists(project + "ReleaseQuillmo"));
    runner->Free();
}

// The units' compiled files reach the library copy folder only under a
// debugger, for the library's account (any letter case), with the unit
// folder present and both the registry and the search paths filled. Files
// there are overwritten; a unit without a compiled file is skipped.
TEST_F(RunBatchTest, UnitFilesAreCopiedOnlyWhenEveryConditionHolds)
{
    platform::SetDebuggerOverride(true);
    const std::string project = sandbox.dir.path();
    sandbox.dir.write("Quillmo.dpr", "program");
    sandbox.dir.write("dcu/RunBatch.dcu", "runbatch");
    sandbox.dir.write("dcu/OpglManage.dcu", "manage");
    TBatchRunner* runner = TBatchRunner::Create();
    auto ready = [&] {
        platform::SetDebuggerOverride(true);
        runner->DcuDir = project + "dcu/";
        runner->UnitRegistry = {"RunBatch", "OpglManage", "NoSuchUnit"};
        runner->ProjectSearchPaths = {project + "src"};
        runner->CurrentUser = "KOVREL";
    };
    const std::vector<std::function<void()>> spoilers = {
        [] { platform::SetDebuggerOverride(false); },
        [&] { runner->DcuDir = project + "gone/"; },
        [&] { runner->UnitRegistry.clear(); },
        [&] { runner->ProjectSearchPaths.clear(); },
        [&] { runner->CurrentUser = "kovrel2"; },
    };
    for (size_t i = 0; i < spoilers.size(); ++i) {
        ready();
        spoilers[i]();
        runner->CopyUnitFiles();
        EXPECT_TRUE(listTree(project + "KovrelLib").empty()) << "condition " << i;
    }

    sandbox.dir.write("KovrelLib/RunBatch.dcu", "old");
    ready();
    runner->CopyUnitFiles();
    EXPECT_EQ(listTree(project + "KovrelLib"), (std::vector<std::string>{"OpglManage.dcu", "RunBatch.dcu"}));
    EXPECT_EQ(sandbox.dir.read("KovrelLib/RunBatch.dcu"), "runbatch");
    EXPECT_EQ(sandbox.dir.read("KovrelLib/OpglManage.dcu"), "manage");

    // The last release copies them again.
    sandbox.dir.write("dcu/OpglManage.dcu", "manage, rebuilt");
    runner->Free();
    EXPECT_EQ(sandbox.dir.read("KovrelLib/OpglManage.dcu"), "manage, rebuilt");
}
