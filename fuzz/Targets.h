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
};

// Every target, in a fixed order.
std::span<const Target> Targets();

// The target of that name, or nullptr.
const Target* FindTarget(std::string_view name);

} // namespace fuzz
