#include "ArchiveIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

namespace platform::files::detail {

namespace {

// Large enough for a central directory of a few hundred entries in one
// read; a read at least this long bypasses the buffer.
constexpr uint64_t kBufferBytes = 64 * 1024;

// One stream's state. PhysicsFS duplicates the archive's stream for every
// file it opens in it, and each copy keeps its own position and buffer.
struct Stream {
    int fd = -1;                     // a disk archive, or
    const uint8_t* memory = nullptr; // an archive in memory
    uint64_t size = 0;
    uint64_t position = 0; // never beyond size
    uint64_t bufferStart = 0;
    uint64_t bufferLength = 0;
    std::unique_ptr<uint8_t[]> buffer; // disk archives only

    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

Stream& streamOf(PHYSFS_Io* io) { return *static_cast<Stream*>(io->opaque); }

// One positioned read; fewer bytes than asked only at the end of the file
// (or when it shrank). -1 on a read error.
int64_t readAt(int fd, uint8_t* target, uint64_t offset, uint64_t count)
{
    ssize_t got;
    do {
        got = ::pread(fd, target, count, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
}

PHYSFS_sint64 streamRead(PHYSFS_Io* io, void* target, PHYSFS_uint64 length)
{
    Stream& s = streamOf(io);
    auto* out = static_cast<uint8_t*>(target);
    const uint64_t wanted = std::min<uint64_t>(length, s.size - s.position);
    if (s.memory) {
        if (wanted > 0)
            std::memcpy(out, s.memory + s.position, wanted);
        s.position += wanted;
        return static_cast<PHYSFS_sint64>(wanted);
    }
    uint64_t done = 0;
    while (done < wanted) {
        const uint64_t at = s.position + done;
        if (at >= s.bufferStart && at - s.bufferStart < s.bufferLength) {
            const uint64_t count = std::min(wanted - done, s.bufferLength - (at - s.bufferStart));
            std::memcpy(out + done, s.buffer.get() + (at - s.bufferStart), count);
            done += count;
            continue;
        }
        const bool direct = wanted - done >= kBufferBytes;
        const int64_t got = direct ? readAt(s.fd, out + done, at, wanted - done)
                                   : readAt(s.fd, s.buffer.get(), at, std::min(kBufferBytes, s.size - at));
        if (got < 0) {
            PHYSFS_setErrorCode(PHYSFS_ERR_IO);
            if (done == 0)
                return -1;
            break;
        }
        if (got == 0)
            break; // the file is shorter than when it was opened
        if (direct) {
            done += static_cast<uint64_t>(got);
        } else {
            s.bufferStart = at;
            s.bufferLength = static_cast<uint64_t>(got);
        }
    }
    s.position += done;
    return static_cast<PHYSFS_sint64>(done);
}

int streamSeek(PHYSFS_Io* io, PHYSFS_uint64 offset)
{
    Stream& s = streamOf(io);
    if (offset > s.size) {
        PHYSFS_setErrorCode(PHYSFS_ERR_PAST_EOF);
        return 0;
    }
    s.position = offset;
    return 1;
}

PHYSFS_sint64 streamTell(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(streamOf(io).position); }

PHYSFS_sint64 streamLength(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(streamOf(io).size); }

void streamDestroy(PHYSFS_Io* io)
{
    std::unique_ptr<Stream> stream(static_cast<Stream*>(io->opaque));
    std::unique_ptr<PHYSFS_Io> owned(io);
}

// Wraps stream in a PHYSFS_Io; nullptr when out of memory.
PHYSFS_Io* makeIo(std::unique_ptr<Stream> stream);

PHYSFS_Io* streamDuplicate(PHYSFS_Io* io)
{
    // Runs inside PhysicsFS: nothing may throw through it.
    try {
        const Stream& original = streamOf(io);
        auto copy = std::make_unique<Stream>();
        copy->memory = original.memory;
        if (!original.memory) {
            copy->fd = ::fcntl(original.fd, F_DUPFD_CLOEXEC, 0);
            if (copy->fd < 0) {
                PHYSFS_setErrorCode(PHYSFS_ERR_OS_ERROR);
                return nullptr;
            }
            copy->buffer = std::make_unique<uint8_t[]>(kBufferBytes);
        }
        copy->size = original.size;
        copy->position = original.position;
        return makeIo(std::move(copy));
    } catch (const std::bad_alloc&) {
        PHYSFS_setErrorCode(PHYSFS_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
}

PHYSFS_Io* makeIo(std::unique_ptr<Stream> stream)
{
    // Version 0 of the interface; no write or flush for a read-only stream.
    auto io = std::make_unique<PHYSFS_Io>(PHYSFS_Io{0, stream.get(), streamRead, nullptr, streamSeek, streamTell,
                                                    streamLength, streamDuplicate, nullptr, streamDestroy});
    stream.release();
    return io.release();
}

} // namespace

PHYSFS_Io* openArchiveIo(const std::string& path)
{
    try {
        auto stream = std::make_unique<Stream>();
        stream->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (stream->fd < 0 || ::fstat(stream->fd, &info) != 0)
            return nullptr;
        if (!S_ISREG(info.st_mode)) {
            errno = EINVAL;
            return nullptr;
        }
        stream->size = static_cast<uint64_t>(info.st_size);
        stream->buffer = std::make_unique<uint8_t[]>(kBufferBytes);
        return makeIo(std::move(stream));
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return nullptr;
    }
}

PHYSFS_Io* openMemoryArchiveIo(std::span<const uint8_t> bytes)
{
    // The bytes are read in place, so an empty archive still needs an
    // address to read from.
    static constexpr uint8_t kNoBytes = 0;
    auto stream = std::make_unique<Stream>();
    stream->memory = bytes.empty() ? &kNoBytes : bytes.data();
    stream->size = bytes.size();
    return makeIo(std::move(stream));
}

} // namespace platform::files::detail
