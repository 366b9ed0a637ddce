#pragma once
// The entry points of the binary readers (Targets.h): MD3 models and the
// image decoders.
#include "Targets.h"

namespace fuzz {

// An MD3 model from memory and from a file of the same bytes: the same part
// or the same error; a rejected model leaves the part as it was, an accepted
// one has the arrays its header gives.
void RunMd3Input(Input bytes);

// Bitmaps, Targa images under both sets of rules, JPEG and PNG: a decoded
// image has a supported size and one pixel per texel, a failed one none.
void RunBitmapInput(Input bytes);
void RunTargaInput(Input bytes);
void RunJpegInput(Input bytes);
void RunPngInput(Input bytes);

// A glTF character imported: a file it cannot take is an error, never a
// crash; every file made lies inside the folder it goes to, and each part
// reads back as the MD3 it was made as.
void RunImportInput(Input bytes);

} // namespace fuzz
