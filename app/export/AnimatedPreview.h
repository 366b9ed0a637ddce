#pragma once
// An animated picture of a character playing, for pages and messages where a
// model cannot be shown: drawn without a window as the contact sheet draws.
//
//   Quillmo --record FILE.webp|FILE.gif [--animation NAME] [--seconds S] [--turntable] [--size WxH]
//   (character mode's options choose the character, skin and weapon)
//
// The character plays NAME (on the parts it plays on; the other part stands)
// or the animations --torso and --legs name, by default its standing pair
// (TORSO_STAND, LEGS_IDLE), from their first frames for S seconds (default
// kDefaultRecordSeconds) at kRecordFramesPerSecond pictures a second; with
// --turntable it turns once round about the vertical meanwhile. Every picture
// is framed alike, so the character never jumps. WebP: lossy; GIF: one
// palette for all pictures. Both loop for ever.
//
// Exit status (see the README's table): 0 written; 1 written after a load
// problem, or nothing to draw (no file); 2 the character cannot be found or
// the file cannot be written.
#include "app/common/CommandLine.h"

#include <utility>

inline constexpr int kRecordFramesPerSecond = 25;
inline constexpr double kDefaultRecordSeconds = 3;
inline constexpr std::pair<int, int> kDefaultRecordSize{320, 400};

// The run of --record; returns the exit status. Writes its errors to
// standard error; throws nothing.
int RunRecord(const CommandLine& options);
