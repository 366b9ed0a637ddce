#include "FileLayer.h"

#include "ArchiveIo.h"
#include "GameMounts.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <map>

namespace platform::files {

namespace {

using detail::gameMounts;
using detail::throwTooLarge;

// True when count bytes at offset lie inside size bytes (no overflow).
bool fitsInside(uint64_t offset, uint64_t count, uint64_t size)
{
    return offset <= size && count <= size - offset;
}

// A disk file read at offsets, so that each array of a large file goes
// straight into its vector in one block read.
class DiskFile final : public OpenedFile {
public:
    DiskFile(const std::string& path, const std::string& diskPath)
        : DiskFile(path, ::open(diskPath.c_str(), O_RDONLY | O_CLOEXEC), statOf(diskPath))
    {
    }
    // Takes fd, open on path, whose status is info.
    DiskFile(const std::string& path, int fd, const struct stat& info) : path_(path), fd_(fd)
    {
        if (fd_ < 0)
            throw EInOutError("Cannot open file \"" + path_ + "\". " + std::strerror(errno));
        if (!S_ISREG(info.st_mode) || info.st_size < 0) {
            ::close(fd_);
            throw EInOutError("Cannot read file \"" + path_ + "\": not a regular file");
        }
        size_ = static_cast<uint64_t>(info.st_size);
        if (size_ > kMaxFileBytes) {
            ::close(fd_);
            throwTooLarge(path_, size_);
        }
    }
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;
    ~DiskFile() override { ::close(fd_); }

    static struct stat statOf(const std::string& diskPath)
    {
        struct stat info {};
        const int saved = errno;
        ::stat(diskPath.c_str(), &info);
        errno = saved;
        return info;
    }

    uint64_t Size() const override { return size_; }

    void ReadAt(uint64_t offset, void* target, uint64_t count) const override
    {
        if (!fitsInside(offset, count, size_))
            throw EInOutError("File \"" + path_ + "\": read beyond the end of the file");
        // One positioned read per block, repeated only when the system
        // delivers less. A file that shrinks while it is read ends the read
        // like a short file.
        auto* bytes = static_cast<uint8_t*>(target);
        while (count > 0) {
            const ssize_t got = ::pread(fd_, bytes, count, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                throw EInOutError("File \"" + path_ + "\": read beyond the end of the file");
            bytes += got;
            offset += static_cast<uint64_t>(got);
            count -= static_cast<uint64_t>(got);
        }
    }

    void ReadRanges(std::span<const FileRange> ranges) const override
    {
        // In file order; ranges one after another with small gaps between
        // them go in one scattered read, the gaps into a scratch buffer.
        std::vector<FileRange> ordered(ranges.begin(), ranges.end());
        std::sort(ordered.begin(), ordered.end(),
                  [](const FileRange& a, const FileRange& b) { return a.offset < b.offset; });
        std::vector<iovec> pieces;
        std::vector<std::unique_ptr<uint8_t[]>> gaps;
        uint64_t start = 0, end = 0;
        for (const FileRange& range : ordered) {
            if (!fitsInside(range.offset, range.count, size_))
                throw EInOutError("File \"" + path_ + "\": read beyond the end of the file");
            if (range.count == 0)
                continue;
            const bool joins = !pieces.empty() && range.offset >= end && range.offset - end <= kLargestGapBytes &&
                               pieces.size() + 2 <= kMostPieces;
            if (!joins) {
                readPieces(start, pieces);
                pieces.clear();
                gaps.clear();
                start = end = range.offset;
            }
            if (range.offset > end) {
                gaps.push_back(std::make_unique_for_overwrite<uint8_t[]>(range.offset - end));
                pieces.push_back({gaps.back().get(), range.offset - end});
            }
            pieces.push_back({range.target, range.count});
            end = range.offset + range.count;
        }
        readPieces(start, pieces);
    }

private:
    // Gaps up to this long between ranges are read along; the iovec
    // pieces of one read are at most the system's limit.
    static constexpr uint64_t kLargestGapBytes = 64 * 1024;
    static constexpr size_t kMostPieces = IOV_MAX;

    // Reads the pieces, one after another from offset, with as few calls
    // as the system allows (it may deliver less than asked).
    void readPieces(uint64_t offset, std::vector<iovec>& pieces) const
    {
        size_t first = 0;
        while (first < pieces.size()) {
            const ssize_t got = ::preadv(fd_, pieces.data() + first, static_cast<int>(pieces.size() - first),
                                         static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                throw EInOutError("File \"" + path_ + "\": read beyond the end of the file");
            offset += static_cast<uint64_t>(got);
            for (size_t left = static_cast<size_t>(got); left > 0 && first < pieces.size();) {
                const size_t taken = std::min(left, pieces[first].iov_len);
                pieces[first].iov_base = static_cast<uint8_t*>(pieces[first].iov_base) + taken;
                pieces[first].iov_len -= taken;
                left -= taken;
                if (pieces[first].iov_len == 0)
                    ++first;
            }
            while (first < pieces.size() && pieces[first].iov_len == 0)
                ++first;
        }
    }

    std::string path_;
    int fd_;
    uint64_t size_ = 0;
};

// A file already in memory. Archive entries are read whole: most are
// deflated, and PhysicsFS can only seek backwards in a deflated entry by
// inflating it again from the start. Holding no archive handle also lets the
// mounts change while the file is in use.
class BufferFile final : public OpenedFile {
public:
    BufferFile(const std::string& path, std::vector<uint8_t> bytes) : path_(path), bytes_(std::move(bytes)) {}

    uint64_t Size() const override { return bytes_.size(); }

    void ReadAt(uint64_t offset, void* target, uint64_t count) const override
    {
        if (!fitsInside(offset, count, bytes_.size()))
            throw EInOutError("File \"" + path_ + "\": read beyond the end of the file");
        if (count > 0)
            std::memcpy(target, bytes_.data() + offset, count);
    }

private:
    std::string path_;
    std::vector<uint8_t> bytes_;
};

// The file entry of a game-data path; throws when it is no file.
const detail::IndexEntry& requireGameFile(const std::string& path)
{
    if (!detail::cleanRequestPath(path))
        throw EInOutError("Cannot open file \"" + path +
                          "\": game data paths are relative, with \"/\" and without \"..\"");
    const detail::IndexEntry* entry = gameMounts().find(path);
    if (!entry || entry->isFolder)
        throw EInOutError("Cannot open file \"" + path + "\": it is not in the game data");
    return *entry;
}

// The entries of a disk folder, one per name ignoring letter case (the first
// in byte order, so that the answer does not depend on the order of readdir).
std::vector<FolderEntry> listDiskFolder(const std::string& folder)
{
    const std::string found = platform::ResolvePath(folder);
    if (found.empty() || !platform::DirectoryExists(found))
        return {};
    DIR* dir = ::opendir(found.c_str());
    if (!dir)
        return {};
    const std::string prefix = IncludeTrailingPathDelimiter(found);
    std::map<std::string, FolderEntry> byLowerName;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info {};
        if (::stat((prefix + name).c_str(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)))
            continue;
        auto [slot, inserted] = byLowerName.try_emplace(LowerCase(name), FolderEntry{name, false});
        if (!inserted && name < slot->second.name)
            slot->second.name = name;
        if (slot->second.name == name)
            slot->second.isFolder = S_ISDIR(info.st_mode);
    }
    ::closedir(dir);
    std::vector<FolderEntry> entries;
    for (auto& [lower, entry] : byLowerName)
        entries.push_back(std::move(entry));
    detail::sortByName(entries);
    return entries;
}

// The disk path of a disk-mode request, refusing a file above the size
// limit before anything reads it.
std::string checkedDiskPath(const std::string& path)
{
    const std::string found = platform::ResolvePath(path);
    const std::string target = found.empty() ? path : found;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<uint64_t>(info.st_size) > kMaxFileBytes)
        throwTooLarge(path, static_cast<uint64_t>(info.st_size));
    return target;
}

} // namespace

void MountDisk() { gameMounts().clear(); }

void MountGameRoot(const std::string& root, RootContents contents)
{
    const auto loose = contents == RootContents::OwnFiles    ? detail::LooseFiles::Top
                       : contents == RootContents::Archives ? detail::LooseFiles::None
                                                            : detail::LooseFiles::All;
    gameMounts().mountRoot(root, loose);
}

const std::vector<MountProblem>& MountProblems() { return gameMounts().problems(); }

size_t OpenArchiveCount() { return detail::openArchiveCount(); }

std::string MountProblemText(const MountProblem& problem)
{
    if (problem.entry.empty() && problem.gameReads)
        return "The archive \"" + problem.archive + "\" is left out: " + problem.reason + ".";
    if (problem.entry.empty())
        return "Cannot read the archive \"" + problem.archive + "\": " + problem.reason + ". Its files are left out.";
    struct stat info {};
    const bool folder = ::stat(problem.archive.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    return std::string(folder ? "The folder \"" : "The archive \"") + problem.archive + "\" holds an entry \"" + problem.entry +
           "\" that is left out: " + problem.reason + ".";
}

void MountFolderAt(const std::string& dir, const std::string& virtualFolder)
{
    gameMounts().mountFolderAt(dir, virtualFolder);
}

void MountArchiveOver(const std::string& archive) { gameMounts().mountArchiveOver(archive); }

void MountArchiveBytes(std::span<const uint8_t> bytes, const std::string& name)
{
    gameMounts().mountArchiveBytes(bytes, name);
}

bool IsGameMode() { return gameMounts().active(); }

bool HasArchiveExtension(const std::string& name)
{
    const std::string extension = ".pk3";
    return name.size() > extension.size() && SameText(name.substr(name.size() - extension.size()), extension);
}

std::optional<std::string> ResolvePath(const std::string& path)
{
    if (IsGameMode()) {
        const detail::IndexEntry* entry = gameMounts().find(path);
        return entry ? std::optional<std::string>(entry->storedPath) : std::nullopt;
    }
    std::string found = platform::ResolvePath(path);
    return found.empty() ? std::nullopt : std::optional<std::string>(std::move(found));
}

bool FileExists(const std::string& path)
{
    if (IsGameMode()) {
        const detail::IndexEntry* entry = gameMounts().find(path);
        return entry && !entry->isFolder;
    }
    return platform::FileExists(path);
}

bool DirectoryExists(const std::string& path)
{
    if (IsGameMode()) {
        const detail::IndexEntry* entry = gameMounts().find(path);
        return entry && entry->isFolder;
    }
    return platform::DirectoryExists(path);
}

std::vector<FolderEntry> ListFolder(const std::string& folder)
{
    if (!IsGameMode())
        return listDiskFolder(folder);
    const detail::IndexEntry* entry = gameMounts().find(folder);
    if (!entry || !entry->isFolder)
        return {};
    std::vector<FolderEntry> entries;
    for (const std::string& key : entry->childKeys) {
        const detail::IndexEntry* child = gameMounts().findKey(key);
        const size_t slash = child->storedPath.rfind('/');
        entries.push_back({slash == std::string::npos ? child->storedPath : child->storedPath.substr(slash + 1),
                           child->isFolder});
    }
    detail::sortByName(entries);
    return entries;
}

std::vector<std::string> ListFilesByMount(const std::string& folder)
{
    if (IsGameMode())
        return gameMounts().filesByMount(folder);
    std::vector<std::string> names;
    for (const FolderEntry& entry : listDiskFolder(folder)) {
        if (!entry.isFolder)
            names.push_back(entry.name);
    }
    return names;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    if (IsGameMode())
        return gameMounts().read(requireGameFile(path), path);
    return platform::ReadFileBytes(checkedDiskPath(path));
}

std::vector<std::string> ReadTextLines(const std::string& path) { return SplitTextLines(ReadFileBytes(path)); }

std::string SourceOf(const std::string& path)
{
    if (!IsGameMode())
        return platform::FileExists(path) ? platform::ResolvePath(path) : std::string();
    const detail::IndexEntry* entry = gameMounts().find(path);
    return entry && !entry->isFolder ? gameMounts().sourceOf(*entry) : std::string();
}

std::unique_ptr<OpenedFile> OpenFileIfExists(const std::string& path)
{
    if (IsGameMode()) {
        const detail::IndexEntry* entry = gameMounts().find(path);
        if (!entry || entry->isFolder)
            return nullptr;
        return std::make_unique<BufferFile>(path, gameMounts().read(*entry, path));
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            throw EInOutError("Cannot open file \"" + path + "\". " + std::strerror(errno));
        // Not there as written: perhaps in another letter case.
        if (!platform::FileExists(path))
            return nullptr;
        return std::make_unique<DiskFile>(path, platform::ResolvePath(path));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<DiskFile>(path, fd, info);
}

std::unique_ptr<OpenedFile> OpenFile(const std::string& path)
{
    if (IsGameMode())
        return std::make_unique<BufferFile>(path, gameMounts().read(requireGameFile(path), path));
    const std::string found = platform::ResolvePath(path);
    return std::make_unique<DiskFile>(path, found.empty() ? path : found);
}

} // namespace platform::files
