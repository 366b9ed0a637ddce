#pragma once
// Runs a shell command the way a user would, for tests of the executable.
#include <string>

namespace testsupport {

// Runs command with /bin/sh and collects what it writes to standard output
// (add "2>&1" to the command for standard error too). Returns its exit
// status, or -1 when it did not end normally or could not be started.
int runCommand(const std::string& command, std::string& output);

} // namespace testsupport
