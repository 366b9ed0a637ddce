#pragma once
// The entry points of the text readers (Targets.h): skin files, animation
// files, shader scripts and the settings file.
#include "Targets.h"

namespace fuzz {

// A skin file read line by line, as the Model/ tree reads it.
void RunSkinInput(Input bytes);

// An animation file as the viewer reads it, every animation played.
void RunAnimationInput(Input bytes);

// An animation file as the game reads it, every animation played by the
// game's clock.
void RunGameAnimationInput(Input bytes);

// A shader script read into the table twice and as a later file, every
// definition compiled into a shader GL can take.
void RunShaderInput(Input bytes);

// The settings file read by the components and saved back: it reads back
// as it was saved.
void RunSettingsInput(Input bytes);

} // namespace fuzz
