#include "GameArchives.h"

#include "FileLayer.h"

#include "platform/system/Errors.h"
#include "platform/system/System.h"

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

constexpr const char* kFolderArchiveExtension = ".pk3dir";

// One byte as the game weighs it when it orders archive names.
int gameWeight(char c)
{
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 'A';
    if (c == '\\' || c == ':')
        return '/';
    return static_cast<signed char>(c);
}

int compareAsGame(const std::string& a, const std::string& b)
{
    // The terminating NUL weighs 0, below every other byte but those from 0x80 up.
    for (size_t i = 0;; ++i) {
        const int wa = i < a.size() ? gameWeight(a[i]) : 0;
        const int wb = i < b.size() ? gameWeight(b[i]) : 0;
        if (wa != wb)
            return wa < wb ? -1 : 1;
        if (i >= a.size() || i >= b.size())
            return 0;
    }
}

bool isFolderArchive(const std::string& name)
{
    const size_t length = std::strlen(kFolderArchiveExtension);
    return name.size() > length && LowerCase(name.substr(name.size() - length)) == kFolderArchiveExtension;
}

} // namespace

bool ArchiveMountedBefore(const std::string& a, const std::string& b)
{
    const int order = compareAsGame(a, b);
    return order != 0 ? order < 0 : a < b;
}

std::vector<GameArchive> ArchivesOf(const std::string& folder, std::vector<SkippedArchive>* skipped)
{
    const auto skip = [&](const std::string& name, const std::string& reason) {
        if (skipped)
            skipped->push_back({name, reason});
    };
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        throw EInOutError("Cannot read the game data folder \"" + folder + "\". " + std::strerror(errno));
    std::vector<GameArchive> archives;
    while (const dirent* item = ::readdir(dir.get())) {
        const std::string name = item->d_name;
        const bool file = HasArchiveExtension(name), folderArchive = isFolderArchive(name);
        if (!file && !folderArchive)
            continue;
        // An archive linked into the folder is mounted like any other: it is
        // read as a zip file (or a folder) and only its own entries are handed out.
        struct stat info {};
        if (::stat((folder + "/" + name).c_str(), &info) != 0) {
            const int why = errno;
            skip(name, why == ELOOP    ? "a link that leads round in a loop"
                       : why == ENOENT ? "a link to nothing"
                                       : std::strerror(why));
            continue;
        }
        if ((file && S_ISREG(info.st_mode)) || (folderArchive && S_ISDIR(info.st_mode)))
            archives.push_back({name, folderArchive});
        else if (S_ISDIR(info.st_mode))
            skip(name, "a folder, not a file");
        else if (file)
            skip(name, S_ISFIFO(info.st_mode) ? "a pipe, not a file" : "not a regular file");
        else
            skip(name, "a file, not a folder");
    }
    std::sort(archives.begin(), archives.end(),
              [](const GameArchive& a, const GameArchive& b) { return ArchiveMountedBefore(a.name, b.name); });
    return archives;
}

} // namespace platform::files::detail
