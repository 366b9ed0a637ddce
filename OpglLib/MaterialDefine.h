#pragma once
// The program's fixed table of named materials, built once at start.
#include "OpglMaterial.h"

#include <array>
#include <cstddef>
#include <string>

inline constexpr size_t kMaterialCount = 22;

// Names in table order; empty before the unit starts and after it ends.
extern std::array<std::string, kMaterialCount> MaterialNames;
// Entry i is named MaterialNames[i]; zeroed records before the unit starts,
// nameless ones after it ends.
extern std::array<TGLMaterial, kMaterialCount> MaterialTable;

// Fills both tables through the materialer (made for the time being if it
// does not exist yet).
void MaterialDefineInitialization();
// Releases the names and the records' names.
void MaterialDefineFinalization();
