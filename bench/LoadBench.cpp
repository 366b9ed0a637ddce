// Load times of MD3 parts. For every part below FOLDER:
//   Read/<part>      the file's bytes into memory and nothing else (the floor)
//   LoadMD3/<part>   the viewer's reader, from file name to a filled part
//   Peer/<part>      the Open Asset Import Library on the same file, without
//                    post-processing (built with QUILLMO_BENCH_PEER only)
//   PeerPost/<part>  the same with triangulation and joined vertices
// Every variant reads one file: the peer's multi-part player loading is off.
// Run with --benchmark_enable_random_interleaving=true and repetitions so
// that the variants are measured side by side.
//
//   quillmo_bench_load --files FOLDER [benchmark options]
#include "model/Model.h"
#include "platform/system/Dialogs.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#ifdef QUILLMO_BENCH_PEER
#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#endif

namespace {

namespace fs = std::filesystem;

struct PartFile {
    std::string label; // path below the folder
    std::string path;
    uint64_t bytes = 0;
};

std::vector<PartFile> findParts(const fs::path& folder)
{
    std::vector<PartFile> parts;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().extension() == ".md3")
            parts.push_back({fs::relative(entry.path(), folder).string(), entry.path().string(), entry.file_size()});
    }
    std::sort(parts.begin(), parts.end(), [](const PartFile& a, const PartFile& b) { return a.label < b.label; });
    return parts;
}

// Heap bytes in use, small blocks and mapped ones together.
uint64_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The floor: one open, one size query, one uninitialised buffer and one read.
std::unique_ptr<uint8_t[]> readBytes(const std::string& path, size_t& size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    ::fstat(fd, &info);
    size = static_cast<size_t>(info.st_size);
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, bytes.get() + done, size - done);
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    ::close(fd);
    return done == size ? std::move(bytes) : nullptr;
}

void setFileCounters(benchmark::State& state, const PartFile& part)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * part.bytes));
    state.counters["fileBytes"] = static_cast<double>(part.bytes);
}

void benchRead(benchmark::State& state, const PartFile& part)
{
    for (auto _ : state) {
        size_t size = 0;
        auto bytes = readBytes(part.path, size);
        if (!bytes) {
            state.SkipWithError("cannot read the file");
            break;
        }
        benchmark::DoNotOptimize(bytes.get());
        benchmark::ClobberMemory();
    }
    setFileCounters(state, part);
}

void benchLoadMD3(benchmark::State& state, const PartFile& part)
{
    uint64_t held = 0;
    {
        const uint64_t before = heapInUse();
        TMD3Model model;
        LoadMD3(model, part.path);
        held = heapInUse() - before;
        if (model.Meshes.empty()) {
            state.SkipWithError("LoadMD3 read no meshes");
            return;
        }
    }
    for (auto _ : state) {
        TMD3Model model;
        LoadMD3(model, part.path);
        benchmark::DoNotOptimize(model.Meshes.data());
        benchmark::ClobberMemory();
    }
    setFileCounters(state, part);
    state.counters["heldBytes"] = static_cast<double>(held);
}

#ifdef QUILLMO_BENCH_PEER
void benchPeer(benchmark::State& state, const PartFile& part, unsigned steps)
{
    Assimp::Importer importer;
    // Read the one file asked for, not the legs, torso and head beside it.
    importer.SetPropertyBool(AI_CONFIG_IMPORT_MD3_HANDLE_MULTIPART, false);
    const uint64_t before = heapInUse();
    if (!importer.ReadFile(part.path, steps)) {
        state.SkipWithError(importer.GetErrorString());
        return;
    }
    const uint64_t held = heapInUse() - before;
    importer.FreeScene();
    for (auto _ : state) {
        const aiScene* scene = importer.ReadFile(part.path, steps);
        benchmark::DoNotOptimize(scene);
        importer.FreeScene();
        benchmark::ClobberMemory();
    }
    setFileCounters(state, part);
    state.counters["heldBytes"] = static_cast<double>(held);
}
#endif

void registerBenchmarks(const std::vector<PartFile>& parts)
{
    for (const PartFile& part : parts) {
        benchmark::RegisterBenchmark(("Read/" + part.label).c_str(), benchRead, part);
        benchmark::RegisterBenchmark(("LoadMD3/" + part.label).c_str(), benchLoadMD3, part);
#ifdef QUILLMO_BENCH_PEER
        benchmark::RegisterBenchmark(("Peer/" + part.label).c_str(), benchPeer, part, 0u);
        benchmark::RegisterBenchmark(("PeerPost/" + part.label).c_str(), benchPeer, part,
                                     unsigned(aiProcess_Triangulate | aiProcess_JoinIdenticalVertices));
#endif
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string folder;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc)
            folder = argv[++i];
        else
            rest.push_back(argv[i]);
    }
    if (folder.empty()) {
        std::fprintf(stderr, "usage: quillmo_bench_load --files FOLDER [benchmark options]\n");
        return 2;
    }
    platform::SetNonInteractive(true);
    const std::vector<PartFile> parts = findParts(folder);
    if (parts.empty()) {
        std::fprintf(stderr, "quillmo_bench_load: no .md3 files below %s\n", folder.c_str());
        return 1;
    }
    registerBenchmarks(parts);
    int restCount = static_cast<int>(rest.size());
    benchmark::Initialize(&restCount, rest.data());
    if (benchmark::ReportUnrecognizedArguments(restCount, rest.data()))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
