#pragma once
// The program's units in link order. C++ gives no start order across files,
// so main runs these starts in order before the window exists and the ends in
// reverse after it is gone; no component is made by a static initialiser.
#include <vector>

struct UnitEntry {
    const char* name;
    void (*start)();
    void (*end)();
};

const std::vector<UnitEntry>& UnitTable();

// Runs every unit's start, in order.
void StartUnits();
// Runs every unit's end, in reverse order. A unit whose end fails (settings
// that cannot be written) shows its error and the remaining units still end.
void EndUnits();
