#pragma once
// The checker: tells the maker or collector of characters what is wrong with
// them before the game shows them broken. It checks the characters by the
// rules of CheckRules.h and writes the findings as CheckOutput.h says.
#include "app/common/CommandLine.h"

// `Quillmo --check`: checks the characters the options name (every character
// of --game-root without names) with --jobs worker processes (default: one
// per core), writes the report in the --format asked for (CheckOutput.h) on
// standard output, and returns the exit status: 0 without errors, 1 with
// errors (archives of the game data that cannot be read among them), 2 when
// the characters cannot be found or the report cannot be written (with a
// one-line message on standard error). Throws nothing but std::bad_alloc.
int RunCheck(const CommandLine& options);
