#include "QuickMath.h"

#include <cmath>

TQuickTable CosTable{};
TQuickTable SinTable{};
TQuickTable TanTable{};

void QuickMathInitialization()
{
    constexpr double kDegToRad = 0.017453292519943295769;
    for (int i = 0; i < 360; ++i) {
        // At 90 and 270 degrees the rounded radian value gives a very large
        // finite tangent, not an infinity.
        double radians = i * 1.0 * kDegToRad;
        CosTable[i] = std::cos(radians);
        SinTable[i] = std::sin(radians);
        TanTable[i] = std::tan(radians);
    }
}

void QuickMathFinalization()
{
    CosTable.fill(0.0);
    SinTable.fill(0.0);
    TanTable.fill(0.0);
}
