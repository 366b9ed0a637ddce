#include "ArchiveIo.h"

#include "FileLayer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <new>

namespace platform::files::detail {

namespace {

// Large enough for a central directory of a few hundred entries in one
// read; a read at least this long bypasses the buffer.
constexpr uint64_t kBufferBytes = 64 * 1024;

// One archive, shared by its stream and the stream's copies. A disk archive
// is open (fd, buffer) only while it is among the recently read ones.
struct ArchiveFile {
    std::string path;
    const uint8_t* memory = nullptr; // an archive in memory, else one on disk
    uint64_t size = 0;
    dev_t device = 0;
    ino_t inode = 0;

    // The open state of a disk archive; changed only under the set's lock.
    int fd = -1;
    std::unique_ptr<uint8_t[]> buffer;
    uint64_t bufferStart = 0;
    uint64_t bufferLength = 0;
    std::list<ArchiveFile*>::iterator recent; // its place in the set, while open

    ArchiveFile() = default;
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;
    ~ArchiveFile();
};

// The disk archives open at a time, most recently read first. PhysicsFS may
// be called from more than one thread, so the set and every open archive's
// state are used under one lock.
class OpenArchives {
public:
    std::mutex mutex;

    // Makes file open and the most recently read; false (errno set) when it
    // cannot be opened or is no longer the file it was. Called under the lock.
    bool use(ArchiveFile& file)
    {
        if (file.fd >= 0) {
            recent_.splice(recent_.begin(), recent_, file.recent);
            return true;
        }
        while (recent_.size() >= kMostOpenArchives)
            close(*recent_.back());
        const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || info.st_dev != file.device || info.st_ino != file.inode ||
            static_cast<uint64_t>(info.st_size) != file.size) {
            ::close(fd);
            errno = ESTALE; // replaced or changed since it was mounted
            return false;
        }
        adopt(file, fd);
        return true;
    }

    // Takes fd as the open descriptor of file. Called under the lock.
    void adopt(ArchiveFile& file, int fd)
    {
        while (recent_.size() >= kMostOpenArchives)
            close(*recent_.back());
        file.fd = fd;
        file.buffer = std::make_unique<uint8_t[]>(kBufferBytes);
        file.bufferLength = 0;
        recent_.push_front(&file);
        file.recent = recent_.begin();
    }

    void forget(ArchiveFile& file)
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (file.fd >= 0)
            close(file);
    }

    size_t count()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return recent_.size();
    }

private:
    void close(ArchiveFile& file)
    {
        ::close(file.fd);
        file.fd = -1;
        file.buffer.reset();
        file.bufferLength = 0;
        recent_.erase(file.recent);
    }

    std::list<ArchiveFile*> recent_;
};

OpenArchives& openArchives()
{
    // Never destroyed: the mount table, itself destroyed at exit, unmounts
    // its archives after objects made later than it are gone.
    static OpenArchives& archives = *std::make_unique<OpenArchives>().release();
    return archives;
}

ArchiveFile::~ArchiveFile()
{
    if (!memory)
        openArchives().forget(*this);
}

// One stream: PhysicsFS duplicates the archive's stream for every file it
// opens in it, and each copy keeps its own position.
struct Stream {
    std::shared_ptr<ArchiveFile> file;
    uint64_t position = 0; // never beyond the file's size
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

// Reads wanted bytes at position of an open disk archive through its
// buffer; the count read, or -1 when nothing could be read.
int64_t readDisk(ArchiveFile& f, uint8_t* out, uint64_t position, uint64_t wanted)
{
    uint64_t done = 0;
    while (done < wanted) {
        const uint64_t at = position + done;
        if (at >= f.bufferStart && at - f.bufferStart < f.bufferLength) {
            const uint64_t count = std::min(wanted - done, f.bufferLength - (at - f.bufferStart));
            std::memcpy(out + done, f.buffer.get() + (at - f.bufferStart), count);
            done += count;
            continue;
        }
        const bool direct = wanted - done >= kBufferBytes;
        const int64_t got = direct ? readAt(f.fd, out + done, at, wanted - done)
                                   : readAt(f.fd, f.buffer.get(), at, std::min(kBufferBytes, f.size - at));
        if (got < 0)
            return done == 0 ? -1 : static_cast<int64_t>(done);
        if (got == 0)
            break; // the file is shorter than when it was opened
        if (direct) {
            done += static_cast<uint64_t>(got);
        } else {
            f.bufferStart = at;
            f.bufferLength = static_cast<uint64_t>(got);
        }
    }
    return static_cast<int64_t>(done);
}

PHYSFS_sint64 streamRead(PHYSFS_Io* io, void* target, PHYSFS_uint64 length)
{
    Stream& s = streamOf(io);
    ArchiveFile& f = *s.file;
    auto* out = static_cast<uint8_t*>(target);
    const uint64_t wanted = std::min<uint64_t>(length, f.size - s.position);
    if (f.memory) {
        if (wanted > 0)
            std::memcpy(out, f.memory + s.position, wanted);
        s.position += wanted;
        return static_cast<PHYSFS_sint64>(wanted);
    }
    if (wanted == 0)
        return 0;
    OpenArchives& archives = openArchives();
    const std::lock_guard<std::mutex> lock(archives.mutex);
    try {
        if (!archives.use(f)) {
            PHYSFS_setErrorCode(PHYSFS_ERR_IO);
            return -1;
        }
    } catch (const std::bad_alloc&) {
        PHYSFS_setErrorCode(PHYSFS_ERR_OUT_OF_MEMORY);
        return -1;
    }
    const int64_t done = readDisk(f, out, s.position, wanted);
    if (done < 0) {
        PHYSFS_setErrorCode(PHYSFS_ERR_IO);
        return -1;
    }
    s.position += static_cast<uint64_t>(done);
    return done;
}

int streamSeek(PHYSFS_Io* io, PHYSFS_uint64 offset)
{
    Stream& s = streamOf(io);
    if (offset > s.file->size) {
        PHYSFS_setErrorCode(PHYSFS_ERR_PAST_EOF);
        return 0;
    }
    s.position = offset;
    return 1;
}

PHYSFS_sint64 streamTell(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(streamOf(io).position); }

PHYSFS_sint64 streamLength(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(streamOf(io).file->size); }

void streamDestroy(PHYSFS_Io* io)
{
    std::unique_ptr<Stream> stream(static_cast<Stream*>(io->opaque));
    std::unique_ptr<PHYSFS_Io> owned(io);
}

// Wraps stream in a PHYSFS_Io; throws std::bad_alloc.
PHYSFS_Io* makeIo(std::unique_ptr<Stream> stream);

PHYSFS_Io* streamDuplicate(PHYSFS_Io* io)
{
    // Runs inside PhysicsFS: nothing may throw through it.
    try {
        const Stream& original = streamOf(io);
        auto copy = std::make_unique<Stream>();
        copy->file = original.file;
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
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            const int reason = S_ISREG(info.st_mode) ? errno : EINVAL;
            ::close(fd);
            errno = reason;
            return nullptr;
        }
        auto file = std::make_shared<ArchiveFile>();
        file->path = path;
        file->size = static_cast<uint64_t>(info.st_size);
        file->device = info.st_dev;
        file->inode = info.st_ino;
        {
            // Mounting reads the central directory at once: the archive
            // starts among the open ones.
            OpenArchives& archives = openArchives();
            const std::lock_guard<std::mutex> lock(archives.mutex);
            try {
                archives.adopt(*file, fd);
            } catch (...) {
                ::close(fd);
                throw;
            }
        }
        auto stream = std::make_unique<Stream>();
        stream->file = std::move(file);
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
    auto file = std::make_shared<ArchiveFile>();
    file->memory = bytes.empty() ? &kNoBytes : bytes.data();
    file->size = bytes.size();
    auto stream = std::make_unique<Stream>();
    stream->file = std::move(file);
    return makeIo(std::move(stream));
}

size_t openArchiveCount() { return openArchives().count(); }

} // namespace platform::files::detail
