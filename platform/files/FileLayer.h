#pragma once
// The one file layer: every reader of character data (MD3 parts, skins,
// animation tables, images, shader scripts) takes its bytes from here.
//
// The layer is a mount table, process-wide like the file system it stands
// for, in one of two modes:
// - Disk (the default, and the sample Model/ tree): paths are disk paths,
//   absolute or relative to the current folder, and resolve as on Windows:
//   an exact match first, else folder by folder a match ignoring letter case.
// - Game data: a game root (a folder or one .pk3) mounted as the game mounts
//   it. Paths are relative to the root with "/" separators
//   ("models/players/NAME/upper.md3") and are found without regard to letter
//   case; when two mounts hold the same path (in any letter case), the file
//   of the later mount wins. Absolute paths, paths with a ".." part and
//   paths with a backslash are refused (callers turn backslashes into "/"
//   first); empty, "." and repeated "/" parts are ignored. Archives are zip
//   files read through PhysicsFS; links inside mounted folders are not
//   followed, and nothing in an archive can make the layer read outside the
//   mounted folders.
// Disk mode answers through the disk look-up of System.h; the settings file
// and the developer tools read the disk there directly, whatever the mode.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::files {

// How many archives of the game data are open at once, at most: archives
// are opened when they are read, and the least recently read one is closed
// to make room for another.
inline constexpr size_t kMostOpenArchives = 32;

// Largest file the layer hands out; a larger one (or an archive entry that
// claims to be larger) is refused with EInOutError.
inline constexpr uint64_t kMaxFileBytes = 256ull * 1024 * 1024;

// Puts the layer in disk mode, dropping every game mount.
void MountDisk();

// How much of a game data folder is mounted.
enum class RootContents {
    Everything, // its archives and every loose file below it
    OwnFiles,   // the files directly in it, without archives or subfolders:
                // a character folder that is its own game data, whose
                // neighbours below it have nothing to do with it
    Archives,   // its archives alone: the game data as installed, without the
                // loose files a maker works on above them
};

// Puts the layer in game mode on root, dropping every earlier mount:
// - a folder: every *.pk3 archive and every *.pk3dir folder in it (any
//   letter case) in the game's name order (GameArchives.h), each later one
//   over the earlier ones, then the loose files below the folder over every
//   archive (or, with RootContents::OwnFiles, the files directly in it alone;
//   with RootContents::Archives no loose file);
// - a .pk3 file: that archive alone.
// An archive that cannot be mounted (corrupt, unreadable) is left out and the
// others still mount; entries whose names would lie outside the game data
// are left out and the archive's other entries kept. Neither is shown here:
// each is a MountProblem for the caller to tell about. Throws EInOutError
// when root is neither a readable folder nor a readable archive. Archives
// hold no file descriptor while they are not read (ArchiveIo.h), so a
// folder of thousands of them mounts under a small descriptor limit.
void MountGameRoot(const std::string& root, RootContents contents = RootContents::Everything);

// Something of the game data that mounting left out.
struct MountProblem {
    std::string archive; // the archive's disk path (or the name of one in memory)
    std::string entry;   // the entry's name as stored; "" when the whole archive is left out
    std::string reason;  // why, in a few words: "not a zip archive, or a damaged one"
    bool gameReads = false; // the game itself reads what is left out here (a limit of this program's)
};

// The problems of the mounts made since the last MountGameRoot or
// MountArchiveBytes, in the order met; empty in disk mode.
const std::vector<MountProblem>& MountProblems();

// Archives open now.
size_t OpenArchiveCount();

// One line telling about a problem: 'Cannot read the archive "PATH": REASON.
// Its files are left out.' ('The archive "PATH" is left out: REASON.' when
// the game would read it), or 'The archive (folder) "PATH" holds an entry "NAME"
// that is left out: REASON.'
std::string MountProblemText(const MountProblem& problem);

// In game mode: mounts the disk folder dir so that its files appear below
// virtualFolder ("models/players/NAME"), over everything mounted so far.
// Used for a character folder that lies outside its game root; a folder
// mounted again leaves its earlier place. Throws EInOutError, changing
// nothing, when the layer is not in game mode, dir is not a readable folder
// or virtualFolder is a refused path.
void MountFolderAt(const std::string& dir, const std::string& virtualFolder);

// In game mode: mounts the archive file at archive over everything mounted
// so far, its entries at the game root: a pack laid over the game data, which
// wins over every file below it. Throws EInOutError, with nothing mounted,
// when the layer is not in game mode or the archive cannot be read.
void MountArchiveOver(const std::string& archive);

// Puts the layer in game mode on one archive held in memory (named name in
// messages and by SourceOf), dropping every earlier mount; for fuzzing the
// archive reader and for tests. Throws EInOutError when it is no readable
// archive, leaving the layer in disk mode.
void MountArchiveBytes(std::span<const uint8_t> bytes, const std::string& name);

// True in game mode.
bool IsGameMode();

// True for a name ending in ".pk3" in any letter case: a game archive.
bool HasArchiveExtension(const std::string& name);

// The stored name of a file or folder (its real letter case; in disk mode the
// disk path), or nothing when it does not exist or the path is refused.
std::optional<std::string> ResolvePath(const std::string& path);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// One entry of a folder listing: its stored name (no folder part).
struct FolderEntry {
    std::string name;
    bool isFolder = false;
};

// The entries of a folder over every mount, one per name ignoring letter
// case (the one that wins), sorted by name ignoring letter case. Empty when
// the folder does not exist.
std::vector<FolderEntry> ListFolder(const std::string& folder);

// The files directly in folder the way the game lists them when it gathers
// files of every mount (its shader scripts): mount by mount in search order
// (the last mount first), each mount's files in its own order (an archive's
// in the order of its central directory, a folder's by name), each name
// (ignoring letter case) once, where it is met first; stored names without
// the folder part. In disk mode the folder's files by name.
std::vector<std::string> ListFilesByMount(const std::string& folder);

// Whole file. Throws EInOutError naming the path when it does not exist,
// is refused, cannot be read or is larger than kMaxFileBytes (checked before
// anything is allocated; an archive entry that ends before its stated
// length is a read error).
std::vector<uint8_t> ReadFileBytes(const std::string& path);

// Text lines of a file (CR LF, LF or CR ends a line); throws as ReadFileBytes.
std::vector<std::string> ReadTextLines(const std::string& path);

// Where a file's bytes come from, for messages: the archive's disk path, or
// the disk path of a loose file. Empty when no such file exists.
std::string SourceOf(const std::string& path);

// count bytes of a file at offset, to go to target.
struct FileRange {
    uint64_t offset;
    void* target;
    uint64_t count;
};

// A file opened for positioned reads, so that large files go straight into
// their arrays without a copy of the whole file in between.
class OpenedFile {
public:
    virtual ~OpenedFile() = default;
    virtual uint64_t Size() const = 0;
    // Reads count bytes at offset; throws EInOutError when they are not all there.
    virtual void ReadAt(uint64_t offset, void* target, uint64_t count) const = 0;
    // Reads every range, as ReadAt each would; a file on disk reads ranges
    // that lie one after another (or nearly) with one system call, scattering
    // the bytes to their targets. Throws as ReadAt.
    virtual void ReadRanges(std::span<const FileRange> ranges) const
    {
        for (const FileRange& range : ranges)
            ReadAt(range.offset, range.target, range.count);
    }
};

// Opens a file; throws as ReadFileBytes.
std::unique_ptr<OpenedFile> OpenFile(const std::string& path);

// Opens a file, or gives nullptr when there is no file at path (or the path
// is refused); throws as ReadFileBytes when it exists but cannot be read. On
// disk the path is opened as written first: a file named exactly costs one
// open, as a plain read of it does, and no look-up beforehand.
std::unique_ptr<OpenedFile> OpenFileIfExists(const std::string& path);

} // namespace platform::files
