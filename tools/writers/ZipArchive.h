#pragma once
// Zip archives for sample game data: written with fixed time stamps, so the
// bytes depend only on the entries, and read back whole for checks.
#include <string>
#include <vector>

namespace writers {

struct ZipEntry {
    std::string name;  // "/" separators; a name ending in "/" is a folder entry without data
    std::string bytes;
    bool deflate = true; // compressed, or stored as it is
};

// Writes the entries in the given order, every one dated 2000-01-01 00:00,
// replacing any file at path and creating missing folders. Throws
// std::invalid_argument for an empty or repeated name or a folder entry with
// data, and platform::EInOutError naming the file when it cannot be written.
void writeZip(const std::string& path, const std::vector<ZipEntry>& entries);

// Every entry of an archive in stored order, with its data and whether it is
// deflated. Throws platform::EInOutError naming the file when it cannot be
// opened or an entry cannot be read.
std::vector<ZipEntry> readZip(const std::string& path);

} // namespace writers
