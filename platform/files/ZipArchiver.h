#pragma once
// The layer's own reader of zip archives, registered with PhysicsFS in place
// of its built-in one. PhysicsFS's reader indexes an archive's entries in a
// tree whose folders it searches name by name, so that mounting an archive
// of a few hundred thousand entries in one folder took minutes; it also
// refuses a whole archive in which one name occurs twice, reads no zip64
// sizes, and keeps "\" in names that the game takes for "/". This one
// indexes the entries by name in one hash table, hands out the last of a
// name met twice (as the game does), reads zip64 sizes, and inflates
// stored and deflated entries (all the game reads) with zlib. Read-only.
// Internal to platform/.
#include "ArchiveEntries.h"

#include <physfs.h>

#include <vector>

namespace platform::files::detail {

// Replaces PhysicsFS's zip reader with this one; after PHYSFS_init.
// Throws EInOutError when PhysicsFS refuses it.
void registerZipArchiver();

// Hands the central directory of stream, read already, to the reader for
// the next PHYSFS_mountIo of stream on this thread, which then does not read
// it again. A directory handed over for another stream is dropped.
void handOverDirectory(PHYSFS_Io* stream, std::vector<ZipEntry> entries);

} // namespace platform::files::detail
