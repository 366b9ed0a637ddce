#pragma once
// Cosine, sine and tangent of every whole degree 0 ... 359, built at start.
#include <array>

using TQuickTable = std::array<double, 360>;

extern TQuickTable CosTable;
extern TQuickTable SinTable;
extern TQuickTable TanTable;

void QuickMathInitialization();
void QuickMathFinalization();
