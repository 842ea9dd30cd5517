#include "engines/MemoryEngine.h"

#include <benchmark/benchmark.h>

// One memory sample of this machine: /proc/meminfo and /proc/vmstat read and mapped.
static void memorySnapshot(benchmark::State& state)
{
    MemoryEngine engine;
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.snapshot());
}
BENCHMARK(memorySnapshot)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
