#pragma once
// The units of the libraries below the program's window, in link order, and
// how a table of units is started and ended. C++ gives no start order across
// files, so the program runs these starts in order and the ends in reverse;
// no component is made by a static initialiser. The runs without a window
// start these alone; the viewer's table adds its window's unit after them.
#include <vector>

struct UnitEntry {
    const char* name;
    void (*start)();
    void (*end)();
};

const std::vector<UnitEntry>& LibraryUnits();

// Runs every unit's start, in order.
void StartUnits(const std::vector<UnitEntry>& units);
// Runs every unit's end, in reverse order. A unit whose end fails (settings
// that cannot be written) shows its error and the remaining units still end.
void EndUnits(const std::vector<UnitEntry>& units);
