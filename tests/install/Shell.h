#pragma once
// Commands run as a desktop or a user runs them, and the small file helpers
// the install tests share.
#include <string>
#include <vector>

namespace installtest {

struct CommandResult {
    int status = -1; // the exit status; -1 when the command did not end normally
    std::string output; // standard output and standard error together
};

// Runs a shell command line and collects what it prints.
CommandResult run(const std::string& command);
// A word quoted for the shell, whatever it holds.
std::string quote(const std::string& word);
// True when the command is found on PATH.
bool haveCommand(const std::string& name);
// The whole file, or "" when it cannot be read.
std::string readFile(const std::string& path);
// The values of a key of a freedesktop key file's group, split at ";" (the
// form MimeType= and Categories= take); empty when the key is absent.
std::vector<std::string> keyFileList(const std::string& text, const std::string& group, const std::string& key);
// The value of a key of a key file's group; "" when absent.
std::string keyFileValue(const std::string& text, const std::string& group, const std::string& key);
// The types a shared-mime-info package defines, in file order.
std::vector<std::string> definedMimeTypes(const std::string& xml);

} // namespace installtest
