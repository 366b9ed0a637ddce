#pragma once
// --surfaces: what the game makes of each surface of one character and its
// weapon, as text for a person or JSON for a program (SurfaceReport.h).
#include "SurfaceReport.h"

#include "app/common/CommandLine.h"

#include <string>

// The report as text: a block for each surface lookup, its stages indented
// below it, then the files the game does not find and the images read.
std::string SurfacesText(const SurfaceReport& report);

// The report as one JSON object (documented in the README).
std::string SurfacesJson(const SurfaceReport& report);

// The run: exit 0 when the game makes every surface as written, 1 when it
// defaults, replaces or leaves out one, a file of the character is missing
// or cannot be read, 2 when it cannot run or write the report.
int RunSurfaces(const CommandLine& options);
