#pragma once
// Settings files in the private-profile (INI) format: "[Section]" lines, each
// followed by "key=value" lines. Sections and keys match without regard to
// letter case. The whole file is read when the object is made; writes change
// the lines in memory and UpdateFile replaces the file atomically (a temporary
// file, flushed to disk, then renamed over the old one), so an interrupted
// save leaves either the old or the new file, never half of one. Every line
// the program does not change survives a save as it was, and so do the file's
// permission bits; when the path is a symbolic link, the file it leads to is
// replaced and the link stays a link.
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniFile {
public:
    // Reads path; a missing or unreadable file reads as empty.
    explicit IniFile(std::string path);
    // Takes text as the content of path, which is not read; UpdateFile writes
    // to path as usual.
    IniFile(std::string path, std::string_view text);

    const std::string& FileName() const { return path_; }

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;

    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
    // Decimal (or "$"/"0x" hexadecimal) integer; fallback when missing or unreadable.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;
    // Decimal number with "." as separator; fallback when missing or unreadable.
    double ReadFloat(const std::string& section, const std::string& key, double fallback) const;
    // "1"/"0" (any non-zero integer is true); fallback when missing or unreadable.
    bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;
    // Hexadecimal text, two digits per byte (either case). Nothing when the key
    // is missing, the text has an odd length or holds a non-hexadecimal digit.
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& section, const std::string& key) const;

    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    // Written as the run-time's float-to-text conversion does: up to 15
    // significant digits, "20" for 20.0, "." as separator.
    void WriteFloat(const std::string& section, const std::string& key, double value);
    void WriteBool(const std::string& section, const std::string& key, bool value);
    // Two upper-case hexadecimal digits per byte, in memory order.
    void WriteBinary(const std::string& section, const std::string& key, const void* data, size_t size);
    void DeleteKey(const std::string& section, const std::string& key);

    // Writes the file if anything changed (through symbolic links; a new file
    // gets 0644 less the umask); throws EInOutError "Unable to write to
    // <path>" when it cannot be written.
    void UpdateFile();

    // Text forms used above, shared with callers that format values themselves.
    static std::string FloatToStr(double value);
    static std::string BytesToHex(const void* data, size_t size);

private:
    struct Found {
        size_t line;
        bool ok;
    };
    std::optional<size_t> findSection(const std::string& section) const;
    std::optional<size_t> findKey(const std::string& section, const std::string& key) const;
    size_t sectionEnd(size_t headerLine) const;
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    void readLines(std::istream& in);

    std::string path_;
    std::vector<std::string> lines_;
    bool dirty_ = false;
};

// Copies a stored binary record into dst. A value holding at least size bytes
// fills the record from its first size bytes; a missing, malformed or shorter
// value leaves dst as it was. Returns whether dst was filled.
bool ReadBinaryRecord(const IniFile& ini, const std::string& section, const std::string& key, void* dst,
                      size_t size);

} // namespace platform
