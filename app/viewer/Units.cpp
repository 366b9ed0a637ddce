#include "Units.h"

#include "Unit1.h"

const std::vector<UnitEntry>& UnitTable()
{
    static const std::vector<UnitEntry> table = [] {
        std::vector<UnitEntry> units = LibraryUnits();
        units.push_back({"Unit1", Unit1Initialization, Unit1Finalization});
        return units;
    }();
    return table;
}

void StartUnits() { StartUnits(UnitTable()); }

void EndUnits() { EndUnits(UnitTable()); }
