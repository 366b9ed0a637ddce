#pragma once
// The two sample weapons: gun-like shapes one frame long, origin at the grip
// where the hand holds them, barrel along +X, top towards +Z.
#include "tools/samples/Figures.h"
#include "tools/writers/Md3Writer.h"

namespace samples {

// Surfaces "w_railcase", "w_railgrip", "w_railrear", "w_raillcd".
writers::Md3Model makeSlenderWeapon(const ShaderNames& shaders);
// Surfaces "w_railgun1", "w_railgun2", "w_railgun4", "w_railgun3", "w_railgun05".
writers::Md3Model makeBulkyWeapon(const ShaderNames& shaders);

} // namespace samples
