#pragma once
// Entry points that hand the bytes of one input to one of the program's
// readers, shared by the libFuzzer executables and the replay runner. Each
// reads the bytes as the program reads a file, accepts the errors the reader
// documents, and aborts with a message when the reader breaks a promise of
// its own: a part changed by a rejected model file, pixels that do not match
// the decoded size, settings that do not read back as they were saved.
#include <cstdint>
#include <span>
#include <string_view>

namespace fuzz {

using Input = std::span<const uint8_t>;

struct Target {
    const char* name; // also the folder of its inputs below corpus/ and regressions/
    void (*run)(Input bytes);
    bool drawn = false; // draws with OpenGL, whose drivers keep memory for the process's life
};

// The checker's input is a character folder: these files in this order,
// separated by kCheckerSeparator. An empty or missing piece is a file the
// folder does not have.
inline constexpr std::string_view kCheckerSeparator = "\n==next file==\n";
inline constexpr const char* kCheckerFiles[] = {
    "lower.md3", "upper.md3", "head.md3", "lower_default.skin", "upper_default.skin", "head_default.skin",
    "animation.cfg"};

// Every target, in a fixed order.
std::span<const Target> Targets();

// The target of that name, or nullptr.
const Target* FindTarget(std::string_view name);

} // namespace fuzz
