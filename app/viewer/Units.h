#pragma once
// The program's units in link order: those of the libraries, then the main
// window's unit last. main runs these starts in order before the window
// exists and the ends in reverse after it is gone.
#include "app/common/LibraryUnits.h"

#include <vector>

const std::vector<UnitEntry>& UnitTable();

// Runs every unit's start, in order.
void StartUnits();
// Runs every unit's end, in reverse order; see EndUnits(units).
void EndUnits();
