// Feeds every stored input to its reader's entry point, with the program's
// usual compiler, so that each input a fuzzer ever kept or crashed on keeps
// being read. Usage: quillmo_fuzz_replay [--drawn|--undrawn] FOLDER...; each
// FOLDER holds one subfolder per target (md3/, jpeg/, ...) with one input per
// file; --drawn replays only the targets that draw, --undrawn the others.
// Prints each input before reading it, so that the last line names a
// crashing one.
#include "Targets.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readBytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

enum class Which { All, Drawn, Undrawn };

// Replays the inputs below folder of the targets chosen; returns how many,
// or -1 for a subfolder that names no target.
int replayFolder(const fs::path& folder, Which which)
{
    int count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (!entry.is_directory())
            continue;
        const fuzz::Target* target = fuzz::FindTarget(entry.path().filename().string());
        if (!target) {
            std::fprintf(stderr, "%s: no such target\n", entry.path().c_str());
            return -1;
        }
        if ((which == Which::Drawn && !target->drawn) || (which == Which::Undrawn && target->drawn))
            continue;
        std::vector<fs::path> files;
        for (const fs::directory_entry& file : fs::directory_iterator(entry.path())) {
            if (file.is_regular_file())
                files.push_back(file.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            std::printf("%s\n", file.c_str());
            std::fflush(stdout);
            const std::vector<uint8_t> bytes = readBytes(file);
            target->run(bytes);
            ++count;
        }
    }
    return count;
}

} // namespace

int main(int argc, char** argv)
{
    Which which = Which::All;
    int first = 1;
    if (argc > 1 && (std::string(argv[1]) == "--drawn" || std::string(argv[1]) == "--undrawn")) {
        which = std::string(argv[1]) == "--drawn" ? Which::Drawn : Which::Undrawn;
        first = 2;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: quillmo_fuzz_replay [--drawn|--undrawn] FOLDER...\n");
        return 2;
    }
    int total = 0;
    for (int i = first; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) {
            std::fprintf(stderr, "%s: not a folder\n", argv[i]);
            return 2;
        }
        const int count = replayFolder(argv[i], which);
        if (count < 0)
            return 2;
        total += count;
    }
    std::printf("%d inputs replayed\n", total);
    // A replay that found nothing to read checks nothing.
    return total > 0 ? 0 : 1;
}
