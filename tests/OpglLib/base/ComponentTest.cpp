#include "OpglLib/base/Component.h"

#include "platform/system/Errors.h"
#include "support/RunCommand.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A component with one key of its own, to watch the pattern's steps.
class TProbe : public TComponent<TProbe> {
public:
    static constexpr const char* kClassName = "TProbe";
    static constexpr const char* kUnitName = "ProbeUnit";
    static constexpr bool kRegistersUnit = true;

    float FLength = 0;
    int loads = 0;

protected:
    void InitDefaults() override { FLength = 20.0f; }
    void LoadKeys(const platform::IniFile& ini) override
    {
        ++loads;
        FLength = static_cast<float>(ini.ReadFloat(kClassName, "FLength", 20.0));
    }
    void SaveKeys(platform::IniFile& ini) override { ini.WriteFloat(kClassName, "FLength", FLength); }
};

// A component whose creation fails at its last step while failing is set.
class TFragile : public TComponent<TFragile> {
public:
    static constexpr const char* kClassName = "TFragile";
    static constexpr const char* kUnitName = "FragileUnit";
    static constexpr bool kRegistersUnit = true;
    static inline bool failing = false;

protected:
    void PostCreateHook() override
    {
        if (failing)
            throw platform::EInOutError("cannot make TFragile");
    }
};

// A registry that, like the batch runner's, keeps each name once.
std::vector<std::string> registered;
bool recordUnit(const std::string& name)
{
    if (std::find(registered.begin(), registered.end(), name) != registered.end())
        return false;
    registered.push_back(name);
    return true;
}
void forgetUnit(const std::string& name) { std::erase(registered, name); }
constexpr UnitRegistrar kRecorder{recordUnit, forgetUnit};

} // namespace

TEST(Component, CreationCountingAndSettingsRoundTrip)
{
    testsupport::Sandbox sandbox;
    registered.clear();
    SetUnitRegistrar(&kRecorder);

    TProbe* first = TProbe::Create();
    TProbe* second = TProbe::Create();
    EXPECT_EQ(first, second);
    EXPECT_EQ(TProbe::RefCount(), 2);
    EXPECT_EQ(first->FLength, 20.0f); // no settings file: defaults, nothing read
    EXPECT_EQ(first->loads, 0);
    EXPECT_EQ(first->UnitName, "ProbeUnit");
    EXPECT_EQ(first->AppName, "Quillmo");
    EXPECT_EQ(first->AppPath, sandbox.dir.path());
    EXPECT_EQ(registered, std::vector<std::string>{"ProbeUnit"});

    first->FLength = 7.5f;
    first->SettingsValue = 9;
    first->Free();
    EXPECT_EQ(TProbe::Instance(), first); // still alive, unchanged, nothing saved
    EXPECT_EQ(first->FLength, 7.5f);
    EXPECT_EQ(sandbox.settingsText(), "");

    second->Free();
    EXPECT_EQ(TProbe::Instance(), nullptr);
    EXPECT_EQ(sandbox.settingsText(), "[TProbe]\nmProbe=9\nFLength=7.5\n");

    TProbe* third = TProbe::Create();
    EXPECT_EQ(third->loads, 1);
    EXPECT_EQ(third->FLength, 7.5f);
    EXPECT_EQ(third->SettingsValue, 9);
    third->Free();
    SetUnitRegistrar(nullptr);
}

TEST(Component, BadValuesFallBackAndOtherSectionsSurvive)
{
    testsupport::Sandbox sandbox;
    sandbox.writeSettings("[Elsewhere]\nkey=value\n[TProbe]\nmProbe=seven\nFLength=1e999x\nextra=kept\n");
    TProbe* probe = TProbe::Create();
    EXPECT_EQ(probe->SettingsValue, 0);
    EXPECT_EQ(probe->FLength, 20.0f);
    probe->SettingsValue = 7;
    probe->Free();
    EXPECT_EQ(sandbox.settingsText(), "[Elsewhere]\nkey=value\n[TProbe]\nmProbe=7\nFLength=20\nextra=kept\n");
}

TEST(Component, UnwritableSettingsStillReleaseTheObject)
{
    testsupport::Sandbox sandbox;
    platform::SetModuleFileName(sandbox.dir.file("gone/Quillmo"));
    TProbe* probe = TProbe::Create();
    EXPECT_THROW(probe->Free(), platform::EInOutError);
    EXPECT_EQ(TProbe::Instance(), nullptr);
    EXPECT_EQ(TProbe::RefCount(), 0);
}

// Read-only settings are read as ever but left as they are at release, even
// where writing would fail; switched back, the next release writes again.
TEST(Component, ReadOnlySettingsAreReadButNeverWritten)
{
    testsupport::Sandbox sandbox;
    const std::string before = "[TProbe]\nmProbe=3\nFLength=4.5\n";
    sandbox.writeSettings(before);
    SetSettingsReadOnly(true);
    TProbe* probe = TProbe::Create();
    EXPECT_EQ(probe->SettingsValue, 3);
    EXPECT_EQ(probe->FLength, 4.5f);
    probe->FLength = 8.0f;
    probe->Free();
    EXPECT_EQ(sandbox.settingsText(), before);

    platform::SetModuleFileName(sandbox.dir.file("gone/Quillmo"));
    EXPECT_NO_THROW(TProbe::Create()->Free());
    platform::SetModuleFileName(sandbox.dir.file("Quillmo"));

    SetSettingsReadOnly(false);
    probe = TProbe::Create();
    probe->FLength = 8.0f;
    probe->Free();
    EXPECT_EQ(sandbox.settingsText(), "[TProbe]\nmProbe=3\nFLength=8\n");
}

// A creation step that throws leaves nothing behind: no instance that no
// count could release, no count, and no registry entry that this creation
// added (an entry that was there before stays). The next Create starts afresh.
TEST(Component, FailedCreationLeavesNoHalfMadeInstance)
{
    testsupport::Sandbox sandbox;
    registered.clear();
    SetUnitRegistrar(&kRecorder);
    TFragile::failing = true;
    EXPECT_THROW(TFragile::Create(), platform::EInOutError);
    EXPECT_EQ(TFragile::Instance(), nullptr);
    EXPECT_EQ(TFragile::RefCount(), 0);
    EXPECT_TRUE(registered.empty());

    registered = {"FragileUnit"};
    EXPECT_THROW(TFragile::Create(), platform::EInOutError);
    EXPECT_EQ(registered, std::vector<std::string>{"FragileUnit"});

    TFragile::failing = false;
    registered.clear();
    TFragile* fragile = TFragile::Create();
    EXPECT_EQ(TFragile::RefCount(), 1);
    EXPECT_EQ(registered, std::vector<std::string>{"FragileUnit"});
    fragile->Free();
    EXPECT_EQ(TFragile::Instance(), nullptr);
    EXPECT_EQ(sandbox.settingsText(), "[TFragile]\nmFragile=0\n");
    SetUnitRegistrar(nullptr);
}

// The settings file is the executable's path with ".ini" exactly. A file
// whose name differs only in letter case is neither read nor written.
TEST(Component, SettingsFileIsFoundByItsExactName)
{
    testsupport::Sandbox sandbox;
    const std::string other = "[TProbe]\nmProbe=9\nFLength=3\n";
    sandbox.dir.write("QUILLMO.INI", other);
    TProbe* probe = TProbe::Create();
    EXPECT_EQ(probe->loads, 0);
    EXPECT_EQ(probe->SettingsValue, 0);
    EXPECT_EQ(probe->FLength, 20.0f);
    probe->Free();
    EXPECT_EQ(sandbox.dir.read("QUILLMO.INI"), other);
    EXPECT_EQ(sandbox.settingsText(), "[TProbe]\nmProbe=0\nFLength=20\n");
}

// The settings file stays beside an executable whose folder can be written
// (the build tree's Quillmo.ini) and otherwise goes to the user's
// configuration folder, made on the first save, whatever name the program is
// installed under. Without a known configuration folder it stays beside, and
// saving there fails with its own message.
TEST(SettingsPlace, BesideAWritableExecutableElseInTheUserConfigFolder)
{
    testsupport::Sandbox sandbox;
    EXPECT_EQ(SettingsPathFor("/home/u/build/Quillmo", true, "/cfg/"), "/home/u/build/Quillmo.ini");
    EXPECT_EQ(SettingsPathFor("/usr/local/bin/quillmo", false, ""), "/usr/local/bin/quillmo.ini");
    const std::string userFile = SettingsPathFor(sandbox.dir.file("bin/quillmo"), false, sandbox.dir.file("cfg"));
    EXPECT_EQ(userFile, sandbox.dir.file("cfg/quillmo/quillmo.ini"));
    PrepareSettingsFolder(userFile);
    EXPECT_TRUE(platform::DirectoryExists(sandbox.dir.file("cfg/quillmo")));
    // The executable's own folder is never made.
    platform::SetModuleFileName(sandbox.dir.file("gone/Quillmo"));
    PrepareSettingsFolder(SettingsPath());
    EXPECT_FALSE(platform::DirectoryExists(sandbox.dir.file("gone")));
}

// The installed case end to end: a component created and freed with its
// executable in a read-only folder keeps its settings in the user's folder.
TEST(SettingsPlace, ReadOnlyExecutableFolderKeepsSettingsInTheUserFolder)
{
    // Root writes into read-only folders: as root (CI runs so), this case runs
    // again in a copy of this program as an unprivileged user.
    constexpr const char* kAsUser = "QUILLMO_TEST_AS_USER";
    if (::geteuid() == 0 && !std::getenv(kAsUser)) {
        testsupport::TempDir copy;
        ASSERT_EQ(::chmod(copy.path().c_str(), 0755), 0);
        std::filesystem::copy_file("/proc/self/exe", copy.file("tests"));
        std::string output;
        const int status = testsupport::runCommand(
            "cd / && " + std::string(kAsUser) + "=1 HOME=/nonexistent setpriv --reuid=65534 --regid=65534 "
            "--clear-groups '" + copy.file("tests") +
                "' --gtest_filter=SettingsPlace.ReadOnlyExecutableFolderKeepsSettingsInTheUserFolder 2>&1",
            output);
        EXPECT_EQ(status, 0) << output;
        EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output;
        return;
    }
    testsupport::Sandbox sandbox;
    sandbox.dir.write("bin/.keep", "");
    ASSERT_EQ(::chmod(sandbox.dir.file("bin").c_str(), 0555), 0);
    struct Restore {
        std::string bin;
        ~Restore()
        {
            ::chmod(bin.c_str(), 0755);
            ::unsetenv("XDG_CONFIG_HOME");
        }
    } restore{sandbox.dir.file("bin")};
    if (::access(restore.bin.c_str(), W_OK) == 0)
        GTEST_SKIP() << "this user (root) writes into read-only folders";
    ::setenv("XDG_CONFIG_HOME", sandbox.dir.file("config").c_str(), 1);
    platform::SetModuleFileName(sandbox.dir.file("bin/quillmo"));

    TProbe* probe = TProbe::Create();
    probe->FLength = 33;
    EXPECT_NO_THROW(probe->Free());
    EXPECT_NE(sandbox.dir.read("config/quillmo/quillmo.ini").find("FLength=33"), std::string::npos);
    EXPECT_FALSE(platform::FileExists(sandbox.dir.file("bin/quillmo.ini")));
    probe = TProbe::Create();
    EXPECT_EQ(probe->FLength, 33.0f);
    probe->Free();
}
