#pragma once
// The names of a zip archive's entries, read from its central directory the
// way PhysicsFS finds it. PhysicsFS reads the entries' data; the names are
// read here because PhysicsFS lists them only folder by folder, walking every
// mounted archive for each folder (a game folder of thousands of archives
// would be listed in quadratic time), and because one name from the root
// ("/etc/x") makes its listing fail for the whole archive while the other
// entries open well. Internal to platform/.
#include <physfs.h>

#include <string>
#include <utility>
#include <vector>

namespace platform::files::detail {

struct ArchiveListing {
    std::vector<std::string> files;   // readable entries, "/"-separated, each once, in the central directory's order
    std::vector<std::string> folders; // folder entries and the folders of every listed file
    std::vector<std::string> outside; // names that would lie outside the game folder, as stored
    // Files compressed by a method the game's reader does not know (it reads
    // stored and deflated entries only): the name as stored, and the method.
    std::vector<std::pair<std::string, std::string>> unreadableMethod;
};

// Reads the central directory of the archive stream (it is left at an
// unknown position). Entries that are links, or whose names PhysicsFS cannot
// open (a ":" or "\" in them, empty, "." or ".." parts, longer than
// maxPathBytes), are left out; names from the root, with a drive letter or
// with a ".." part go to outside. Throws EInOutError when the central
// directory cannot be found or read, or holds more than maxEntries entries.
ArchiveListing listArchiveEntries(PHYSFS_Io* stream, size_t maxEntries, size_t maxPathBytes);

} // namespace platform::files::detail
