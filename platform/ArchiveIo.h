#pragma once
// Disk archives handed to PhysicsFS through a read buffer. PhysicsFS's own
// disk reader makes one system call per header field it reads, so reading
// the central directories of a game folder's archives spent nearly all of
// the mount time in the kernel. Internal to platform/.
#include <physfs.h>

#include <string>

namespace platform::files::detail {

// A read-only stream over the archive at path, for PHYSFS_mountIo, or
// nullptr (errno tells why) when it cannot be opened. A mounted stream is
// destroyed by PhysicsFS when it is unmounted; when the mount fails, the
// caller destroys it (stream->destroy(stream)).
PHYSFS_Io* openArchiveIo(const std::string& path);

} // namespace platform::files::detail
