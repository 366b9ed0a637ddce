#pragma once
// Zip archives written byte by byte (local headers, data, central directory,
// end record), so that tests and benchmarks can build .pk3 files, sound or
// deliberately broken, without an archive library. Entries are stored as
// they are or raw-deflated with zlib.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ZipEntry {
    ZipEntry(std::string entryName, std::string entryData, bool deflated = false)
        : name(std::move(entryName)), data(std::move(entryData)), deflate(deflated)
    {
    }

    std::string name; // as stored: "/" separators; a name ending in "/" is a folder
    std::string data;
    bool deflate = false;
    // When set, both headers claim this uncompressed size instead of the
    // data's real one (for archives that lie about an entry).
    std::optional<uint32_t> claimedSize;
    // When set, the central directory claims this size in a zip64 record.
    std::optional<uint64_t> zip64ClaimedSize;
};

// The bytes of a zip archive holding entries in the given order; with more
// than 65535 entries its end record is a zip64 one.
std::string makeZip(const std::vector<ZipEntry>& entries);

} // namespace testsupport
