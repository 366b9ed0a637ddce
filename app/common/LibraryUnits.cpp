#include "LibraryUnits.h"

#include "OpglLib/base/GOpglDefine.h"
#include "OpglLib/MaterialDefine.h"
#include "OpglLib/OpglCamera.h"
#include "OpglLib/OpglLight.h"
#include "OpglLib/OpglManage.h"
#include "OpglLib/OpglMaterial.h"
#include "OpglLib/OpglTexture.h"
#include "OpglLib/OpglTxtFont.h"
#include "OpglLib/OpglUniFont.h"
#include "OpglLib/OpglVector.h"
#include "OpglLib/QueltoLogo.h"
#include "OpglLib/QuickMath.h"
#include "devtools/RunBatch.h"
#include "platform/system/Dialogs.h"
#include "raster/RasManage.h"
#include "raster/RasProcess.h"
#include "raster/RasTransform.h"

#include <exception>

const std::vector<UnitEntry>& LibraryUnits()
{
    // Link order: the shared quadric first; the batch runner before every
    // other component, because they register with it; the material table
    // after its materialer and before the logo, which copies an entry.
    static const std::vector<UnitEntry> table = {
        {"GOpglDefine", GOpglDefineInitialization, GOpglDefineFinalization},
        {"RunBatch", RunBatchInitialization, RunBatchFinalization},
        {"OpglVector", OpglVectorInitialization, OpglVectorFinalization},
        {"OpglCamera", OpglCameraInitialization, OpglCameraFinalization},
        {"OpglManage", OpglManageInitialization, OpglManageFinalization},
        {"QuickMath", QuickMathInitialization, QuickMathFinalization},
        {"RasProcess", RasProcessInitialization, RasProcessFinalization},
        {"RasTransform", RasTransformInitialization, RasTransformFinalization},
        {"RasManage", RasManageInitialization, RasManageFinalization},
        {"OpglTexture", OpglTextureInitialization, OpglTextureFinalization},
        {"OpglMaterial", OpglMaterialInitialization, OpglMaterialFinalization},
        {"MaterialDefine", MaterialDefineInitialization, MaterialDefineFinalization},
        {"QueltoLogo", QueltoLogoInitialization, QueltoLogoFinalization},
        {"OpglLight", OpglLightInitialization, OpglLightFinalization},
        {"OpglUniFont", OpglUniFontInitialization, OpglUniFontFinalization},
        {"OpglTxtFont", OpglTxtFontInitialization, OpglTxtFontFinalization},
    };
    return table;
}

void StartUnits(const std::vector<UnitEntry>& units)
{
    for (const UnitEntry& unit : units)
        unit.start();
}

void EndUnits(const std::vector<UnitEntry>& units)
{
    for (auto it = units.rbegin(); it != units.rend(); ++it) {
        try {
            it->end();
        } catch (const std::exception& e) {
            platform::ShowErrorBox(e.what());
        }
    }
}
