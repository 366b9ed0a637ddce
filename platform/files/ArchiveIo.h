#pragma once
// Archives handed to PhysicsFS as streams of our own. PhysicsFS's own disk
// reader makes one system call per header field it reads, so reading the
// central directories of a game folder's archives spent nearly all of the
// mount time in the kernel; a disk archive is read through a buffer here.
// PhysicsFS's own memory stream keeps allocations after an archive in
// memory is unmounted; this one does not.
//
// PhysicsFS keeps every mounted archive's stream, and a copy of it for every
// file open in it, for as long as the archive is mounted. A stream here holds
// no file descriptor of its own: the archives open at a time are a small set
// (kMostOpenArchives) shared by the streams, opened when a stream reads and
// closed, the least recently read first, to make room. So a game folder of
// ten thousand archives mounts under a descriptor limit of a few hundred. An
// archive is opened again only while it is the file it was (the same device,
// inode and size); otherwise its reads fail. Internal to platform/.
#include <physfs.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace platform::files::detail {

// A read-only stream over the archive at path, for PHYSFS_mountIo, or
// nullptr (errno tells why) when it cannot be opened and read as a regular
// file. A mounted stream is destroyed by PhysicsFS when it is unmounted; when
// the mount fails, the caller destroys it (stream->destroy(stream)).
PHYSFS_Io* openArchiveIo(const std::string& path);

// A read-only stream over an archive in memory, for PHYSFS_mountIo. The
// bytes are not copied: they must stay until PhysicsFS has destroyed the
// stream and every copy of it (until the archive is unmounted). Throws
// std::bad_alloc.
PHYSFS_Io* openMemoryArchiveIo(std::span<const uint8_t> bytes);

// Disk archives open now.
size_t openArchiveCount();

} // namespace platform::files::detail
