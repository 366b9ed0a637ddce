#include "Units.h"

#include "OpglLib/GOpglDefine.h"
#include "OpglLib/OpglVector.h"
#include "OpglLib/QuickMath.h"
#include "devtools/RunBatch.h"
#include "platform/Dialogs.h"

#include <exception>

const std::vector<UnitEntry>& UnitTable()
{
    static const std::vector<UnitEntry> table = {
        {"GOpglDefine", GOpglDefineInitialization, GOpglDefineFinalization},
        {"RunBatch", RunBatchInitialization, RunBatchFinalization},
        {"OpglVector", OpglVectorInitialization, OpglVectorFinalization},
        {"QuickMath", QuickMathInitialization, QuickMathFinalization},
    };
    return table;
}

void StartUnits()
{
    for (const UnitEntry& unit : UnitTable())
        unit.start();
}

void EndUnits()
{
    const auto& table = UnitTable();
    for (auto it = table.rbegin(); it != table.rend(); ++it) {
        try {
            it->end();
        } catch (const std::exception& e) {
            platform::ShowErrorBox(e.what());
        }
    }
}
