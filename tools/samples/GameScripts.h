#pragma once
// The shader scripts of the sample game data (see SampleGame.h for where
// each lies and what its shaders are for). Their shaders carry lines the
// viewer passes over, as real scripts do: rgbGen, depthWrite, second stages.
#include <string>

namespace samples {

// kCharacterScript: mira's hair and bruno's two capes.
std::string characterScriptText();
// kWeaponScript, with CRLF line ends: the weapon's glowing coils.
std::string weaponScriptText();
// kBrokenScript: kNoDrawShader, then a shader whose stage is never closed.
std::string brokenScriptText();

} // namespace samples
