// Mounting collections: the file layer on a folder of few archives and on
// one of many (each one character, made by make_sample_models --collection),
// so that the cost per archive of a large collection can be set against a
// small one's. One iteration mounts the folder (every central directory read,
// the merged tree indexed) and resolves the last archive's character. The
// heap the mounted collection holds is measured once, after a mount.
//
//   quillmo_bench_collection --small DIR --large DIR [benchmark options]
#include "platform/files/FileLayer.h"
#include "platform/system/Dialogs.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace files = platform::files;

uint64_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

size_t archivesIn(const std::string& folder)
{
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += files::HasArchiveExtension(entry.path().filename().string());
    return count;
}

void BM_MountCollection(benchmark::State& state, const std::string& folder)
{
    const size_t archives = archivesIn(folder);
    for (auto _ : state) {
        files::MountGameRoot(folder);
        const std::vector<files::FolderEntry> characters = files::ListFolder("models/players");
        if (characters.size() < archives || !files::FileExists("models/players/" + characters.back().name + "/upper.md3")) {
            state.SkipWithError("a character of the collection is missing");
            break;
        }
    }
    files::MountDisk();
    malloc_trim(0);
    const uint64_t before = heapInUse();
    files::MountGameRoot(folder);
    const uint64_t after = heapInUse();
    files::MountDisk();
    state.counters["archives"] = static_cast<double>(archives);
    state.counters["heapBytes"] = static_cast<double>(after - before);
    state.counters["openArchives"] = static_cast<double>(files::OpenArchiveCount());
}

} // namespace

int main(int argc, char** argv)
{
    platform::SetNonInteractive(true);
    std::string small, large;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--small" || arg == "--large") && i + 1 < argc)
            (arg == "--small" ? small : large) = argv[++i];
        else
            rest.push_back(argv[i]);
    }
    if (small.empty() || large.empty()) {
        std::fprintf(stderr, "usage: quillmo_bench_collection --small DIR --large DIR [benchmark options]\n");
        return 2;
    }
    benchmark::RegisterBenchmark("BM_MountCollection/small", BM_MountCollection, small)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MountCollection/large", BM_MountCollection, large)->Unit(benchmark::kMillisecond);
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(count, rest.data()))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
