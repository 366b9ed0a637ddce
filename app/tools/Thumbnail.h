#pragma once
// Thumbnails for file managers: a square picture of a character or a part,
// drawn without a window and without a display.
//
//   Quillmo --thumbnail INPUT OUTPUT.png [--thumbnail-size N] [--torso NAME] [--legs NAME]
//
// INPUT is a path or a file:// URI (percent-encoded, as file managers pass
// it): an .md3 file shows the whole character with its default skin when its
// folder holds lower.md3, upper.md3 and head.md3 (any letter case), else
// that part alone, textured from its shader names; a .pk3 shows its first
// character; a character folder that character; a character stands in its
// standing pose or the first frame of the animations --torso and --legs
// name. OUTPUT is N x N pixels
// (default 256) on the viewer's dark background, without a label.
//
// Images are decoded no larger than the picture (UseDecodedImageSide), and
// the image memory is at most 128 MB.
//
// Exit status: 0 when the picture was written, also after a load problem
// (file managers drop the pictures of thumbnailers that end otherwise); 1
// when nothing could be drawn; 2 when the picture cannot be written or
// flushed. In both failures no OUTPUT is left behind.
#include "app/common/CommandLine.h"

#include <string>

// Writes the thumbnail the options ask for; returns the exit status. Writes
// its errors to standard error; throws nothing.
int RunThumbnail(const CommandLine& options);

// The path a thumbnail's INPUT names: a file:// URI (with no host, or
// "localhost" or this machine's name) percent-decoded; anything else as it
// is. Throws std::invalid_argument for a URI of another machine's file.
std::string ThumbnailInputPath(const std::string& input);
