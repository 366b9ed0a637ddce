#pragma once
// Writing a picture as a PNG file (screenshots).
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Writes width x height RGB pixels given bottom row first (as glReadPixels
// delivers them). Throws EInOutError naming the file when it cannot be written.
void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbBottomUp);

} // namespace platform
