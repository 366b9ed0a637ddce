// The index of the mounted game data: request paths cleaned as the game
// reads them, the merged tree of every mount's listing, and the bytes of
// its files (GameMounts.h).
#include "GameMounts.h"

#include "FileLayer.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <physfs.h>

#include <algorithm>
#include <memory>

namespace platform::files::detail {

namespace {

// First piece of an entry's read; larger entries double from there.
constexpr size_t kFirstReadBytes = size_t{1} << 20;

struct PhysfsFileCloser {
    void operator()(PHYSFS_File* file) const { PHYSFS_close(file); }
};
using PhysfsFile = std::unique_ptr<PHYSFS_File, PhysfsFileCloser>;

} // namespace

std::optional<std::string> cleanRequestPath(const std::string& path)
{
    // The game drops one leading separator from every path it is asked for
    // and takes "\\" for "/"; a path that still starts with one after that
    // is found nowhere.
    std::string request = path;
    std::replace(request.begin(), request.end(), '\\', '/');
    if (!request.empty() && request.front() == '/')
        request.erase(0, 1);
    if ((!request.empty() && request.front() == '/') || request.find('\0') != std::string::npos)
        return std::nullopt;
    std::string clean;
    for (const std::string& part : pathParts(request)) {
        if (part == "..")
            return std::nullopt;
        if (!part.empty() && part != ".") {
            if (!clean.empty())
                clean += '/';
            clean += part;
        }
    }
    return clean;
}

std::vector<std::string> pathParts(const std::string& path, const char* separators)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(separators, start);
        if (end == std::string::npos)
            end = path.size();
        parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

void throwTooLarge(const std::string& path, uint64_t size)
{
    throw EInOutError("File \"" + path + "\" is " + std::to_string(size) + " bytes long, more than the " +
                      std::to_string(kMaxFileBytes) + " bytes a file may have");
}

void sortByName(std::vector<FolderEntry>& entries)
{
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return LessIgnoringCase(a.name, b.name); });
}

void GameMounts::rebuildIndex()
{
    index_.clear();
    size_t listed = 0;
    for (const Mount& mount : mounts_)
        listed += mount.listing.size();
    index_.reserve(std::min(listed, kMaxIndexEntries) + 1);
    index_[""] = IndexEntry{"", "", true, 0, {}};
    // Each mount brings at most its listing and the folders of its mount
    // point; one that could pass the bound is left out before it is merged.
    std::vector<size_t> tooMany;
    for (size_t i = mounts_.size(); i-- > 0;) {
        const Mount& mount = mounts_[i];
        const size_t most = mount.listing.size() + pathParts(mount.virtualFolder).size();
        if (index_.size() + most > kMaxIndexEntries) {
            problems_.push_back({mount.source, "",
                                 "with it the game data would hold more than " + std::to_string(kMaxIndexEntries) +
                                     " files and folders",
                                 true});
            tooMany.push_back(i);
            continue;
        }
        mergeMount(i);
    }
    // Taken from the highest number down, the others keep theirs.
    for (size_t i : tooMany)
        unmount(i);
    if (!tooMany.empty()) {
        index_.clear();
        index_[""] = IndexEntry{"", "", true, 0, {}};
        for (size_t i = mounts_.size(); i-- > 0;)
            mergeMount(i);
    }
}

IndexEntry* GameMounts::addEntry(const std::string& storedPath, const std::string& openPath, bool isFolder,
                                 size_t mount)
{
    const std::string key = LowerCase(storedPath);
    const size_t slash = key.rfind('/');
    IndexEntry* parent = &index_.at(slash == std::string::npos ? std::string() : key.substr(0, slash));
    auto [slot, added] = index_.try_emplace(key, IndexEntry{storedPath, openPath, isFolder, mount, {}});
    IndexEntry& entry = slot->second;
    if (added) {
        parent->childKeys.push_back(key);
    } else if (entry.mount == mount && entry.isFolder == isFolder && storedPath < entry.storedPath) {
        // Two spellings in one mount: the first in byte order, whatever
        // order PhysicsFS listed them in.
        entry.storedPath = storedPath;
        entry.openPath = openPath;
    }
    return &entry;
}

void GameMounts::mergeMount(size_t index)
{
    // Mounts are merged in search order, so a name already in the index
    // (in any letter case) comes from a mount searched earlier and wins.
    const Mount& mount = mounts_[index];
    const std::string& base = mount.virtualFolder;
    // The folders of the mount point, each unless an earlier mount has it.
    for (size_t end = base.find('/'); !base.empty(); end = base.find('/', end + 1)) {
        if (!addEntry(base.substr(0, end), "", true, index)->isFolder)
            return; // a file of an earlier mount hides this folder
        if (end == std::string::npos)
            break;
    }
    for (const Listed& item : mount.listing) {
        const std::string storedPath = base.empty() ? item.path : base + "/" + item.path;
        const size_t slash = storedPath.rfind('/');
        // An entry below a name that is a file in an earlier mount stays hidden.
        const IndexEntry* parent = findKey(LowerCase(slash == std::string::npos ? "" : storedPath.substr(0, slash)));
        if (!parent || !parent->isFolder)
            continue;
        addEntry(storedPath, mount.privateRoot + "/" + item.path, item.isFolder, index);
    }
}

const IndexEntry* GameMounts::findKey(const std::string& key) const
{
    auto found = index_.find(key);
    return found == index_.end() ? nullptr : &found->second;
}

std::vector<std::string> GameMounts::filesByMount(const std::string& folder) const
{
    const std::optional<std::string> clean = cleanRequestPath(folder);
    if (!clean)
        return {};
    const std::string key = LowerCase(*clean);
    std::vector<std::string> names;
    std::unordered_set<std::string> met; // lower-case names
    for (size_t i = mounts_.size(); i-- > 0;) {
        const Mount& mount = mounts_[i];
        std::vector<const Listed*> files;
        for (const Listed& item : mount.listing) {
            const std::string storedPath = mount.virtualFolder.empty() ? item.path : mount.virtualFolder + "/" + item.path;
            const size_t slash = storedPath.rfind('/');
            if (!item.isFolder && LowerCase(slash == std::string::npos ? "" : storedPath.substr(0, slash)) == key)
                files.push_back(&item);
        }
        std::sort(files.begin(), files.end(), [](const Listed* a, const Listed* b) { return a->order < b->order; });
        for (const Listed* item : files) {
            const std::string name = item->path.substr(item->path.rfind('/') + 1);
            const IndexEntry* entry = findKey(key.empty() ? LowerCase(name) : key + "/" + LowerCase(name));
            // A name hidden below a file of another mount is no file of the tree.
            if (entry && !entry->isFolder && met.insert(LowerCase(name)).second)
                names.push_back(name);
        }
    }
    return names;
}

const IndexEntry* GameMounts::find(const std::string& path) const
{
    const std::optional<std::string> clean = cleanRequestPath(path);
    return clean ? findKey(LowerCase(*clean)) : nullptr;
}

std::vector<uint8_t> GameMounts::read(const IndexEntry& entry, const std::string& path) const
{
    const PhysfsFile file(PHYSFS_openRead(entry.openPath.c_str()));
    if (!file)
        throw EInOutError("Cannot open file \"" + path + "\": " + physfsError());
    const PHYSFS_sint64 length = PHYSFS_fileLength(file.get());
    if (length < 0)
        throw EInOutError("Cannot read file \"" + path + "\": its length is unknown");
    // The length is the archive's own claim: checked against the cap before
    // anything is allocated, and trusted no further. The buffer grows with the
    // bytes that really come out, so a small archive claiming a large entry
    // costs no more memory than its data inflates to.
    const auto claimed = static_cast<uint64_t>(length);
    if (claimed > kMaxFileBytes)
        throwTooLarge(path, claimed);
    std::vector<uint8_t> bytes;
    size_t got = 0;
    while (got < claimed) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(claimed, std::max(got * 2, kFirstReadBytes)));
        bytes.resize(want);
        const PHYSFS_sint64 count = PHYSFS_readBytes(file.get(), bytes.data() + got, want - got);
        if (count < 0) {
            const PHYSFS_ErrorCode code = PHYSFS_getLastErrorCode();
            if (code == PHYSFS_ERR_CORRUPT)
                throw EInOutError("File \"" + path + "\" is damaged: its packed bytes do not inflate");
            const char* text = PHYSFS_getErrorByCode(code);
            throw EInOutError("Cannot read file \"" + path + "\": " + (text ? text : "unknown error"));
        }
        got += static_cast<size_t>(count);
        if (got < want)
            break;
    }
    if (got != claimed)
        throw EInOutError("File \"" + path + "\" is damaged: it ends after " + std::to_string(got) + " of its " +
                          std::to_string(claimed) + " bytes");
    return bytes;
}

std::string GameMounts::sourceOf(const IndexEntry& entry) const
{
    const Mount& mount = mounts_.at(entry.mount);
    if (!mount.isFolder)
        return mount.source;
    // A loose file: its folder's disk path and its path below the mount.
    return mount.source + "/" + entry.openPath.substr(mount.privateRoot.size() + 1);
}

} // namespace platform::files::detail
