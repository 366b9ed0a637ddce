// Mounting game data: the file layer on a generated game folder of
// kArchives archives, each with kEntriesPerArchive small files spread over
// character, texture and script folders (some stored, most deflated, as in
// real packs), plus a few loose files. One iteration mounts the folder
// (PhysicsFS reads every central directory, the layer lists every mount and
// builds its index) and resolves one path in the wrong letter case. Then one
// archive of 50,000 to 999,000 entries in one folder, its time per entry.
//
//   quillmo_bench_mount [benchmark options]
#include "platform/system/Dialogs.h"
#include "platform/files/FileLayer.h"
#include "support/TempDir.h"
#include "support/ZipWriter.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int kArchives = 10;
constexpr int kEntriesPerArchive = 300;
constexpr int kFoldersPerArchive = 12;
constexpr int kEntryBytes = 512;
constexpr const char* kResolvedPath = "MODELS/players/Char7/Skin_11.TGA";

// Each archive holds its own characters and replaces a few files of the
// archives before it, as patches do.
std::string archiveBytes(int archive)
{
    std::vector<testsupport::ZipEntry> entries;
    for (int i = 0; i < kEntriesPerArchive; ++i) {
        const int folder = i % kFoldersPerArchive;
        std::string path;
        if (folder < 8)
            path = "models/players/char" + std::to_string(archive) + "_" + std::to_string(folder) + "/skin_" +
                   std::to_string(i) + ".tga";
        else if (folder < 11)
            path = "textures/set" + std::to_string(folder) + "/tex_" + std::to_string(archive) + "_" +
                   std::to_string(i) + ".jpg";
        else
            path = "scripts/shared_" + std::to_string(i / kFoldersPerArchive) + ".shader"; // in every archive
        std::string data(kEntryBytes, static_cast<char>('a' + (i + archive) % 26));
        entries.emplace_back(path, data, i % 4 != 0);
    }
    // The path resolved below, in the last archive's spelling.
    if (archive == kArchives - 1)
        entries.emplace_back("models/players/char7/skin_11.tga", "found", true);
    return testsupport::makeZip(entries);
}

// Made once and removed at exit.
const testsupport::TempDir& gameFolder()
{
    static const testsupport::TempDir folder;
    return folder;
}

void writeGameFolder(const testsupport::TempDir& folder)
{
    for (int archive = 0; archive < kArchives; ++archive)
        folder.write("pak" + std::to_string(archive) + ".pk3", archiveBytes(archive));
    folder.write("scripts/local.shader", "loose");
    folder.write("models/players/loose/animation.cfg", "loose");
}

void BM_MountGameFolder(benchmark::State& state)
{
    const testsupport::TempDir& folder = gameFolder();
    size_t entries = 0;
    for (auto _ : state) {
        platform::files::MountGameRoot(folder.path());
        const std::optional<std::string> found = platform::files::ResolvePath(kResolvedPath);
        if (!found) {
            state.SkipWithError("the path was not found");
            break;
        }
        benchmark::DoNotOptimize(found->data());
    }
    for (const std::string folderName : {"models/players", "textures", "scripts"})
        entries += platform::files::ListFolder(folderName).size();
    platform::files::MountDisk();
    state.counters["archives"] = kArchives;
    state.counters["archiveEntries"] = kArchives * kEntriesPerArchive;
    state.counters["topFolderEntries"] = static_cast<double>(entries);
}
BENCHMARK(BM_MountGameFolder)->Unit(benchmark::kMillisecond);

// One archive of n empty entries in one folder, beside nothing: the time per
// entry holds when the index is built in linear time.
void BM_MountArchiveOfManyEntries(benchmark::State& state)
{
    const auto count = static_cast<int>(state.range(0));
    const testsupport::TempDir folder;
    {
        std::vector<testsupport::ZipEntry> entries;
        entries.reserve(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            entries.emplace_back("junk/f" + std::to_string(i), "");
        folder.write("pak0.pk3", testsupport::makeZip(entries));
    }
    for (auto _ : state) {
        platform::files::MountGameRoot(folder.path());
        if (!platform::files::FileExists("junk/f" + std::to_string(count - 1))) {
            state.SkipWithError("the last entry was not found");
            break;
        }
    }
    platform::files::MountDisk();
    state.counters["entries"] = count;
    state.counters["perEntry"] = benchmark::Counter(static_cast<double>(count) * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MountArchiveOfManyEntries)->Arg(50'000)->Arg(200'000)->Arg(999'000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    platform::SetNonInteractive(true);
    writeGameFolder(gameFolder());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
