// The pack against reading its files: kestrel of the sample work folder
// (PackWork.h), packed over the sample base game as --pack packs it, against
// mounting the maker's files over the base and reading every file the pack
// holds through the file layer. The pack's own shader script is cut from the
// maker's script, so the read takes that script in its place. Timed:
//
//   BM_ReadPackFiles  mount the source, read each file once
//   BM_PlanPack       PlanPack: read the character in the source and the
//                     base, weigh each file and shader against the base
//   BM_WritePack      WritePack of that plan alone
//   BM_Pack           PlanPack + WritePack + ProvePack, the whole of --pack
//                     but for its messages
//
// Each reports bytes: pack_bytes (the entries' bytes), read_bytes (what the
// read reads) and, as bytes_per_second, those it deals with per iteration.
// Everything in an offscreen GL context made once.
//
//   quillmo_bench_pack [benchmark options]
#include "app/common/CharacterPicture.h"
#include "app/common/CommandLine.h"
#include "app/pack/PackPlan.h"
#include "app/pack/PackViews.h"
#include "platform/files/FileLayer.h"
#include "platform/window/BareGLWindow.h"
#include "support/TempDir.h"
#include "tools/samples/PackWork.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace files = platform::files;

struct Work {
    testsupport::TempDir dir;
    OffscreenRun run;
    std::unique_ptr<PackViews> views;
    std::unique_ptr<platform::BareGLWindow> context;
    std::string archive = dir.file("kestrel.pk3");
    PackPlan plan;                  // made once, for the read's list and the write
    std::vector<std::string> read;  // what the read reads, in the plan's order
    uint64_t readBytes = 0;

    Work()
    {
        samples::writePackWork(dir.path());
        CommandLine options;
        options.gameRoot = dir.file(samples::kPackBaseFolder);
        options.paths = {dir.file(std::string(samples::kPackWorkFolder) + "/models/players/" +
                                  samples::kPackCharacter)};
        views = std::make_unique<PackViews>(options);
        context = std::make_unique<platform::BareGLWindow>(16, 16, true);
        plan = PlanPack(*views, false);

        const std::string ownScript = PackScriptName(plan.character);
        views->MountSource();
        for (const PackEntry& entry : plan.entries) {
            read.push_back(entry.name == ownScript ? std::string(samples::kPackWorkScript) : entry.name);
            readBytes += files::ReadFileBytes(read.back()).size();
        }
    }
};

Work& work()
{
    static Work made;
    return made;
}

void report(benchmark::State& state, uint64_t bytes)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["pack_bytes"] = static_cast<double>(work().plan.Bytes());
    state.counters["read_bytes"] = static_cast<double>(work().readBytes);
    state.counters["entries"] = static_cast<double>(work().plan.entries.size());
}

void BM_ReadPackFiles(benchmark::State& state)
{
    Work& w = work();
    for (auto _ : state) {
        w.views->MountSource();
        for (const std::string& name : w.read) {
            std::vector<uint8_t> bytes = files::ReadFileBytes(name);
            benchmark::DoNotOptimize(bytes.data());
        }
    }
    report(state, w.readBytes);
}

void BM_PlanPack(benchmark::State& state)
{
    Work& w = work();
    for (auto _ : state) {
        PackPlan plan = PlanPack(*w.views, false);
        benchmark::DoNotOptimize(plan.entries.data());
    }
    report(state, w.plan.Bytes());
}

void BM_WritePack(benchmark::State& state)
{
    Work& w = work();
    for (auto _ : state)
        WritePack(w.plan, w.archive);
    report(state, w.plan.Bytes());
}

void BM_Pack(benchmark::State& state)
{
    Work& w = work();
    for (auto _ : state) {
        const PackPlan plan = PlanPack(*w.views, false);
        WritePack(plan, w.archive);
        if (!ProvePack(*w.views, plan, w.archive).empty()) {
            state.SkipWithError("the pack does not show the character as its source does");
            break;
        }
    }
    report(state, w.plan.Bytes());
}

BENCHMARK(BM_ReadPackFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlanPack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WritePack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pack)->Unit(benchmark::kMillisecond);

} // namespace
