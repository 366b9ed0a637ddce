// Mounting game data folders and archives through PhysicsFS, each listed
// once (GameMounts.h).
#include "GameMounts.h"

#include "ArchiveEntries.h"
#include "ArchiveIo.h"
#include "FileLayer.h"
#include "GameArchives.h"
#include "ZipArchiver.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <physfs.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <set>
#include <string>

namespace platform::files::detail {

namespace {

// Longest path kept in the index; longer ones are left out of the listing.
constexpr size_t kMaxPathBytes = 4096;

// Why a name PhysicsFS refuses to open is left out.
const char* const kColonInName = "its name holds \":\", which cannot be opened here";
const char* const kBackslashInName = "its name holds \"\\\", which the game reads as \"/\"";

// The names PHYSFS_enumerate reports for one folder. The callback runs inside
// PhysicsFS, so an exception (out of memory) is parked and rethrown after.
struct NameCollector {
    std::set<std::string> names; // sorted, so that every walk of a mount lists it alike
    std::exception_ptr error;
};

PHYSFS_EnumerateCallbackResult collectName(void* data, const char*, const char* name)
{
    auto* collector = static_cast<NameCollector*>(data);
    try {
        collector->names.emplace(name);
        return PHYSFS_ENUM_OK;
    } catch (...) {
        collector->error = std::current_exception();
        return PHYSFS_ENUM_ERROR;
    }
}

// The names in one folder; throws EInOutError with PhysicsFS's reason.
std::set<std::string> listNames(const std::string& folder)
{
    NameCollector collector;
    const int ok = PHYSFS_enumerate(folder.c_str(), collectName, &collector);
    if (collector.error)
        std::rethrow_exception(collector.error);
    if (!ok)
        throw EInOutError(physfsError());
    return std::move(collector.names);
}

// Where the mount numbered id sits in PhysicsFS's tree: "m0", "m1", ...
std::string privateRootName(size_t id)
{
    std::string name = "m";
    name += std::to_string(id); // appended, not "m" + ...: GCC 12 warns falsely about that at -O3
    return name;
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string physfsError()
{
    const PHYSFS_ErrorCode code = PHYSFS_getLastErrorCode();
    // No archiver accepting the file is reported as "unsupported".
    if (code == PHYSFS_ERR_UNSUPPORTED)
        return "not a zip archive, or a damaged one";
    const char* text = PHYSFS_getErrorByCode(code);
    return text ? text : "unknown error";
}

GameMounts& gameMounts()
{
    // Made on first use and destroyed at exit, which shuts PhysicsFS down so
    // that leak checks see nothing of it.
    static GameMounts mounts;
    return mounts;
}

GameMounts::~GameMounts()
{
    clear();
    if (started_)
        PHYSFS_deinit();
}

// PhysicsFS's memory, cleared when it is handed out. Inflating a damaged
// entry whose back-references point before its start copies from the
// inflater's window as it was allocated: with memory from malloc that would
// hand out whatever the heap held before as the file's bytes. Cleared, it is
// zeros, the same on every read.
// Some of its requests follow an archive's claims (a link entry's target is
// allocated at the entry's stated size); nothing of an archive is larger than
// the largest file read from one, so larger requests fail as out of memory.
void* clearedMalloc(PHYSFS_uint64 size)
{
    if (size > kMaxFileBytes)
        return nullptr;
    return std::calloc(1, static_cast<size_t>(size == 0 ? 1 : size));
}
void* cappedRealloc(void* memory, PHYSFS_uint64 size)
{
    if (size > kMaxFileBytes)
        return nullptr;
    return std::realloc(memory, static_cast<size_t>(size));
}
void plainFree(void* memory) { std::free(memory); }

void GameMounts::start()
{
    if (started_)
        return;
    if (!PHYSFS_isInit()) {
        const PHYSFS_Allocator allocator{nullptr, nullptr, clearedMalloc, cappedRealloc, plainFree};
        PHYSFS_setAllocator(&allocator);
    }
    if (!PHYSFS_isInit() && !PHYSFS_init(nullptr))
        throw EInOutError("Cannot start reading game data: " + physfsError());
    registerZipArchiver();
    started_ = true;
    // Links inside game folders are not followed, so a folder from elsewhere
    // cannot hand out files outside itself. This is PhysicsFS's default;
    // it is set here so that nothing else can have changed it.
    PHYSFS_permitSymbolicLinks(0);
}

void GameMounts::clear()
{
    // The last mount is the first in PhysicsFS's search path: unmounted in
    // that order, each is found at once.
    while (!mounts_.empty())
        unmount(mounts_.size() - 1);
    sources_.clear();
    problems_.clear();
    nextMountId_ = 0;
    memoryArchive_.clear();
    memoryArchive_.shrink_to_fit();
    index_.clear();
    active_ = false;
}

void GameMounts::unmount(size_t index)
{
    PHYSFS_unmount(physfsName(mounts_[index]).c_str());
    sources_.erase(mounts_[index].source);
    mounts_.erase(mounts_.begin() + static_cast<std::ptrdiff_t>(index));
}

void GameMounts::mount(const std::string& source, const std::string& virtualFolder, bool isFolder, bool topOnly)
{
    Mount mount{source, virtualFolder, privateRootName(nextMountId_++), isFolder, {}};
    // A source already mounted keeps its first mount point in PhysicsFS,
    // so it leaves its old place before it takes the new one.
    if (sources_.count(source)) {
        auto same = std::find_if(mounts_.begin(), mounts_.end(), [&](const Mount& m) { return m.source == source; });
        unmount(static_cast<size_t>(same - mounts_.begin()));
    }
    if (isFolder) {
        // Each mount goes to the front of PhysicsFS's search path, where the
        // look-ups of its own listing find it first.
        if (!PHYSFS_mount(source.c_str(), mount.privateRoot.c_str(), 0))
            throw EInOutError(cannotRead(mount) + physfsError());
        adopt(std::move(mount), topOnly);
        return;
    }
    PHYSFS_Io* stream = openArchiveIo(source);
    if (!stream)
        throw EInOutError(cannotRead(mount) + std::strerror(errno));
    mountArchiveStream(stream, std::move(mount));
}

void GameMounts::mountArchiveStream(PHYSFS_Io* stream, Mount mount)
{
    ArchiveListing entries;
    try {
        std::vector<ZipEntry> directory = readCentralDirectory(stream, kMaxIndexEntries);
        entries = listArchiveEntries(directory, kMaxPathBytes);
        handOverDirectory(stream, std::move(directory));
    } catch (const EInOutError& error) {
        stream->destroy(stream);
        throw EInOutError(cannotRead(mount) + error.what());
    } catch (...) {
        stream->destroy(stream);
        throw;
    }
    // PhysicsFS names an archive of a stream as it is told; it compares the
    // name with every mount's when it mounts another, so a short one keeps
    // mounting thousands of archives quick.
    const int mounted = PHYSFS_mountIo(stream, physfsName(mount).c_str(), mount.privateRoot.c_str(), 0);
    handOverDirectory(nullptr, {});
    if (!mounted) {
        // A stream PhysicsFS refuses stays ours to destroy.
        const std::string reason = physfsError();
        stream->destroy(stream);
        throw EInOutError(cannotRead(mount) + reason);
    }
    // Folders sort before the entries below them, as a listing has them.
    for (std::string& folder : entries.folders)
        mount.listing.push_back({std::move(folder), true});
    for (size_t i = 0; i < entries.files.size(); ++i)
        mount.listing.push_back({std::move(entries.files[i]), false, static_cast<uint32_t>(i)});
    std::sort(mount.listing.begin(), mount.listing.end(),
              [](const Listed& a, const Listed& b) { return a.path < b.path; });
    for (const std::string& name : entries.outside)
        problems_.push_back({mount.source, name, "its name would put it outside the game data"});
    for (const auto& [name, method] : entries.unreadableMethod)
        problems_.push_back({mount.source, name, "compressed by a method the game does not read (" + method + ")"});
    for (const std::string& name : entries.unopenable)
        problems_.push_back({mount.source, name, kColonInName, true});
    sources_.insert(mount.source);
    mounts_.push_back(std::move(mount));
}

void GameMounts::adopt(Mount mount, bool topOnly)
{
    try {
        mount.listing = listMount(mount.source, mount.privateRoot, topOnly);
    } catch (const EInOutError& error) {
        PHYSFS_unmount(mount.source.c_str());
        throw EInOutError(cannotRead(mount) + error.what());
    } catch (...) {
        PHYSFS_unmount(mount.source.c_str());
        throw;
    }
    sources_.insert(mount.source);
    mounts_.push_back(std::move(mount));
}

std::string GameMounts::physfsName(const Mount& mount)
{
    return mount.isFolder ? mount.source : mount.privateRoot;
}

std::string GameMounts::cannotRead(const Mount& mount)
{
    return "Cannot read the " + std::string(mount.isFolder ? "folder" : "archive") + " \"" + mount.source + "\": ";
}

void GameMounts::mountArchivesOf(const std::string& folder)
{
    std::vector<SkippedArchive> skipped;
    const std::vector<GameArchive> archives = ArchivesOf(folder, &skipped);
    // What looks like an archive and is none is left out with a word.
    for (const SkippedArchive& name : skipped)
        problems_.push_back({folder + "/" + name.name, "", name.reason});
    for (const GameArchive& archive : archives) {
        const std::string path = folder + "/" + archive.name;
        try {
            mount(path, "", archive.isFolder, false);
        } catch (const EInOutError& error) {
            // The reason follows the archive's name in the message.
            const std::string what = error.what();
            const std::string prefix = cannotRead(Mount{path, "", "", archive.isFolder, {}});
            problems_.push_back({path, "", what.rfind(prefix, 0) == 0 ? what.substr(prefix.size()) : what});
        }
    }
}

void GameMounts::mountRoot(const std::string& root, LooseFiles loose)
{
    clear();
    try {
        start();
        const std::string source = withoutTrailingSlash(ExpandFileName(root));
        struct stat info {};
        if (::stat(source.c_str(), &info) != 0)
            throw EInOutError("Cannot open the game data \"" + root + "\". " + std::strerror(errno));
        if (S_ISDIR(info.st_mode)) {
            if (loose != LooseFiles::Top)
                mountArchivesOf(source);
            if (loose != LooseFiles::None)
                mount(source, "", true, loose == LooseFiles::Top); // the loose files, over every archive
        } else if (S_ISREG(info.st_mode)) {
            mount(source, "", false, false);
        } else {
            throw EInOutError("The game data \"" + root + "\" is neither a folder nor an archive");
        }
        rebuildIndex();
        active_ = true;
    } catch (...) {
        clear();
        throw;
    }
}

void GameMounts::mountFolderAt(const std::string& dir, const std::string& virtualFolder)
{
    if (!active_)
        throw EInOutError("Cannot mount \"" + dir + "\": no game data is mounted");
    const std::optional<std::string> clean = cleanRequestPath(virtualFolder);
    if (!clean)
        throw EInOutError("Cannot mount \"" + dir + "\" at \"" + virtualFolder + "\": not a path inside the game data");
    const std::string source = withoutTrailingSlash(ExpandFileName(dir));
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw EInOutError("Cannot mount \"" + dir + "\": not a readable folder");
    try {
        mount(source, *clean, true, false);
        rebuildIndex();
    } catch (...) {
        clear();
        throw;
    }
}

void GameMounts::mountArchiveOver(const std::string& archive)
{
    if (!active_)
        throw EInOutError("Cannot mount \"" + archive + "\": no game data is mounted");
    try {
        mount(withoutTrailingSlash(ExpandFileName(archive)), "", false, false);
        rebuildIndex();
    } catch (...) {
        clear();
        throw;
    }
}

void GameMounts::mountArchiveBytes(std::span<const uint8_t> bytes, const std::string& name)
{
    clear();
    try {
        start();
        memoryArchive_.assign(bytes.begin(), bytes.end());
        Mount mount{name, "", privateRootName(nextMountId_++), false, {}};
        // PhysicsFS reads the bytes for as long as they are mounted; the
        // layer keeps them until clear() has unmounted them.
        mountArchiveStream(openMemoryArchiveIo(memoryArchive_), std::move(mount));
        rebuildIndex();
        active_ = true;
    } catch (...) {
        clear();
        throw;
    }
}

std::vector<GameMounts::Listed> GameMounts::listMount(const std::string& source, const std::string& privateRoot,
                                                      bool topOnly)
{
    std::vector<Listed> listing;
    // A list of folders rather than recursion: archive paths can nest
    // thousands of folders deep.
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        const std::string physicalFolder = folder.empty() ? privateRoot : privateRoot + "/" + folder;
        std::set<std::string> names;
        try {
            names = listNames(physicalFolder);
        } catch (const EInOutError& error) {
            throw EInOutError((folder.empty() ? std::string("its top folder") : "its folder \"" + folder + "\"") +
                              " cannot be listed (" + error.what() + ")");
        }
        for (const std::string& name : names) {
            // A damaged central directory can describe an entry named ""
            // inside its own folder ("players/" as a file with data): it
            // would list the folder inside itself for ever.
            if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
                folder.size() + name.size() >= kMaxPathBytes)
                continue;
            const std::string path = folder.empty() ? name : folder + "/" + name;
            // PhysicsFS describes no name it would refuse to open, so those
            // stay out of the index and its listings, with a word.
            if (name.find_first_of(":\\") != std::string::npos) {
                const bool colon = name.find(':') != std::string::npos;
                problems_.push_back({source, path, colon ? kColonInName : kBackslashInName, colon});
                continue;
            }
            PHYSFS_Stat info{};
            if (!PHYSFS_stat((privateRoot + "/" + path).c_str(), &info))
                continue;
            const bool isFolder = info.filetype == PHYSFS_FILETYPE_DIRECTORY;
            if (!isFolder && info.filetype != PHYSFS_FILETYPE_REGULAR)
                continue;
            if (isFolder && topOnly)
                continue;
            listing.push_back({path, isFolder, static_cast<uint32_t>(listing.size())});
            if (isFolder)
                pending.push_back(path);
        }
        if (listing.size() > kMaxIndexEntries)
            throw EInOutError("it holds more than " + std::to_string(kMaxIndexEntries) + " files and folders");
    }
    return listing;
}

} // namespace platform::files::detail
