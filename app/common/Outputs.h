#pragma once
// How the runs without a window end: what their exit statuses mean and how
// their outputs (reports, pictures, exports) are written, so that every
// such run tells the truth in the same way.
#include <functional>

// Exit statuses of the runs without a window (the checker, contact sheets,
// thumbnails, scripted pictures):
inline constexpr int kExitDone = 0;      // done, and nothing was wrong
inline constexpr int kExitProblems = 1;  // done, but something was wrong: errors found, a picture
                                         // drawn after a load problem, nothing that could be drawn
inline constexpr int kExitCannotRun = 2; // could not run (bad options, nothing to work on), or its
                                         // output could not be written or flushed

// Writes a run's output with write (a file, or standard output through
// platform::WriteStandardOutput) and returns status; when write throws
// platform::EInOutError, its message goes to standard error as
// "Quillmo: MESSAGE" and the status is kExitCannotRun.
int FinishOutput(int status, const std::function<void()>& write);
