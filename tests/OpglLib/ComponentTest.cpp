#include "OpglLib/Component.h"

#include "platform/Errors.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

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

std::vector<std::string> registered;
void recordUnit(const std::string& name) { registered.push_back(name); }

} // namespace

TEST(Component, CreationCountingAndSettingsRoundTrip)
{
    testsupport::Sandbox sandbox;
    registered.clear();
    SetUnitRegistrar(&recordUnit);

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
