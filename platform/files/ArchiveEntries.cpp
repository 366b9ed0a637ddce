#include "ArchiveEntries.h"

#include "FileLayer.h"
#include "GameMounts.h"

#include "platform/system/Errors.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <string_view>
#include <unordered_set>

namespace platform::files::detail {

namespace {

// Records of the zip format, by their signatures and fixed sizes.
constexpr uint32_t kEndSignature = 0x06054b50; // end of central directory
constexpr size_t kEndSize = 22;
constexpr size_t kLongestComment = 0xFFFF;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50; // just before the end record
constexpr size_t kZip64LocatorSize = 20;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr size_t kZip64EndSize = 56;
constexpr uint32_t kEntrySignature = 0x02014b50; // one central directory entry
constexpr size_t kEntrySize = 46;
// Host systems of "version made by": FAT names may use "\" as separator,
// and only other hosts keep Unix file types in the external attributes.
constexpr unsigned kFatHost = 0;
constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixLink = 0120000;

uint32_t u16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return u16(p) | u16(p + 2) << 16; }
uint64_t u64(const uint8_t* p) { return u32(p) | static_cast<uint64_t>(u32(p + 4)) << 32; }

[[noreturn]] void damaged(const std::string& what) { throw EInOutError("not a zip archive, or a damaged one (" + what + ")"); }

std::vector<uint8_t> readBytes(PHYSFS_Io* stream, uint64_t offset, uint64_t count)
{
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    if (!stream->seek(stream, offset) ||
        (count > 0 && stream->read(stream, bytes.data(), count) != static_cast<PHYSFS_sint64>(count)))
        throw EInOutError("it cannot be read");
    return bytes;
}

struct Directory {
    uint64_t start = 0;
    uint64_t size = 0;
    uint64_t entries = 0;
};

// Where the central directory lies. Like PhysicsFS, it is taken to end
// where the end record (or the zip64 one) begins, whatever offset the record
// states, so that archives with bytes before them (self-extracting ones) read.
Directory findDirectory(PHYSFS_Io* stream)
{
    const uint64_t size = static_cast<uint64_t>(std::max<PHYSFS_sint64>(stream->length(stream), 0));
    if (size < kEndSize)
        damaged("too short");
    const uint64_t tailSize = std::min<uint64_t>(size, kEndSize + kLongestComment);
    const std::vector<uint8_t> tail = readBytes(stream, size - tailSize, tailSize);
    size_t at = tail.size() - kEndSize + 1;
    do {
        --at;
    } while (at > 0 && u32(&tail[at]) != kEndSignature);
    if (u32(&tail[at]) != kEndSignature)
        damaged("no end of its central directory");
    const uint64_t endPos = size - tailSize + at;
    Directory directory{0, u32(&tail[at + 12]), u16(&tail[at + 10])};
    uint64_t directoryEnd = endPos;
    if (endPos >= kZip64LocatorSize) {
        const std::vector<uint8_t> locator = readBytes(stream, endPos - kZip64LocatorSize, kZip64LocatorSize);
        if (u32(locator.data()) == kZip64LocatorSignature) {
            const uint64_t zip64Pos = u64(&locator[8]);
            if (zip64Pos > endPos - kZip64LocatorSize || endPos - kZip64LocatorSize - zip64Pos < kZip64EndSize)
                damaged("its zip64 end record lies outside it");
            const std::vector<uint8_t> record = readBytes(stream, zip64Pos, kZip64EndSize);
            if (u32(record.data()) != kZip64EndSignature)
                damaged("no zip64 end record where its locator points");
            directory.entries = u64(&record[32]);
            directory.size = u64(&record[40]);
            directoryEnd = zip64Pos;
        }
    }
    if (directory.size > directoryEnd)
        damaged("its central directory is larger than the archive");
    directory.start = directoryEnd - directory.size;
    return directory;
}

enum class NameKind { Readable, Unreadable, Unopenable, Outside };

NameKind kindOf(const std::string& name, size_t maxPathBytes)
{
    const bool drive = name.size() >= 2 && name[1] == ':' &&
                       ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    if (name.empty() || name[0] == '/' || name[0] == '\\' || drive)
        return name.empty() ? NameKind::Unreadable : NameKind::Outside;
    bool unreadable = name.size() >= maxPathBytes;
    for (const std::string& part : pathParts(name, "/\\")) {
        if (part == "..")
            return NameKind::Outside;
        unreadable = unreadable || part.empty() || part == ".";
    }
    if (name.find('\0') != std::string::npos)
        unreadable = true;
    if (unreadable)
        return NameKind::Unreadable;
    return name.find(':') != std::string::npos ? NameKind::Unopenable : NameKind::Readable;
}

constexpr unsigned kStored = 0, kDeflated = 8;

std::string methodName(unsigned method)
{
    switch (method) {
    case 9: return "Deflate64";
    case 12: return "bzip2";
    case 14: return "LZMA";
    case 93: return "Zstandard";
    case 95: return "XZ";
    case 98: return "PPMd";
    default: return "method " + std::to_string(method);
    }
}

// The true sizes and offset of a zip64 entry, from its extra field's zip64
// record: each of the three stands there when its 32-bit field is all ones.
void readZip64Fields(const uint8_t* extra, size_t length, ZipEntry& entry)
{
    constexpr uint32_t kZip64Id = 0x0001;
    constexpr uint64_t kInZip64 = 0xFFFFFFFF;
    for (size_t at = 0; length - at >= 4;) {
        const uint32_t id = u16(extra + at);
        const size_t size = u16(extra + at + 2);
        at += 4;
        if (length - at < size)
            return;
        if (id == kZip64Id) {
            const uint8_t* field = extra + at;
            const uint8_t* end = field + size;
            for (uint64_t* value : {&entry.size, &entry.packedSize, &entry.localHeader}) {
                if (*value != kInZip64)
                    continue;
                if (end - field < 8)
                    return;
                *value = u64(field);
                field += 8;
            }
            return;
        }
        at += size;
    }
}

void addFolders(const std::string& path, std::set<std::string>& folders)
{
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        folders.insert(path.substr(0, slash));
}

} // namespace

std::vector<ZipEntry> readCentralDirectory(PHYSFS_Io* stream, size_t maxEntries)
{
    const Directory directory = findDirectory(stream);
    if (directory.entries > maxEntries)
        throw EInOutError("it holds more than " + std::to_string(maxEntries) + " entries");
    if (directory.size > kMaxFileBytes)
        damaged("its central directory is too large");
    const std::vector<uint8_t> bytes = readBytes(stream, directory.start, directory.size);
    // No entry is shorter than its fixed part: a count the bytes cannot hold
    // is found out before anything is reserved for it.
    if (directory.entries > bytes.size() / kEntrySize)
        damaged("its central directory is cut short");
    std::vector<ZipEntry> entries;
    entries.reserve(static_cast<size_t>(directory.entries));
    size_t at = 0;
    for (uint64_t i = 0; i < directory.entries; ++i) {
        if (bytes.size() - at < kEntrySize || u32(&bytes[at]) != kEntrySignature)
            damaged("entry " + std::to_string(i + 1) + " of its central directory is cut short");
        const uint8_t* record = &bytes[at];
        const size_t nameLength = u16(record + 28);
        const size_t extraLength = u16(record + 30);
        const size_t recordSize = kEntrySize + nameLength + extraLength + u16(record + 32);
        if (bytes.size() - at < recordSize)
            damaged("entry " + std::to_string(i + 1) + " of its central directory is cut short");
        at += recordSize;
        ZipEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(record + kEntrySize), nameLength);
        std::replace(entry.name.begin(), entry.name.end(), '\\', '/');
        entry.method = u16(record + 10);
        entry.encrypted = (u16(record + 8) & 1) != 0;
        entry.packedSize = u32(record + 20);
        entry.size = u32(record + 24);
        entry.localHeader = u32(record + 42);
        // Only other hosts than FAT keep Unix file types in the external attributes.
        entry.link = (u16(record + 4) >> 8) != kFatHost && ((u32(record + 38) >> 16) & kUnixTypeMask) == kUnixLink;
        readZip64Fields(record + kEntrySize + nameLength, extraLength, entry);
        entries.push_back(std::move(entry));
    }
    return entries;
}

ArchiveListing listArchiveEntries(const std::vector<ZipEntry>& entries, size_t maxPathBytes)
{
    ArchiveListing listing;
    std::unordered_set<std::string_view> files;
    files.reserve(entries.size());
    listing.files.reserve(entries.size());
    std::set<std::string> folders;
    for (const ZipEntry& entry : entries) {
        if (entry.link)
            continue;
        const std::string& name = entry.name;
        const bool isFolder = !name.empty() && name.back() == '/';
        const std::string path = isFolder ? name.substr(0, name.size() - 1) : name;
        // Stored (0) and deflated (8) are all the game's reader takes.
        if (!isFolder && entry.method != kStored && entry.method != kDeflated) {
            listing.unreadableMethod.emplace_back(name, methodName(entry.method));
            continue;
        }
        switch (kindOf(path, maxPathBytes)) {
        case NameKind::Outside:
            listing.outside.push_back(name);
            break;
        case NameKind::Readable:
            // A name met twice is one file, in the place of its first
            // entry (the reader hands out the last, as the game does).
            if (isFolder)
                folders.insert(path);
            else if (files.insert(name).second)
                listing.files.push_back(path);
            addFolders(path, folders);
            break;
        case NameKind::Unopenable:
            listing.unopenable.push_back(name);
            break;
        case NameKind::Unreadable:
            break;
        }
    }
    listing.folders.assign(folders.begin(), folders.end());
    return listing;
}

} // namespace platform::files::detail
