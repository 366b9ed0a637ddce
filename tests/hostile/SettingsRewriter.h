#pragma once
// The settings file that settings_rewriter saves over and over, generation
// after generation, and the checks that a copy of it is one whole generation
// of each writer. Per generation the rewriter saves the filler sections
// through IniFile, then the lighter and then the manager through their
// components' own save, so that at any moment the file holds filler g and
// components of g or g - 1.
#include "platform/system/IniFile.h"

#include <string>

namespace hostile {

constexpr int kFillerSections = 20;
constexpr int kFillerKeys = 20;
constexpr const char* kGenerationSection = "Generation";
constexpr const char* kGenerationKey = "Filler";

inline std::string fillerSection(int s) { return "Filler" + std::to_string(s); }
inline std::string fillerKey(int k) { return "Key" + std::to_string(k); }

// About 400 bytes per value: the file is some 170 KB, so a save takes long
// enough to be interrupted.
inline std::string fillerValue(int generation, int s, int k)
{
    return std::to_string(generation) + ":" + std::string(400, static_cast<char>('a' + (s * 7 + k) % 26));
}

} // namespace hostile
