#include "core/ProcessWatcher.h"

#include "ProcessFiller.h"

#include <benchmark/benchmark.h>

// One process-watcher snapshot of this machine, CPU bookkeeping included.
static void processSnapshot(benchmark::State& state)
{
    ProcessWatcher watcher;
    std::size_t processes = 0;
    for (auto _ : state) {
        const auto list = watcher.scanProcesses();
        processes = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(processSnapshot)->Unit(benchmark::kMillisecond);

// The same with kernel threads read too: every pid in /proc costs at least its stat file.
static void processTableWithKernelThreads(benchmark::State& state)
{
    platform::ProcessTable table;
    std::size_t processes = 0;
    for (auto _ : state)
        processes = table.list(true).size();
    state.counters["processes"] = static_cast<double>(processes);
}
BENCHMARK(processTableWithKernelThreads)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    const ProcessFiller filler(300); // the size a snapshot is meant to stay well under 5 ms at
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
