#pragma once
// The entry points of the tools that draw: a character input (Targets.h)
// exported as glTF, and recorded as an animated picture, each through the
// tool's own run as the command line starts it.
#include "Targets.h"

namespace fuzz {

// --export FILE.glb --all-skins: the file is written exactly when the exit
// status says so, and is a whole glTF by GlbProblem (app/export/GltfCheck.h).
void RunExportInput(Input bytes);

// --record FILE.gif or FILE.webp (by the input's length) of a few tiny
// pictures: a file is left exactly when the exit status says one was
// written, and it begins as its format does.
void RunRecordInput(Input bytes);

} // namespace fuzz
