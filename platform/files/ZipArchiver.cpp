#include "ZipArchiver.h"

#include "platform/system/Errors.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace platform::files::detail {

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kLocalSize = 30;
constexpr unsigned kStored = 0, kDeflated = 8;
constexpr size_t kInputBytes = 64 * 1024;
// zlib counts in unsigned int: no more is asked of it at once.
constexpr uint64_t kLargestInflateStep = uint64_t{1} << 30;

uint32_t u16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return u16(p) | u16(p + 2) << 16; }

struct Archive {
    PHYSFS_Io* io = nullptr;
    std::vector<ZipEntry> entries;
    std::unordered_map<std::string_view, size_t> files; // name -> its last entry
    std::unordered_set<std::string> folders;           // every folder, stated or implied, without "/"
};

void indexEntries(Archive& archive)
{
    archive.files.reserve(archive.entries.size());
    for (size_t i = 0; i < archive.entries.size(); ++i) {
        const ZipEntry& entry = archive.entries[i];
        if (entry.link || entry.name.empty())
            continue;
        std::string_view name = entry.name;
        if (name.back() == '/') {
            name.remove_suffix(1);
            archive.folders.emplace(name);
        } else {
            archive.files[name] = i; // the last of a name met twice, as the game reads it
        }
        for (size_t slash = name.rfind('/'); slash != std::string_view::npos && slash > 0;
             slash = name.rfind('/', slash - 1)) {
            if (!archive.folders.emplace(name.substr(0, slash)).second)
                break; // its parents are in already
        }
    }
}

// A handed-over directory, waiting for the mount of its stream.
struct HandOver {
    PHYSFS_Io* stream = nullptr;
    std::vector<ZipEntry> entries;
};
thread_local HandOver handedOver;

// ---- one entry's bytes, as a stream of its own ----

struct EntryReader {
    PHYSFS_Io* archive = nullptr; // the reader's own copy of the archive's stream
    ZipEntry entry;
    uint64_t dataStart = 0;
    uint64_t position = 0;   // in the inflated bytes
    uint64_t packedRead = 0; // stored bytes handed to zlib so far
    bool failed = false;
    z_stream zip{};
    bool zipStarted = false;
    std::array<uint8_t, kInputBytes> input{};

    ~EntryReader()
    {
        if (zipStarted)
            inflateEnd(&zip);
        if (archive)
            archive->destroy(archive);
    }
};

EntryReader* readerOf(PHYSFS_Io* io) { return static_cast<EntryReader*>(io->opaque); }

PHYSFS_Io* makeEntryIo(std::unique_ptr<EntryReader> reader);

bool startInflating(EntryReader& reader)
{
    if (reader.zipStarted)
        return inflateReset(&reader.zip) == Z_OK;
    reader.zip = z_stream{};
    reader.zipStarted = inflateInit2(&reader.zip, -MAX_WBITS) == Z_OK;
    return reader.zipStarted;
}

PHYSFS_sint64 fail(EntryReader& reader)
{
    reader.failed = true;
    PHYSFS_setErrorCode(PHYSFS_ERR_CORRUPT);
    return -1;
}

PHYSFS_sint64 readStored(EntryReader& reader, uint8_t* out, uint64_t count)
{
    count = std::min(count, reader.entry.packedSize - std::min(reader.position, reader.entry.packedSize));
    if (count == 0)
        return 0;
    if (!reader.archive->seek(reader.archive, reader.dataStart + reader.position))
        return -1;
    const PHYSFS_sint64 got = reader.archive->read(reader.archive, out, count);
    if (got > 0)
        reader.position += static_cast<uint64_t>(got);
    return got;
}

PHYSFS_sint64 readDeflated(EntryReader& reader, uint8_t* out, uint64_t count)
{
    z_stream& zip = reader.zip;
    zip.next_out = out;
    zip.avail_out = static_cast<uInt>(std::min(count, kLargestInflateStep));
    const uInt asked = zip.avail_out;
    while (zip.avail_out > 0) {
        if (zip.avail_in == 0) {
            const uint64_t left = reader.entry.packedSize - reader.packedRead;
            if (left == 0)
                break; // the stored bytes end: what came out is all there is
            const uint64_t want = std::min<uint64_t>(left, reader.input.size());
            if (!reader.archive->seek(reader.archive, reader.dataStart + reader.packedRead))
                return -1;
            const PHYSFS_sint64 got = reader.archive->read(reader.archive, reader.input.data(), want);
            if (got <= 0)
                return got < 0 ? -1 : fail(reader);
            reader.packedRead += static_cast<uint64_t>(got);
            zip.next_in = reader.input.data();
            zip.avail_in = static_cast<uInt>(got);
        }
        const int status = inflate(&zip, Z_NO_FLUSH);
        if (status == Z_STREAM_END)
            break;
        if (status != Z_OK)
            return fail(reader);
    }
    const uInt produced = asked - zip.avail_out;
    reader.position += produced;
    return produced;
}

PHYSFS_sint64 readEntry(PHYSFS_Io* io, void* buffer, PHYSFS_uint64 length)
{
    EntryReader& reader = *readerOf(io);
    if (reader.failed) {
        PHYSFS_setErrorCode(PHYSFS_ERR_CORRUPT);
        return -1;
    }
    // Never more than the directory says the entry inflates to.
    const uint64_t count = std::min<uint64_t>(length, reader.entry.size - reader.position);
    if (count == 0)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    return reader.entry.method == kStored ? readStored(reader, out, count) : readDeflated(reader, out, count);
}

PHYSFS_sint64 writeEntry(PHYSFS_Io*, const void*, PHYSFS_uint64)
{
    PHYSFS_setErrorCode(PHYSFS_ERR_READ_ONLY);
    return -1;
}

int seekEntry(PHYSFS_Io* io, PHYSFS_uint64 offset)
{
    EntryReader& reader = *readerOf(io);
    if (offset > reader.entry.size) {
        PHYSFS_setErrorCode(PHYSFS_ERR_PAST_EOF);
        return 0;
    }
    if (reader.entry.method == kStored) {
        reader.position = offset;
        return 1;
    }
    // Inflation only goes forward: a step back starts again from the top.
    if (offset < reader.position) {
        if (!startInflating(reader))
            return 0;
        reader.position = 0;
        reader.packedRead = 0;
        reader.failed = false;
    }
    std::array<uint8_t, 16 * 1024> skipped{};
    while (reader.position < offset) {
        const PHYSFS_sint64 got =
            readEntry(io, skipped.data(), std::min<uint64_t>(offset - reader.position, skipped.size()));
        if (got <= 0) {
            if (got == 0)
                PHYSFS_setErrorCode(PHYSFS_ERR_CORRUPT);
            return 0;
        }
    }
    return 1;
}

PHYSFS_sint64 tellEntry(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(readerOf(io)->position); }

PHYSFS_sint64 entryLength(PHYSFS_Io* io) { return static_cast<PHYSFS_sint64>(readerOf(io)->entry.size); }

std::unique_ptr<EntryReader> newReader(PHYSFS_Io* archive, const ZipEntry& entry, uint64_t dataStart)
{
    auto reader = std::make_unique<EntryReader>();
    reader->archive = archive->duplicate(archive);
    if (!reader->archive)
        return nullptr;
    reader->entry = entry;
    reader->dataStart = dataStart;
    if (entry.method == kDeflated && !startInflating(*reader)) {
        PHYSFS_setErrorCode(PHYSFS_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
    return reader;
}

PHYSFS_Io* duplicateEntry(PHYSFS_Io* io)
{
    try {
        const EntryReader& reader = *readerOf(io);
        std::unique_ptr<EntryReader> copy = newReader(reader.archive, reader.entry, reader.dataStart);
        return copy ? makeEntryIo(std::move(copy)) : nullptr;
    } catch (const std::bad_alloc&) {
        PHYSFS_setErrorCode(PHYSFS_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
}

int flushEntry(PHYSFS_Io*) { return 1; }

void destroyEntry(PHYSFS_Io* io)
{
    delete readerOf(io);
    delete io;
}

PHYSFS_Io* makeEntryIo(std::unique_ptr<EntryReader> reader)
{
    auto* io = new PHYSFS_Io{0,          reader.get(), readEntry,      writeEntry, seekEntry,  tellEntry,
                             entryLength, duplicateEntry, flushEntry, destroyEntry};
    reader.release();
    return io;
}

// ---- the archiver ----

void* openArchive(PHYSFS_Io* io, const char*, int forWrite, int* claimed)
{
    *claimed = 0;
    if (forWrite) {
        PHYSFS_setErrorCode(PHYSFS_ERR_READ_ONLY);
        return nullptr;
    }
    try {
        auto archive = std::make_unique<Archive>();
        if (handedOver.stream == io) {
            archive->entries = std::move(handedOver.entries);
            handedOver = HandOver{};
        } else {
            archive->entries = readCentralDirectory(io, SIZE_MAX);
        }
        *claimed = 1;
        indexEntries(*archive);
        archive->io = io; // PhysicsFS's from now on, destroyed when the archive closes
        return archive.release();
    } catch (const EInOutError&) {
        PHYSFS_setErrorCode(*claimed ? PHYSFS_ERR_CORRUPT : PHYSFS_ERR_UNSUPPORTED);
    } catch (const std::bad_alloc&) {
        PHYSFS_setErrorCode(PHYSFS_ERR_OUT_OF_MEMORY);
    }
    return nullptr;
}

PHYSFS_EnumerateCallbackResult enumerateFolder(void* opaque, const char* folder, PHYSFS_EnumerateCallback callback,
                                               const char* origin, void* data)
{
    const Archive& archive = *static_cast<const Archive*>(opaque);
    const std::string prefix = *folder ? std::string(folder) + "/" : std::string();
    try {
        std::set<std::string> names;
        auto take = [&](std::string_view path) {
            if (path.size() > prefix.size() && path.substr(0, prefix.size()) == prefix) {
                const std::string_view rest = path.substr(prefix.size());
                if (rest.find('/') == std::string_view::npos)
                    names.emplace(rest);
            }
        };
        for (const auto& [name, index] : archive.files)
            take(name);
        for (const std::string& name : archive.folders)
            take(name);
        for (const std::string& name : names) {
            const PHYSFS_EnumerateCallbackResult result = callback(data, origin, name.c_str());
            if (result != PHYSFS_ENUM_OK)
                return result;
        }
        return PHYSFS_ENUM_OK;
    } catch (const std::bad_alloc&) {
        PHYSFS_setErrorCode(PHYSFS_ERR_OUT_OF_MEMORY);
        return PHYSFS_ENUM_ERROR;
    }
}

// Where the bytes of entry begin, past its local header; 0 when the header
// is not where the directory says or its data would run past the archive.
uint64_t dataStartOf(PHYSFS_Io* io, const ZipEntry& entry)
{
    uint8_t header[kLocalSize];
    const PHYSFS_sint64 length = io->length(io);
    if (length < 0 || entry.localHeader > static_cast<uint64_t>(length) ||
        static_cast<uint64_t>(length) - entry.localHeader < kLocalSize || !io->seek(io, entry.localHeader) ||
        io->read(io, header, kLocalSize) != static_cast<PHYSFS_sint64>(kLocalSize) || u32(header) != kLocalSignature)
        return 0;
    const uint64_t start = entry.localHeader + kLocalSize + u16(header + 26) + u16(header + 28);
    if (start > static_cast<uint64_t>(length) || static_cast<uint64_t>(length) - start < entry.packedSize)
        return 0;
    return start;
}

PHYSFS_Io* openEntry(void* opaque, const char* name)
{
    const Archive& archive = *static_cast<const Archive*>(opaque);
    try {
        const auto found = archive.files.find(name);
        if (found == archive.files.end()) {
            PHYSFS_setErrorCode(archive.folders.count(name) ? PHYSFS_ERR_NOT_A_FILE : PHYSFS_ERR_NOT_FOUND);
            return nullptr;
        }
        const ZipEntry& entry = archive.entries[found->second];
        if (entry.encrypted || (entry.method != kStored && entry.method != kDeflated)) {
            PHYSFS_setErrorCode(PHYSFS_ERR_UNSUPPORTED);
            return nullptr;
        }
        const uint64_t start = dataStartOf(archive.io, entry);
        if (start == 0) {
            PHYSFS_setErrorCode(PHYSFS_ERR_CORRUPT);
            return nullptr;
        }
        std::unique_ptr<EntryReader> reader = newReader(archive.io, entry, start);
        return reader ? makeEntryIo(std::move(reader)) : nullptr;
    } catch (const std::bad_alloc&) {
        PHYSFS_setErrorCode(PHYSFS_ERR_OUT_OF_MEMORY);
        return nullptr;
    }
}

PHYSFS_Io* refuseWriting(void*, const char*)
{
    PHYSFS_setErrorCode(PHYSFS_ERR_READ_ONLY);
    return nullptr;
}

int refuseChange(void*, const char*)
{
    PHYSFS_setErrorCode(PHYSFS_ERR_READ_ONLY);
    return 0;
}

int statEntry(void* opaque, const char* name, PHYSFS_Stat* stat)
{
    const Archive& archive = *static_cast<const Archive*>(opaque);
    *stat = PHYSFS_Stat{};
    stat->modtime = stat->createtime = stat->accesstime = -1;
    stat->readonly = 1;
    const auto found = archive.files.find(name);
    if (found != archive.files.end()) {
        stat->filetype = PHYSFS_FILETYPE_REGULAR;
        stat->filesize = static_cast<PHYSFS_sint64>(archive.entries[found->second].size);
        return 1;
    }
    if (*name == '\0' || archive.folders.count(name)) {
        stat->filetype = PHYSFS_FILETYPE_DIRECTORY;
        stat->filesize = 0;
        return 1;
    }
    PHYSFS_setErrorCode(PHYSFS_ERR_NOT_FOUND);
    return 0;
}

void closeArchive(void* opaque)
{
    auto* archive = static_cast<Archive*>(opaque);
    archive->io->destroy(archive->io);
    delete archive;
}

const PHYSFS_Archiver kZipArchiver{
    0,
    {"ZIP", "Zip archives (.pk3), read as the game reads them", "Quillmo", "", 0},
    openArchive,
    enumerateFolder,
    openEntry,
    refuseWriting,
    refuseWriting,
    refuseChange,
    refuseChange,
    statEntry,
    closeArchive,
};

} // namespace

void registerZipArchiver()
{
    // Nothing is mounted yet, so the built-in reader can leave.
    PHYSFS_deregisterArchiver("ZIP");
    if (!PHYSFS_registerArchiver(&kZipArchiver))
        throw EInOutError(std::string("Cannot start reading archives: ") +
                          PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode()));
}

void handOverDirectory(PHYSFS_Io* stream, std::vector<ZipEntry> entries)
{
    handedOver = HandOver{stream, std::move(entries)};
}

} // namespace platform::files::detail
