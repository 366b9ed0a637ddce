#include "ZipWriter.h"

#include "platform/system/Errors.h"

#include <zip.h>

#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>

namespace platform::files {

namespace {

// MS-DOS date and time fields: 2000-01-01 00:00:00. libzip would otherwise
// date every entry at the moment of writing.
constexpr zip_uint16_t kDosDate = ((2000 - 1980) << 9) | (1 << 5) | 1;
constexpr zip_uint16_t kDosTime = 0;
constexpr std::size_t kReadChunk = 64 * 1024;

struct ArchiveDiscarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using Archive = std::unique_ptr<zip_t, ArchiveDiscarder>;

void checkNames(const std::vector<ArchiveMember>& entries)
{
    std::set<std::string> seen;
    for (const auto& entry : entries) {
        if (entry.name.empty() || !seen.insert(entry.name).second)
            throw std::invalid_argument("zip entry names must be present and distinct: \"" + entry.name + "\"");
        if (entry.name.back() == '/' && !entry.bytes.empty())
            throw std::invalid_argument("zip folder entry with data: " + entry.name);
    }
}

void addEntry(zip_t* archive, const ArchiveMember& entry, const std::string& path)
{
    auto fail = [&](const std::string& name) { return EInOutError("Cannot add " + name + " to " + path); };
    zip_int64_t index = -1;
    if (entry.name.back() == '/') {
        index = zip_dir_add(archive, entry.name.c_str(), ZIP_FL_ENC_UTF_8);
    } else {
        // The source borrows the entry's bytes, which outlive zip_close.
        zip_source_t* source = zip_source_buffer(archive, entry.bytes.data(), entry.bytes.size(), 0);
        if (!source)
            throw fail(entry.name);
        index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0)
            zip_source_free(source);
    }
    if (index < 0)
        throw fail(entry.name);
    const auto at = static_cast<zip_uint64_t>(index);
    if (zip_file_set_dostime(archive, at, kDosTime, kDosDate, 0) != 0
        || zip_set_file_compression(archive, at, entry.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0)
        throw fail(entry.name);
}

} // namespace

void WriteZipArchive(const std::string& path, const std::vector<ArchiveMember>& entries)
{
    checkNames(entries);
    const std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), ec);
    int error = 0;
    Archive archive(zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!archive)
        throw EInOutError("Cannot write " + path);
    for (const auto& entry : entries)
        addEntry(archive.get(), entry, path);
    if (zip_close(archive.get()) != 0)
        throw EInOutError("Cannot write " + path + ": " + zip_strerror(archive.get()));
    archive.release(); // zip_close freed it
}

std::vector<ArchiveMember> ReadZipArchive(const std::string& path)
{
    int error = 0;
    Archive archive(zip_open(path.c_str(), ZIP_RDONLY, &error));
    if (!archive)
        throw EInOutError("Cannot open the archive " + path);
    std::vector<ArchiveMember> entries;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            throw EInOutError("Cannot read entry " + std::to_string(i) + " of " + path);
        ArchiveMember entry{stat.name, {}, (stat.valid & ZIP_STAT_COMP_METHOD) && stat.comp_method == ZIP_CM_DEFLATE};
        std::unique_ptr<zip_file_t, EntryCloser> file(zip_fopen_index(archive.get(), index, 0));
        if (!file)
            throw EInOutError("Cannot read " + entry.name + " in " + path);
        // Read to the end rather than trusting the stored size.
        std::vector<char> chunk(kReadChunk);
        for (zip_int64_t got; (got = zip_fread(file.get(), chunk.data(), chunk.size())) != 0;) {
            if (got < 0)
                throw EInOutError("Cannot read " + entry.name + " in " + path);
            entry.bytes.append(chunk.data(), static_cast<std::size_t>(got));
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace platform::files
