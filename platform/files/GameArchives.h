#pragma once
// The archives of a game data folder and the order they are mounted in.
// Internal to the file layer.
#include <string>
#include <vector>

namespace platform::files::detail {

// One archive of a game data folder: a .pk3 file, or a .pk3dir folder that
// the game mounts as if it were an archive.
struct GameArchive {
    std::string name; // no folder part
    bool isFolder = false;
};

// True when archive a is mounted before archive b (b overrides a). Names are
// compared as the game compares them: ASCII letters as upper case, "\" and
// ":" as "/", every other byte as a signed char, as the game's x86 builds
// read it (so bytes from 0x80 up come before every ASCII byte). Names the
// game finds equal are ordered by their bytes, where the game's order is
// left to chance.
bool ArchiveMountedBefore(const std::string& a, const std::string& b);

// The archives directly in folder, in mount order: files (or links to them)
// whose names end in ".pk3" and folders (or links to them) whose names end in
// ".pk3dir", both in any letter case, sorted together. Throws EInOutError
// when the folder cannot be read.
// A name of an archive in a game data folder that is none: a pipe, a link to
// nothing or in a loop, a folder named as a file.
struct SkippedArchive {
    std::string name;
    std::string reason;
};
// Names that look like archives but are none go to skipped, when given.
std::vector<GameArchive> ArchivesOf(const std::string& folder, std::vector<SkippedArchive>* skipped = nullptr);

} // namespace platform::files::detail
