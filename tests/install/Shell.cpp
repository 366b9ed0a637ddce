#include "Shell.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>

namespace installtest {

CommandResult run(const std::string& command)
{
    CommandResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quote(const std::string& word)
{
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

bool haveCommand(const std::string& name) { return run("command -v " + quote(name)).status == 0; }

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string keyFileValue(const std::string& text, const std::string& group, const std::string& key)
{
    std::istringstream in(text);
    std::string line;
    bool inGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.front() == '[') {
            inGroup = line == "[" + group + "]";
            continue;
        }
        const size_t equals = line.find('=');
        if (inGroup && equals != std::string::npos && line.substr(0, equals) == key)
            return line.substr(equals + 1);
    }
    return {};
}

std::vector<std::string> keyFileList(const std::string& text, const std::string& group, const std::string& key)
{
    std::vector<std::string> items;
    std::istringstream in(keyFileValue(text, group, key));
    std::string item;
    while (std::getline(in, item, ';')) {
        if (!item.empty())
            items.push_back(item);
    }
    return items;
}

std::vector<std::string> definedMimeTypes(const std::string& xml)
{
    static const std::string opening = "<mime-type type=\"";
    std::vector<std::string> types;
    for (size_t at = xml.find(opening); at != std::string::npos; at = xml.find(opening, at + 1)) {
        const size_t start = at + opening.size();
        types.push_back(xml.substr(start, xml.find('"', start) - start));
    }
    return types;
}

} // namespace installtest
