#pragma once
// The shader scripts of the sample game data (see SampleGame.h for where
// each lies and what its shaders are for). Their shaders carry lines the
// viewer passes over, as real scripts do: rgbGen, depthWrite, second stages.
#include <string>

namespace samples {

// kCharacterScript: mira's hair, bruno's two capes and his head box.
std::string characterScriptText();
// kWeaponScript, with CRLF line ends: the weapon's glowing coils.
std::string weaponScriptText();
// kBrokenScript: a shader whose stage is never closed.
std::string brokenScriptText();
// kEffectsScript: vesta's shaders.
std::string effectsScriptText();

} // namespace samples
