#include "tools/samples/GameTree.h"

#include "platform/system/Errors.h"
#include "platform/files/FileLayer.h"
#include "platform/system/System.h"
#include "tools/writers/ZipArchive.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace samples {

namespace fs = std::filesystem;

namespace {

using platform::LowerCase;

bool isArchive(const fs::path& file) { return platform::files::HasArchiveExtension(file.filename().string()); }

std::string readDiskFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in)
        throw platform::EInOutError("Cannot read " + file.string());
    return bytes.str();
}

std::vector<GameFile> archiveFiles(const fs::path& archive)
{
    std::vector<GameFile> files;
    for (auto& entry : writers::readZip(archive.string()))
        if (entry.name.back() != '/')
            files.push_back({std::move(entry.name), std::move(entry.bytes)});
    return files;
}

// The loose files below root, without the archives at its top, which the
// game mounts rather than shows.
std::vector<GameFile> looseFiles(const fs::path& root)
{
    std::vector<fs::path> paths;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_regular_file() && !(it.depth() == 0 && isArchive(it->path())))
            paths.push_back(it->path());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<GameFile> files;
    for (const auto& path : paths)
        files.push_back({fs::relative(path, root).generic_string(), readDiskFile(path)});
    return files;
}

} // namespace


void mountOver(GameTree& tree, const std::vector<GameFile>& mount)
{
    std::set<std::string> seen;
    for (const auto& file : mount) {
        const std::string key = LowerCase(file.path);
        if (!seen.insert(key).second)
            throw std::invalid_argument("two files of one mount are both " + key);
        tree[key] = file;
    }
}

GameTree resolveGameTree(const std::string& gameRoot)
{
    const fs::path root(gameRoot);
    std::error_code ec;
    if (!fs::is_directory(root, ec))
        throw platform::EInOutError("No game data folder at " + gameRoot);
    std::vector<fs::path> archives;
    for (const auto& entry : fs::directory_iterator(root))
        if (entry.is_regular_file() && isArchive(entry.path()))
            archives.push_back(entry.path());
    std::sort(archives.begin(), archives.end(), [](const fs::path& a, const fs::path& b) {
        return LowerCase(a.filename().string()) < LowerCase(b.filename().string());
    });
    GameTree tree;
    for (const auto& archive : archives)
        mountOver(tree, archiveFiles(archive));
    mountOver(tree, looseFiles(root));
    return tree;
}

} // namespace samples
