#include "System.h"

#include <algorithm>
#include <cctype>

#include "Errors.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
#include <filesystem>

namespace platform {

namespace fs = std::filesystem;

namespace {

bool manualClock = false;
uint32_t manualTicks = 0;
std::string moduleOverride;
std::optional<bool> debuggerOverride;
ScreenSize desktop{1024, 768};

bool statIs(const std::string& path, mode_t type)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == type;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Finds an entry of folder whose name equals name ignoring ASCII case.
std::string findIgnoringCase(const std::string& folder, const std::string& name)
{
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    std::string found;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

uint32_t GetTickCount()
{
    if (manualClock)
        return manualTicks;
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}

void UseManualClock(uint32_t startMs)
{
    manualClock = true;
    manualTicks = startMs;
}

void AdvanceTickCount(uint32_t ms) { manualTicks += ms; }
void UseWallClock() { manualClock = false; }

std::string ModuleFileName()
{
    if (!moduleOverride.empty())
        return moduleOverride;
    std::error_code ec;
    auto path = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("Quillmo") : path.string();
}

void SetModuleFileName(const std::string& path) { moduleOverride = path; }

std::optional<std::string> MachineName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return std::nullopt;
    return std::string(name);
}

std::optional<std::string> UserName()
{
    if (passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name && *pw->pw_name)
        return std::string(pw->pw_name);
    if (const char* login = ::getlogin(); login && *login)
        return std::string(login);
    return std::nullopt;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void WriteStandardOutput(std::string_view text)
{
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout)) {
        const int reason = errno;
        std::clearerr(stdout);
        throw EInOutError(std::string("Cannot write to standard output: ") +
                          (reason != 0 ? std::strerror(reason) : "write error"));
    }
}

bool IsDebuggerPresent()
{
    if (debuggerOverride)
        return *debuggerOverride;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0)
            return StrToIntDef(line.substr(10), 0) != 0;
    }
    return false;
}

void SetDebuggerOverride(std::optional<bool> present) { debuggerOverride = present; }

ScreenSize DesktopSize() { return desktop; }
void SetDesktopSize(ScreenSize size) { desktop = size; }

std::string ResolvePath(const std::string& path)
{
    if (path.empty())
        return {};
    if (exists(path))
        return path;
    // Walk the path folder by folder, taking each part as it is when it
    // exists and otherwise the first entry whose name differs only in case.
    std::string resolved = path[0] == '/' ? "/" : "";
    size_t pos = path[0] == '/' ? 1 : 0;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        std::string part = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (!part.empty()) {
            std::string candidate = resolved + part;
            if (!exists(candidate) && part != "." && part != "..") {
                std::string match = findIgnoringCase(resolved, part);
                if (match.empty())
                    return {};
                candidate = resolved + match;
            }
            resolved = candidate;
        }
        if (slash == std::string::npos)
            break;
        resolved += '/';
        pos = slash + 1;
    }
    return exists(resolved) ? resolved : std::string();
}

bool FileExists(const std::string& path)
{
    std::string found = ResolvePath(path);
    return !found.empty() && statIs(found, S_IFREG);
}

bool FileExistsExactly(const std::string& path) { return statIs(path, S_IFREG); }

bool DirectoryExists(const std::string& path)
{
    std::string found = ResolvePath(path);
    return !found.empty() && statIs(found, S_IFDIR);
}

bool ForceDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code ec;
    fs::create_directories(path, ec);
    return statIs(path, S_IFDIR);
}

bool FolderRefusesWrites(const std::string& folder)
{
    // access() asks with the real user's rights, which are the ones a save
    // runs with; only a refusal counts, so a folder that is missing or
    // unreadable for another reason keeps the file where it was named.
    if (::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0)
        return false;
    return errno == EACCES || errno == EROFS || errno == EPERM;
}

std::string UserConfigFolder()
{
    // The base directory rule: a relative $XDG_CONFIG_HOME is invalid and ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return IncludeTrailingPathDelimiter(config);
    std::string home;
    if (const char* env = std::getenv("HOME"); env && env[0] == '/')
        home = env;
    else if (passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        home = pw->pw_dir;
    if (home.empty())
        return {};
    return IncludeTrailingPathDelimiter(home) + ".config/";
}

bool CopyFile(const std::string& from, const std::string& to, bool failIfExists)
{
    std::error_code ec;
    auto options = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
    return fs::copy_file(from, to, options, ec) && !ec;
}

std::string GetCurrentDir()
{
    std::error_code ec;
    auto cwd = fs::current_path(ec);
    return ec ? std::string() : cwd.string();
}

bool SetCurrentDir(const std::string& path) { return ::chdir(path.c_str()) == 0; }

std::string ExpandFileName(const std::string& path)
{
    fs::path p(path);
    if (p.is_relative())
        p = fs::path(GetCurrentDir()) / p;
    std::string out = p.lexically_normal().string();
    bool wantsSlash = !path.empty() && path.back() == '/';
    if (wantsSlash && (out.empty() || out.back() != '/'))
        out += '/';
    if (!wantsSlash && out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    const std::string lowerA = LowerCase(a), lowerB = LowerCase(b);
    return lowerA != lowerB ? lowerA < lowerB : a < b;
}

std::string UpperCase(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string ExtractFilePath(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ext;
    return path.substr(0, dot) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (!path.empty() && path.back() == '/')
        return path;
    return path + '/';
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EInOutError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0)
        throw EInOutError("Cannot read file \"" + path + "\"");
    in.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size))
        throw EInOutError("Read beyond end of file \"" + path + "\"");
    return bytes;
}

void CheckPlaceForNewFile(const std::string& path)
{
    // The device folder holds devices, made by the system: writing to one
    // that is there is the caller's choice, a new file in it a mistake.
    // Folders mounted below it for files of their own (/dev/shm) are not it.
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        const std::filesystem::path folder =
            std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error).parent_path();
        const std::string under = folder.generic_string() + "/";
        struct stat devices {}, place {};
        const bool onDevices = ::stat("/dev", &devices) != 0 || ::stat(folder.c_str(), &place) != 0 ||
                               place.st_dev == devices.st_dev;
        if (under.rfind("/dev/", 0) == 0 && onDevices)
            throw EInOutError("Unable to write to " + path + ": a path under /dev is no place for a new file");
    }
}

void WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes)
{
    const std::string failure = "Unable to write to " + path;
    CheckPlaceForNewFile(path);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        throw EInOutError(failure + ": " + std::strerror(errno));
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool flushed = std::fflush(file) == 0;
    const int reason = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed) {
        const int why = reason != 0 ? reason : errno;
        throw EInOutError(failure + ": " + (why != 0 ? std::strerror(why) : "write error"));
    }
}

std::vector<std::string> ReadTextLines(const std::string& path) { return SplitTextLines(ReadFileBytes(path)); }

std::vector<std::string> SplitTextLines(std::span<const uint8_t> bytes)
{
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = static_cast<char>(bytes[i]);
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

} // namespace platform
