#pragma once
// The game-data half of the file layer (FileLayer.h): folders and archives
// mounted through PhysicsFS, and an index of the merged tree by lower-cased
// path, because PhysicsFS matches names exactly and the game does not.
//
// Each mount sits at a private mount point of its own ("m0", "m1", ...), is
// listed once when it is mounted (a folder through PhysicsFS, an archive from
// its central directory, ArchiveEntries.h), and the index merges the listings
// in search order (the last mount first). PhysicsFS's own search order would
// merge the same way, but it lists a folder by walking every mount, and one
// entry it cannot describe (a name with a leading "/") fails the listing of
// that folder for every mount at once. Archives that cannot be read and
// entries whose names lead out of the game data become problems (the caller
// tells about them); the rest still mounts. Mounting is in GameMounts.cpp,
// the index and reading in GameMountIndex.cpp. Internal to platform/.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct PHYSFS_Io;

namespace platform::files {

struct FolderEntry;
struct MountProblem;

namespace detail {

// A sanity bound on the merged tree: real game data holds some tens of
// thousands of files, and an index of this many entries takes a few hundred
// megabytes. A folder holding more (a home folder given by mistake) is not
// walked; an archive that would take the tree above it (one of empty names
// by the million) is left out alone, the rest mounted.
inline constexpr size_t kMaxIndexEntries = 1'000'000;

// PhysicsFS's last error in words.
std::string physfsError();

// A file or folder of the merged tree.
struct IndexEntry {
    std::string storedPath; // below the game root, in its stored letter case
    std::string openPath;   // the path PhysicsFS opens ("" for folders made by a mount point)
    bool isFolder = false;
    size_t mount = 0; // the mount it comes from
    std::vector<std::string> childKeys; // a folder's entries, by their keys
};

// The parts of path between separators, empty ones included ("a//b" is
// "a", "", "b").
std::vector<std::string> pathParts(const std::string& path, const char* separators = "/");

// A request path with empty and "." parts dropped and "/" between the rest,
// in the caller's letter case, read as the game reads a path: "\" is "/",
// and one leading separator is dropped. Nothing when it still starts with a
// separator after that, has a ".." part or holds a NUL.
std::optional<std::string> cleanRequestPath(const std::string& path);

// Throws EInOutError: the file at path is size bytes, above kMaxFileBytes.
[[noreturn]] void throwTooLarge(const std::string& path, uint64_t size);

// Sorts by name ignoring letter case, then by bytes.
void sortByName(std::vector<FolderEntry>& entries);

// Which loose files of a game root are mounted besides its archives: all of
// them, those directly in it (and then no archive), or none.
enum class LooseFiles { All, Top, None };

class GameMounts {
public:
    GameMounts() = default;
    GameMounts(const GameMounts&) = delete;
    GameMounts& operator=(const GameMounts&) = delete;
    // Drops every mount and shuts PhysicsFS down.
    ~GameMounts();

    // True while anything is mounted.
    bool active() const { return active_; }

    // Unmounts everything and forgets the index.
    void clear();

    // The mounts of FileLayer.h, each throwing EInOutError as documented
    // there. mountRoot, mountArchiveOver and mountArchiveBytes leave nothing
    // mounted when they throw; mountFolderAt keeps the mounts as they were when it refuses its
    // arguments.
    void mountRoot(const std::string& root, LooseFiles loose);
    void mountFolderAt(const std::string& dir, const std::string& virtualFolder);
    void mountArchiveOver(const std::string& archive);
    void mountArchiveBytes(std::span<const uint8_t> bytes, const std::string& name);

    // The entry of a request path, or nullptr when absent or refused.
    const IndexEntry* find(const std::string& path) const;

    // ListFilesByMount of FileLayer.h.
    std::vector<std::string> filesByMount(const std::string& folder) const;
    const IndexEntry* findKey(const std::string& key) const;

    // The whole file of entry; path names it in messages. Throws EInOutError.
    std::vector<uint8_t> read(const IndexEntry& entry, const std::string& path) const;

    // The archive, or the loose file on disk, that entry's bytes come from.
    std::string sourceOf(const IndexEntry& entry) const;

    // What the mounts since the last clear left out, in the order met.
    const std::vector<MountProblem>& problems() const { return problems_; }

private:
    // A file or folder of one mount, by its path below the mount.
    struct Listed {
        std::string path;
        bool isFolder = false;
        uint32_t order = 0; // a file's place in its mount's own order (an archive's central directory)
    };
    struct Mount {
        std::string source;        // disk path of the folder or archive, or the memory archive's name
        std::string virtualFolder; // where it appears below the game root; "" for the root
        std::string privateRoot;   // its mount point in PhysicsFS
        bool isFolder = false;
        std::vector<Listed> listing; // folders before their entries
    };

    // Every file and folder below a private mount point of a folder (its
    // files alone with topOnly); names PhysicsFS cannot open become problems
    // of source. Throws EInOutError when PhysicsFS cannot list one of its
    // folders.
    std::vector<Listed> listMount(const std::string& source, const std::string& privateRoot, bool topOnly);

    void start();
    // Mounts the archives of folder; those that cannot be read become problems.
    void mountArchivesOf(const std::string& folder);
    // Mounts source at a private mount point and lists it (a folder's files
    // alone with topOnly); throws EInOutError naming source, with nothing
    // mounted.
    void mount(const std::string& source, const std::string& virtualFolder, bool isFolder, bool topOnly);
    // Lists the archive stream, mounts it for mount and keeps it; throws
    // EInOutError naming it, with the stream destroyed, when it cannot be
    // listed or PhysicsFS refuses it.
    void mountArchiveStream(PHYSFS_Io* stream, Mount mount);
    // Lists a folder PhysicsFS has just mounted and keeps it, or unmounts it
    // and throws EInOutError naming it.
    void adopt(Mount mount, bool topOnly);
    static std::string cannotRead(const Mount& mount);
    // The name PhysicsFS knows a mount by: a folder's path, an archive's mount point.
    static std::string physfsName(const Mount& mount);
    void unmount(size_t index);
    void rebuildIndex();
    void mergeMount(size_t index);
    IndexEntry* addEntry(const std::string& storedPath, const std::string& openPath, bool isFolder, size_t mount);

    bool started_ = false;
    bool active_ = false;
    size_t nextMountId_ = 0;
    std::vector<Mount> mounts_; // in mount order; the last is searched first
    std::unordered_set<std::string> sources_; // the sources of mounts_
    std::vector<MountProblem> problems_;
    std::vector<uint8_t> memoryArchive_;
    std::unordered_map<std::string, IndexEntry> index_;
};

// The process-wide mount table.
GameMounts& gameMounts();

} // namespace detail
} // namespace platform::files
