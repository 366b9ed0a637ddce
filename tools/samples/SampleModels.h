#pragma once
// Writes the sample Model folder: two characters, each with its three body
// parts, skins, animation table and images, and a weapon for each.
#include <string>

namespace samples {

// Writes ModelLara/ and ModelSarge/ below modelRoot, creating folders as
// needed. The bytes are the same on every run. Throws platform::EInOutError
// when a file cannot be written.
void writeSampleModels(const std::string& modelRoot);

} // namespace samples
