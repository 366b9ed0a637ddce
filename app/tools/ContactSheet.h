#pragma once
// The contact sheet: one PNG with a grid of cells, one per character of a
// game root (or per character named), or per character and skin, in name
// order, each character standing framed in its cell with its name below it.
// It runs without a window and never blocks on a message box.
//
//   Quillmo --contact-sheet FILE.png [--game-root DIR|PK3] [NAME|DIR ...]
//           [--all-skins] [--cell WxH] [--columns N] [--torso NAME] [--legs NAME]
//
// Each character stands in the first frame of TORSO_STAND and LEGS_IDLE, or
// of the animations --torso and --legs name.
// The sheet is columns x cell width wide, whatever the number of cells, and
// as many rows of cells high as they fill; cells left over stay background.
// A cell is labelled NAME, or NAME/SKIN with --all-skins. A character that
// cannot be loaded gets a cell with a red cross and the error, and a line
// "Quillmo: LABEL: TEXT" on standard error; the sheet is still written.
// Progress goes to standard error, "[k/N] NAME/SKIN" a line per cell, or one
// line rewritten in place when standard error is a terminal.
//
// Images are decoded no larger than a cell (UseDecodedImageSide).
//
// Exit status: 0 when the sheet was written whole; 1 when it was written but
// a character could not be drawn or a load problem was met (a message about
// one of its files); 2 when it cannot be made: no characters to draw, a sheet
// too large, an output folder that does not exist (exactly as written) or
// cannot be written (checked before anything is drawn), no GL context, or a
// sheet that cannot be written or flushed.
#include "app/common/CommandLine.h"

// Makes the contact sheet the options ask for; returns the exit status.
// Writes its errors and progress to standard error; throws nothing.
int RunContactSheet(const CommandLine& options);
