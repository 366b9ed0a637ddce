#pragma once
// Points the executable's path (and so the settings file) into a fresh
// temporary folder for the life of the object, and puts it back afterwards.
#include "support/TempDir.h"

#include "platform/system/System.h"

namespace testsupport {

class Sandbox {
public:
    Sandbox() { platform::SetModuleFileName(dir.file("Quillmo")); }
    ~Sandbox() { platform::SetModuleFileName(""); }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    std::string settingsPath() const { return dir.file("Quillmo.ini"); }
    std::string settingsText() const { return dir.read("Quillmo.ini"); }
    void writeSettings(const std::string& text) const { dir.write("Quillmo.ini", text); }

    TempDir dir;
};

} // namespace testsupport
