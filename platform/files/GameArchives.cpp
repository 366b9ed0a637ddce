#include "GameArchives.h"

#include "FileLayer.h"
#include "GameMounts.h"

#include "platform/system/Errors.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace platform::files::detail {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

bool ArchiveMountedBefore(const std::string& a, const std::string& b) { return lessIgnoringCase(a, b); }

std::vector<std::string> ArchivesOf(const std::string& folder)
{
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        throw EInOutError("Cannot read the game data folder \"" + folder + "\". " + std::strerror(errno));
    std::vector<std::string> archives;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string name = item->d_name;
        // An archive linked into the folder is mounted like any other: it is
        // read as a zip file and only its own entries are handed out.
        struct stat info {};
        if (HasArchiveExtension(name) && ::stat((folder + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
            archives.push_back(name);
    }
    std::sort(archives.begin(), archives.end(), ArchiveMountedBefore);
    return archives;
}

} // namespace platform::files::detail
