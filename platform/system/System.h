#pragma once
// System services the program relies on: the millisecond tick count, the
// executable's path, the user name, file copies and look-ups, the debugger
// flag and the desktop size.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t GetTickCount();
// Replaces the wall clock by a manual one starting at startMs (for reproducible
// pictures and tests); AdvanceTickCount moves it. UseWallClock goes back.
void UseManualClock(uint32_t startMs);
void AdvanceTickCount(uint32_t ms);
void UseWallClock();

// Full path of the running executable. Tests point it elsewhere so that the
// settings file lands in a temporary folder.
std::string ModuleFileName();
void SetModuleFileName(const std::string& path);

// Name of the logged-on user, or nothing when it cannot be found.
std::optional<std::string> UserName();
// This machine's host name, or nothing when the system does not say.
std::optional<std::string> MachineName();

// True when a debugger traces the process (/proc/self/status shows a tracer).
// Tests can force the answer.
bool IsDebuggerPresent();
void SetDebuggerOverride(std::optional<bool> present);

// True when standard error goes to a terminal (where progress can be one
// line rewritten in place) rather than to a file or a pipe.
bool StandardErrorIsTerminal();

// Writes text to standard output and flushes it; throws EInOutError ("Cannot
// write to standard output: REASON") when it is not all written, so that a
// report sent to a full disk is not taken for one delivered.
void WriteStandardOutput(std::string_view text);

// Pixel size of the whole desktop. The window layer fills it in once a display
// is known; before that a common screen size is assumed.
struct ScreenSize {
    int width;
    int height;
};
ScreenSize DesktopSize();
void SetDesktopSize(ScreenSize size);

// File names resolve as on Windows: an exact match first, else, folder by
// folder, a match ignoring letter case. Returns the path that exists, or "".
std::string ResolvePath(const std::string& path);
bool FileExists(const std::string& path);      // a regular file, resolved as above
// A regular file at exactly this path, letter case as given (links followed);
// for files the program names itself, such as its settings file.
bool FileExistsExactly(const std::string& path);
bool DirectoryExists(const std::string& path); // a folder, resolved as above
// Creates a folder and any missing parents; false on failure.
bool ForceDirectories(const std::string& path);
// True when the folder exists and refuses this user's new files (its
// permissions or a read-only file system); a folder that does not exist, or
// one that can be written, answers false.
bool FolderRefusesWrites(const std::string& folder);
// The user's configuration folder with a trailing "/": $XDG_CONFIG_HOME when
// it is an absolute path, else .config/ in the home folder ($HOME, else the
// password database); "" when no home folder is known.
std::string UserConfigFolder();
// Copies a file; with failIfExists an existing destination is kept. False on failure.
bool CopyFile(const std::string& from, const std::string& to, bool failIfExists);

std::string GetCurrentDir();
bool SetCurrentDir(const std::string& path);
// Absolute form of a path relative to the current folder, with "." and ".."
// folded away; a trailing "/" is kept.
std::string ExpandFileName(const std::string& path);

// Text in the manner of the run-time library: letters changed one byte at a
// time (names of files and surfaces are compared this way, ignoring case).
std::string LowerCase(std::string text);
std::string UpperCase(std::string text);
bool SameText(std::string_view a, std::string_view b);
// Order by name ignoring letter case, then by bytes (so that names differing
// in case alone still have one order).
bool LessIgnoringCase(const std::string& a, const std::string& b);

// Path helpers in the manner of the run-time library.
std::string ExtractFilePath(const std::string& path); // folder with trailing "/"
std::string ExtractFileName(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);

// Whole file as bytes; throws EInOutError naming the file when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
// Writes bytes as the whole file at path, every step checked, closing
// included (a full disk may refuse the last bytes only then). Throws
// EInOutError "Unable to write to PATH: REASON" when any step fails.
void WriteFileBytes(const std::string& path, std::span<const uint8_t> bytes);
// Throws EInOutError when path is not there and would be a new file under
// /dev (WriteFileBytes checks it; so does any other writer of files).
void CheckPlaceForNewFile(const std::string& path);
// Text lines of a file (CR LF, LF or CR ends a line); throws EInOutError.
std::vector<std::string> ReadTextLines(const std::string& path);
// The lines of text already in memory, split as ReadTextLines splits a file.
std::vector<std::string> SplitTextLines(std::span<const uint8_t> bytes);

} // namespace platform
