#pragma once
// The entries of a zip archive, read from its central directory, for the
// layer's own zip reader (ZipArchiver.h) and for the listing of a mount.
// The names are listed here rather than through PhysicsFS because it lists
// them only folder by folder, walking every mounted archive for each folder
// (a game folder of thousands of archives would be listed in quadratic time),
// and because one name from the root ("/etc/x") makes its listing fail for
// the whole archive while the other entries open well. Internal to platform/.
#include <physfs.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform::files::detail {

// One entry of a central directory, with the true sizes and offset of a
// zip64 entry.
struct ZipEntry {
    std::string name;         // as stored, every "\" taken for "/" (the game reads both alike)
    uint64_t size = 0;        // inflated
    uint64_t packedSize = 0;  // as stored in the archive
    uint64_t localHeader = 0; // offset of its local header
    unsigned method = 0;      // 0 stored, 8 deflated, others the game does not read
    bool encrypted = false;
    bool link = false;        // a symbolic link of a Unix zip tool
};

// The entries of the archive stream's central directory, in its order (the
// stream is left at an unknown position). Throws EInOutError when it cannot
// be found or read, or holds more than maxEntries entries.
std::vector<ZipEntry> readCentralDirectory(PHYSFS_Io* stream, size_t maxEntries);

struct ArchiveListing {
    std::vector<std::string> files;   // readable entries, "/"-separated, each once, in the central directory's order
    std::vector<std::string> folders; // folder entries and the folders of every listed file
    std::vector<std::string> outside; // names that would lie outside the game folder, as stored
    // Files compressed by a method the game's reader does not know (it reads
    // stored and deflated entries only): the name as stored, and the method.
    std::vector<std::pair<std::string, std::string>> unreadableMethod;
    std::vector<std::string> unopenable; // names holding ":", which PhysicsFS refuses to open
};

// The listing of a central directory's entries. Links are left out, and so
// are names PhysicsFS cannot open (empty, "." or ".." parts, longer than
// maxPathBytes) but for a ":" in them, which go to unopenable; names from
// the root, with a drive letter or with a ".." part go to outside.
ArchiveListing listArchiveEntries(const std::vector<ZipEntry>& entries, size_t maxPathBytes);

} // namespace platform::files::detail
