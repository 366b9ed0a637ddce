#pragma once
// Zip archives written with libzip: entries in the order given, every one
// dated 2000-01-01 00:00 and compressed alike, so that the bytes depend on
// the entries alone and the same entries always make the same archive. Read
// back whole for checks. (The game data itself is read through the mounts of
// FileLayer.h, not here.)
#include <string>
#include <vector>

namespace platform::files {

struct ArchiveMember {
    std::string name;  // "/" separators; a name ending in "/" is a folder entry without data
    std::string bytes;
    bool deflate = true; // compressed, or stored as it is
};

// Writes the members in the given order, replacing any file at path (libzip
// writes a temporary file and renames it when it is complete) and creating
// missing folders. Throws std::invalid_argument for an empty or repeated name
// or a folder entry with data, and EInOutError naming the file when it
// cannot be written.
void WriteZipArchive(const std::string& path, const std::vector<ArchiveMember>& members);

// Every member of an archive in stored order, with its data and whether it
// is deflated. Throws EInOutError naming the file when it cannot be opened
// or a member cannot be read.
std::vector<ArchiveMember> ReadZipArchive(const std::string& path);

} // namespace platform::files
