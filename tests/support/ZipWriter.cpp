#include "ZipWriter.h"

#include <zlib.h>

#include <stdexcept>

namespace testsupport {

namespace {

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint32_t kInZip64 = 0xFFFFFFFF;
constexpr uint16_t kVersionNeeded = 20; // 2.0: deflate and folders
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint32_t kUnixFolderAttributes = 0040755u << 16;
constexpr uint32_t kUnixFileAttributes = 0100644u << 16;
constexpr uint16_t kMadeByUnix = (3 << 8) | kVersionNeeded;
// 1 January 2000, 00:00, in MS-DOS date and time fields.
constexpr uint16_t kDosTime = 0;
constexpr uint16_t kDosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;

void put16(std::string& out, uint16_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, uint32_t value)
{
    put16(out, static_cast<uint16_t>(value & 0xFFFF));
    put16(out, static_cast<uint16_t>(value >> 16));
}

// Raw deflate (no zlib header or trailer), as zip entries hold it.
std::string deflateRaw(const std::string& data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    return out;
}

struct Written {
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t method = kMethodStored;
    uint32_t localOffset = 0;
};

// The fields both headers share, from "version needed" to the extra length.
void putCommonFields(std::string& out, const ZipEntry& entry, const Written& w, uint16_t extraLength = 0)
{
    put16(out, kVersionNeeded);
    put16(out, 0); // flags: sizes are in the headers, no data descriptor
    put16(out, w.method);
    put16(out, kDosTime);
    put16(out, kDosDate);
    put32(out, w.crc);
    put32(out, w.compressedSize);
    put32(out, w.uncompressedSize);
    put16(out, static_cast<uint16_t>(entry.name.size()));
    put16(out, extraLength);
}

void put64(std::string& out, uint64_t value)
{
    put32(out, static_cast<uint32_t>(value));
    put32(out, static_cast<uint32_t>(value >> 32));
}

} // namespace

std::string makeZip(const std::vector<ZipEntry>& entries)
{
    std::string archive;
    std::vector<Written> written;
    for (const ZipEntry& entry : entries) {
        Written w;
        w.localOffset = static_cast<uint32_t>(archive.size());
        w.crc = static_cast<uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
        const std::string payload = entry.deflate ? deflateRaw(entry.data) : entry.data;
        w.method = entry.deflate ? kMethodDeflate : kMethodStored;
        w.compressedSize = static_cast<uint32_t>(payload.size());
        w.uncompressedSize = entry.claimedSize.value_or(static_cast<uint32_t>(entry.data.size()));
        put32(archive, kLocalHeaderSignature);
        putCommonFields(archive, entry, w);
        archive += entry.name;
        archive += payload;
        written.push_back(w);
    }

    const auto directoryOffset = static_cast<uint32_t>(archive.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const ZipEntry& entry = entries[i];
        const Written& w = written[i];
        const bool folder = !entry.name.empty() && entry.name.back() == '/';
        put32(archive, kCentralHeaderSignature);
        put16(archive, kMadeByUnix);
        std::string extra;
        Written claimed = w;
        if (entry.zip64ClaimedSize) {
            claimed.compressedSize = claimed.uncompressedSize = kInZip64;
            put16(extra, kZip64ExtraId);
            put16(extra, 16);
            put64(extra, *entry.zip64ClaimedSize);
            put64(extra, w.compressedSize);
        }
        putCommonFields(archive, entry, claimed, static_cast<uint16_t>(extra.size()));
        put16(archive, 0); // no comment
        put16(archive, 0); // disk number
        put16(archive, 0); // internal attributes
        put32(archive, folder ? kUnixFolderAttributes : kUnixFileAttributes);
        put32(archive, w.localOffset);
        archive += entry.name;
        archive += extra;
    }
    const auto directorySize = static_cast<uint32_t>(archive.size() - directoryOffset);
    const bool zip64 = entries.size() > 0xFFFF;
    if (zip64) {
        const uint64_t recordOffset = archive.size();
        put32(archive, kZip64EndSignature);
        put64(archive, 44); // the record's size after this field
        put16(archive, kMadeByUnix);
        put16(archive, 45); // 4.5: zip64
        put32(archive, 0);  // this disk
        put32(archive, 0);  // disk of the central directory
        put64(archive, entries.size());
        put64(archive, entries.size());
        put64(archive, directorySize);
        put64(archive, directoryOffset);
        put32(archive, kZip64LocatorSignature);
        put32(archive, 0);
        put64(archive, recordOffset);
        put32(archive, 1); // disks
    }
    const auto shortCount = static_cast<uint16_t>(zip64 ? 0xFFFF : entries.size());

    put32(archive, kEndRecordSignature);
    put16(archive, 0); // this disk
    put16(archive, 0); // disk of the central directory
    put16(archive, shortCount);
    put16(archive, shortCount);
    put32(archive, directorySize);
    put32(archive, directoryOffset);
    put16(archive, 0); // no comment
    return archive;
}

} // namespace testsupport
