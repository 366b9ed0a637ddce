#include "IniFile.h"

#include "Errors.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Links followed before a save gives up, as many as the system itself follows.
constexpr int kMaxLinkHops = 40;
// Read, write and execute for owner, group and others; set-id bits are not
// carried over to a file the saving user now owns.
constexpr mode_t kAccessBits = 0777;
constexpr mode_t kNewFileMode = 0644;

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool sameText(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && ::strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The section name of a header line "[name]", or nothing for any other line.
// A "[" without a closing "]" is not a header.
std::optional<std::string> headerName(const std::string& line)
{
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line[b] != '[')
        return std::nullopt;
    size_t e = line.find(']', b + 1);
    if (e == std::string::npos)
        return std::nullopt;
    return trim(line.substr(b + 1, e - b - 1));
}

// The key of a "key=value" line; comment lines and lines without "=" have none.
std::optional<std::string> keyName(const std::string& line)
{
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line[b] == ';')
        return std::nullopt;
    size_t eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    return trim(line.substr(0, eq));
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Flushes the folder entry of a file just renamed into place, so that after
// a power loss the folder names the new file and not the old one. The file
// itself is complete either way, so a failure here is no write failure.
void syncFolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// Follows symbolic links from path to the file they finally name (which need
// not exist yet), so that a save replaces the linked file and the link stays.
// A relative link target counts from the link's own folder. Nothing when the
// chain is longer than the system would follow or a link cannot be read.
std::optional<std::string> followLinks(std::string path)
{
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(static_cast<size_t>(PATH_MAX), '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size())
            return std::nullopt;
        target.resize(static_cast<size_t>(n));
        if (target[0] != '/') {
            const size_t slash = path.rfind('/');
            target = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + target;
        }
        path = std::move(target);
    }
    return std::nullopt;
}

// Permission bits for the file that replaces path: those of the file it
// replaces, so a private settings file stays private; for a new file the
// usual 0644 less the process's umask. umask can only be read by setting it,
// so it is put straight back (the program runs its saves on one thread).
mode_t modeFor(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & kAccessBits;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return kNewFileMode & ~mask;
}

} // namespace

IniFile::IniFile(std::string path) : path_(std::move(path))
{
    std::ifstream in(path_, std::ios::binary);
    if (in)
        readLines(in);
}

IniFile::IniFile(std::string path, std::string_view text) : path_(std::move(path))
{
    std::istringstream in{std::string(text)};
    readLines(in);
}

void IniFile::readLines(std::istream& in)
{
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back(std::move(line));
    }
}

std::optional<size_t> IniFile::findSection(const std::string& section) const
{
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = headerName(lines_[i]); name && sameText(*name, section))
            return i;
    }
    return std::nullopt;
}

size_t IniFile::sectionEnd(size_t headerLine) const
{
    size_t i = headerLine + 1;
    while (i < lines_.size() && !headerName(lines_[i]))
        ++i;
    return i;
}

std::optional<size_t> IniFile::findKey(const std::string& section, const std::string& key) const
{
    auto header = findSection(section);
    if (!header)
        return std::nullopt;
    size_t end = sectionEnd(*header);
    for (size_t i = *header + 1; i < end; ++i) {
        if (auto name = keyName(lines_[i]); name && sameText(*name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(const std::string& section, const std::string& key) const
{
    auto line = findKey(section, key);
    if (!line)
        return std::nullopt;
    const std::string& text = lines_[*line];
    return trim(text.substr(text.find('=') + 1));
}

bool IniFile::SectionExists(const std::string& section) const { return findSection(section).has_value(); }

bool IniFile::ValueExists(const std::string& section, const std::string& key) const
{
    return findKey(section, key).has_value();
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback) const
{
    return value(section, key).value_or(fallback);
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const
{
    auto text = value(section, key);
    return text ? StrToIntDef(*text, fallback) : fallback;
}

double IniFile::ReadFloat(const std::string& section, const std::string& key, double fallback) const
{
    auto text = value(section, key);
    if (!text || text->empty())
        return fallback;
    const char* first = text->data();
    const char* last = first + text->size();
    if (*first == '+')
        ++first;
    double result = 0;
    auto [ptr, ec] = std::from_chars(first, last, result);
    if (ec != std::errc() || ptr != last)
        return fallback;
    return result;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::optional<std::vector<uint8_t>> IniFile::ReadBinary(const std::string& section, const std::string& key) const
{
    auto text = value(section, key);
    if (!text || text->size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes(text->size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        int hi = hexDigit((*text)[2 * i]);
        int lo = hexDigit((*text)[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return bytes;
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& text)
{
    std::string line = key + "=" + text;
    if (auto found = findKey(section, key)) {
        if (lines_[*found] != line) {
            lines_[*found] = line;
            dirty_ = true;
        }
        return;
    }
    dirty_ = true;
    if (auto header = findSection(section)) {
        // After the section's last non-blank line, so blank separators stay last.
        size_t at = sectionEnd(*header);
        while (at > *header + 1 && trim(lines_[at - 1]).empty())
            --at;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
        return;
    }
    if (!lines_.empty() && !trim(lines_.back()).empty())
        lines_.emplace_back();
    lines_.push_back("[" + section + "]");
    lines_.push_back(line);
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int32_t number)
{
    WriteString(section, key, std::to_string(number));
}

std::string IniFile::FloatToStr(double number)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", number);
    return buf;
}

void IniFile::WriteFloat(const std::string& section, const std::string& key, double number)
{
    WriteString(section, key, FloatToStr(number));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool flag)
{
    WriteString(section, key, flag ? "1" : "0");
}

std::string IniFile::BytesToHex(const void* data, size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string text(size * 2, '0');
    for (size_t i = 0; i < size; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 15];
    }
    return text;
}

void IniFile::WriteBinary(const std::string& section, const std::string& key, const void* data, size_t size)
{
    WriteString(section, key, BytesToHex(data, size));
}

void IniFile::DeleteKey(const std::string& section, const std::string& key)
{
    if (auto found = findKey(section, key)) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*found));
        dirty_ = true;
    }
}

void IniFile::UpdateFile()
{
    if (!dirty_ && ::access(path_.c_str(), F_OK) == 0)
        return;
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += '\n';
    }
    const EInOutError failure("Unable to write to " + path_);
    // The temporary file goes beside the file that is finally replaced: a
    // rename works only within one file system, and renaming over a link
    // would replace the link by a plain file and leave its target stale.
    const std::optional<std::string> target = followLinks(path_);
    if (!target)
        throw failure;
    std::string tmp = *target + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        throw failure;
    if (::fchmod(fd, modeFor(*target)) != 0) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw failure;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    bool ok = done == text.size() && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(tmp.c_str(), target->c_str()) != 0) {
        ::unlink(tmp.c_str());
        throw failure;
    }
    syncFolderOf(*target);
    dirty_ = false;
}

bool ReadBinaryRecord(const IniFile& ini, const std::string& section, const std::string& key, void* dst,
                      size_t size)
{
    auto bytes = ini.ReadBinary(section, key);
    if (!bytes || bytes->size() < size)
        return false;
    std::memcpy(dst, bytes->data(), size);
    return true;
}

} // namespace platform
