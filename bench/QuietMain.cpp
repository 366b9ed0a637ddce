// The main of the benchmarks that take only Google Benchmark's options: no
// message waits for an answer while they run.
#include "platform/system/Dialogs.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
    platform::SetNonInteractive(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
