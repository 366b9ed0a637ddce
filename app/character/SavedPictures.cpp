#include "SavedPictures.h"

#include "platform/images/PngFile.h"
#include "platform/system/Errors.h"
#include "platform/system/System.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

constexpr const char* kPicturesKey = "XDG_PICTURES_DIR";
constexpr const char* kUserDirsFile = "user-dirs.dirs";
constexpr const char* kHomeVariable = "$HOME";
// Numbers tried before a folder counts as full of pictures of this name.
constexpr int kMostNumbers = 100000;

// A line 'XDG_PICTURES_DIR="$HOME/Pictures"' of user-dirs.dirs, as a path.
std::optional<std::string> picturesLine(const std::string& line)
{
    const std::string prefix = std::string(kPicturesKey) + "=";
    if (line.rfind(prefix, 0) != 0)
        return std::nullopt;
    std::string value = line.substr(prefix.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    const std::string home = kHomeVariable;
    if (value.rfind(home, 0) == 0) {
        const char* homeDir = std::getenv("HOME");
        if (!homeDir || homeDir[0] != '/')
            return std::nullopt;
        value = homeDir + value.substr(home.size());
    }
    return value.empty() || value[0] != '/' ? std::nullopt : std::optional<std::string>(value);
}

// The file for stem in folder under the first free number; "" when every
// number is taken.
std::string freeName(const std::string& folder, const std::string& stem)
{
    for (int n = 1; n <= kMostNumbers; ++n) {
        const std::string path = platform::IncludeTrailingPathDelimiter(folder) + stem + "-" + std::to_string(n) + ".png";
        std::error_code error;
        if (!fs::exists(path, error) && !error)
            return path;
    }
    return {};
}

} // namespace

std::optional<std::string> UserPicturesFolder()
{
    if (const char* env = std::getenv(kPicturesKey); env && env[0] == '/')
        return std::string(env);
    const std::string config = platform::UserConfigFolder();
    if (config.empty())
        return std::nullopt;
    std::ifstream dirs(config + kUserDirsFile);
    for (std::string line; std::getline(dirs, line);) {
        if (std::optional<std::string> folder = picturesLine(line))
            return folder;
    }
    return std::nullopt;
}

std::string SaveViewPicture(const std::string& stem, int width, int height, const std::vector<uint8_t>& rgb)
{
    std::vector<std::string> folders{platform::GetCurrentDir()};
    if (std::optional<std::string> pictures = UserPicturesFolder())
        folders.push_back(*pictures);
    std::string tried;
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        tried += (tried.empty() ? "" : ", ") + folder;
        const std::string path = freeName(folder, stem);
        if (path.empty())
            continue;
        try {
            platform::WritePng(path, width, height, rgb);
            return path;
        } catch (const platform::EInOutError&) {
            // Not writable: the next folder.
        }
    }
    throw platform::EInOutError("Cannot save the picture in " + (tried.empty() ? std::string("any folder") : tried));
}
