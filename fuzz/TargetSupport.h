#pragma once
// What the entry points share: a broken promise as a finding, a scratch
// folder for the files readers take from disk, the pieces of a character
// input, and game data mounted for the length of one input.
#include "Targets.h"

#include "platform/files/FileLayer.h"

#include <string>
#include <string_view>
#include <vector>

namespace fuzz::support {

// A broken promise is a finding: says which, and aborts so that the fuzzer
// keeps the input and the replay fails.
void check(bool holds, const char* promise);

std::string textOf(Input bytes);

// A folder for the files the readers read from disk: memory backed where
// possible, since every input is written and read a few times over.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return folder_ + "/" + name; }
    void write(const std::string& name, Input bytes) const;

private:
    std::string folder_;
};

// The one scratch folder of the process, removed at exit.
const ScratchFolder& scratch();

// The pieces of a character input, one per file of kCheckerFiles.
std::vector<std::string_view> checkerPieces(std::string_view text);

// Writes the pieces of a character input into the scratch folder's
// subfolder folder (made empty first), each under its name in kCheckerFiles;
// returns whether a skin was among them.
bool writeCharacterFiles(const std::string& folder, Input bytes);

// Game data mounted for one input; the other targets read disk paths again
// once it is over.
class MountedFolder {
public:
    explicit MountedFolder(const std::string& folder) { platform::files::MountGameRoot(folder); }
    ~MountedFolder() { platform::files::MountDisk(); }
    MountedFolder(const MountedFolder&) = delete;
    MountedFolder& operator=(const MountedFolder&) = delete;
};

} // namespace fuzz::support
