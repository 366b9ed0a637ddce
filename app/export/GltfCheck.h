#pragma once
// What is wrong with a binary glTF (.glb) as the export writes them, for the
// fuzz target of the export and for the tests: a file the glTF reader
// refuses, a buffer view outside its buffer, an accessor outside its view,
// a float accessor holding a value that is no finite number.
#include <string>
#include <string_view>

// The first problem found, or "" for a whole file.
std::string GlbProblem(std::string_view bytes);
