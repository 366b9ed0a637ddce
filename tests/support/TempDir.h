#pragma once
// A fresh temporary folder, removed with everything in it at the end of the
// test. Tests write their files (models, images, settings) there.
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, ending in "/".
    const std::string& path() const { return path_; }
    // path() + name.
    std::string file(const std::string& name) const { return path_ + name; }
    // Writes bytes or text to path() + name, creating folders on the way.
    void write(const std::string& name, const std::string& bytes) const;
    // Contents of path() + name, or "" when it does not exist.
    std::string read(const std::string& name) const;

private:
    std::string path_;
};

} // namespace testsupport
