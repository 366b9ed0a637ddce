#pragma once
// Pictures as PNG files: screenshots are written, and read back to be checked.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Writes width x height RGB pixels given bottom row first (as glReadPixels
// delivers them). Throws EInOutError naming the file when it cannot be written.
void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgbBottomUp);

// Reads a PNG file of any colour type as 8-bit RGB, top row first. Returns
// false, leaving the outputs empty, when the file cannot be read or decoded.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgbTopDown);

} // namespace platform
