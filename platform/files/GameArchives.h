#pragma once
// The archives of a game data folder and the order they are mounted in.
// Internal to the file layer.
#include <string>
#include <vector>

namespace platform::files::detail {

// True when archive a is mounted before archive b (b overrides a).
bool ArchiveMountedBefore(const std::string& a, const std::string& b);

// The names (no folder part) of the archives directly in folder: regular
// files, or links to them, whose names end in ".pk3" in any letter case, in
// mount order. Throws EInOutError when the folder cannot be read.
std::vector<std::string> ArchivesOf(const std::string& folder);

} // namespace platform::files::detail
