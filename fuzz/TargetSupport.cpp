#include "TargetSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <stdlib.h>

namespace fuzz::support {

void check(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::fflush(stderr);
    std::abort();
}

std::string textOf(Input bytes) { return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()); }

ScratchFolder::ScratchFolder()
{
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/quillmo-fuzz-XXXXXX";
    check(::mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
    folder_ = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void ScratchFolder::write(const std::string& name, Input bytes) const
{
    std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    check(static_cast<bool>(out.flush()), "a scratch file can be written");
}

const ScratchFolder& scratch()
{
    static const ScratchFolder folder;
    return folder;
}

std::vector<std::string_view> checkerPieces(std::string_view text)
{
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < std::size(kCheckerFiles)) {
        const size_t end = text.find(kCheckerSeparator);
        if (end == std::string_view::npos)
            break;
        pieces.push_back(text.substr(0, end));
        text.remove_prefix(end + kCheckerSeparator.size());
    }
    pieces.push_back(text);
    return pieces;
}

bool writeCharacterFiles(const std::string& folder, Input bytes)
{
    const std::string path = scratch().file(folder);
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    const std::vector<std::string_view> pieces = checkerPieces(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    bool skinGiven = false;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].empty())
            continue;
        scratch().write(folder + "/" + kCheckerFiles[i],
                        Input(reinterpret_cast<const uint8_t*>(pieces[i].data()), pieces[i].size()));
        skinGiven = skinGiven || std::string_view(kCheckerFiles[i]).ends_with(".skin");
    }
    return skinGiven;
}

} // namespace fuzz::support
