#pragma once
// What the game sees in a game data folder: the files of every .pk3 archive
// in it and the loose files below it, merged the way the game mounts them.
// Used to write the loose layout of the sample game and to check that both
// layouts give the same files.
#include <map>
#include <string>
#include <vector>

namespace samples {

struct GameFile {
    std::string path; // as stored, "/" separators, relative to the game root
    std::string bytes;
};

// The winning file of every game path, keyed by the path in lower case.
using GameTree = std::map<std::string, GameFile>;


// Puts the files of one mount over the tree: a file replaces any file of
// the same path in another letter case. Throws std::invalid_argument when
// two files of the mount have the same path ignoring case, as the game
// would pick one of them at random.
void mountOver(GameTree& tree, const std::vector<GameFile>& mount);

// The tree of a game root on disk: every *.pk3 in it (any letter case) in
// name order ignoring case, each over the earlier ones, then the loose files
// below it over every archive. Folder entries of archives are no files.
// Throws platform::EInOutError when the root or an archive cannot be read,
// std::invalid_argument as mountOver does.
GameTree resolveGameTree(const std::string& gameRoot);

} // namespace samples
