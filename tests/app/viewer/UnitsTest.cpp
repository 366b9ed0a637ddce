// The program's units started and ended in order, without a window.
#include "app/viewer/Units.h"

#include "platform/system/Dialogs.h"
#include "platform/system/IniFile.h"
#include "platform/system/System.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

// With no settings file, one start and end of the program leaves a section
// per component, named after its class, whose common key holds 0.
TEST(Units, FreshStartWritesEveryCommonKeyAsZero)
{
    testsupport::Sandbox sandbox;
    platform::SetNonInteractive(true);
    platform::SetDebuggerOverride(false);
    StartUnits();
    EndUnits();
    platform::SetDebuggerOverride(std::nullopt);

    const std::pair<const char*, const char*> commonKeys[] = {
        {"TBatchRunner", "mBatchRunner"},   {"TGLVector", "mGLVector"},         {"TGLCamera", "mGLCamera"},
        {"TGLManager", "mGLManager"},       {"TRasProcessor", "mRasProcessor"}, {"TRasTransformer", "mRasTransformer"},
        {"TRasManager", "mRasManager"},     {"TGLTexturer", "mGLTexturer"},     {"TGLMaterialer", "mGLMaterialer"},
        {"TGLQueltoLogo", "mGLQueltoLogo"}, {"TGLLighter", "mGLLighter"},       {"TGLUniFont", "mGLUniFont"},
        {"TGLTxtFont", "mGLTxtFont"}};
    const platform::IniFile ini(sandbox.settingsPath());
    for (const auto& [section, key] : commonKeys)
        EXPECT_EQ(ini.ReadString(section, key, "<missing>"), "0") << section;
}
