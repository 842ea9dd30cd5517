// CPU time of one dashboard tick read natively from /proc and /sys, against the tool-spawning way
// (ps for the processes, ss for the connections, parsing their output). CPU time here is the
// process's own plus that of its waited-for children, so the spawned tools are counted too.
#include "shared/engines/DashboardViewModel.h"
#include "shared/engines/MemoryEngine.h"
#include "shared/engines/OllamaEngine.h"
#include "shared/engines/ThermalEngine.h"

#include "ProcessFiller.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

double cpuSeconds()
{
    auto seconds = [](const rusage& r) {
        return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) + double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
    };
    rusage self {}, children {};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return seconds(self) + seconds(children);
}

std::string runTool(const char* command)
{
    std::string out;
    if (FILE* pipe = popen(command, "r")) {
        char buffer[65536];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// A tick as the program runs it: with the argument 0 no network view is open, so the connections are not
// listed; with 1 one is.
void BM_DashboardTick(benchmark::State& state)
{
    auto memory = std::make_shared<MemoryEngine>();
    auto ollama = std::make_shared<OllamaEngine>(); // loopback; refused at once when no server runs
    auto thermal = std::make_shared<ThermalEngine>();
    DashboardViewModel model(memory, ollama, thermal);
    const bool networkViewOpen = state.range(0) != 0;
    if (networkViewOpen)
        model.retainConnections();
    DashboardSampler sampler(memory, ollama, thermal, DashboardSources {});
    model.publishSample(sampler.sample(true, networkViewOpen));
    for (auto _ : state) {
        const double start = cpuSeconds();
        DashboardSample sample = sampler.sample(true, model.listsConnections());
        model.publishSample(sample);
        state.SetIterationTime(cpuSeconds() - start);
        benchmark::DoNotOptimize(sample);
    }
    state.counters["processes"] = ProcessFiller::processCount();
}

void BM_PsAndSsTools(benchmark::State& state)
{
    for (auto _ : state) {
        const double start = cpuSeconds();
        std::vector<RunningProcess> processes;
        std::istringstream ps(runTool("ps -eo pid,pcpu,rss,comm"));
        std::string line;
        std::getline(ps, line);
        while (std::getline(ps, line) && processes.size() < 15) {
            std::istringstream fields(line);
            RunningProcess p;
            std::int64_t rss = 0;
            if (fields >> p.pid >> p.cpuPercent >> rss >> p.name) {
                p.memoryMB = rss / 1024;
                processes.push_back(p);
            }
        }
        std::vector<std::string> connections;
        std::istringstream ss(runTool("ss -tnp"));
        std::getline(ss, line);
        while (std::getline(ss, line)) {
            if (line.find("127.0.0.1") == std::string::npos && line.find("[::1]") == std::string::npos)
                connections.push_back(line);
        }
        state.SetIterationTime(cpuSeconds() - start);
        benchmark::DoNotOptimize(processes);
        benchmark::DoNotOptimize(connections);
    }
}

// The steps that cost the most, one by one, to see where a tick's time goes.
template<typename Step> void measure(benchmark::State& state, Step step)
{
    for (auto _ : state) {
        const double start = cpuSeconds();
        step();
        state.SetIterationTime(cpuSeconds() - start);
    }
}

void BM_StepProcessTable(benchmark::State& state)
{
    DashboardProcessSampler sampler;
    measure(state, [&] { benchmark::DoNotOptimize(sampler.fetchTopProcesses()); });
}

void BM_StepConnections(benchmark::State& state)
{
    platform::TcpConnections connections;
    measure(state, [&] { benchmark::DoNotOptimize(connections.established()); });
}

void BM_StepOllama(benchmark::State& state)
{
    OllamaEngine ollama;
    measure(state, [&] { benchmark::DoNotOptimize(ollama.isRunning()); });
}

void BM_StepMemoryAndThermal(benchmark::State& state)
{
    MemoryEngine memory;
    ThermalEngine thermal;
    measure(state, [&] {
        benchmark::DoNotOptimize(memory.snapshot());
        benchmark::DoNotOptimize(thermal.currentState());
    });
}

// Sensors, battery, interface counters, disk and the local address: the small readers together.
void BM_StepMachineReaders(benchmark::State& state)
{
    auto sensors = platform::SensorMonitor::create("/sys");
    platform::PowerSupplies power;
    platform::InterfaceCounters interfaces;
    platform::LocalAddress localAddress;
    measure(state, [&] {
        if (sensors) {
            benchmark::DoNotOptimize(sensors->readTemperature(platform::SensorClass::chip));
            benchmark::DoNotOptimize(sensors->fanRPMs());
        }
        benchmark::DoNotOptimize(power.internalBattery());
        benchmark::DoNotOptimize(interfaces.totals());
        benchmark::DoNotOptimize(platform::DiskSpace::of("/"));
        benchmark::DoNotOptimize(localAddress.defaultRouteAddress());
    });
}

// The GUI-thread half of a tick: one sample handed to the view model.
void BM_StepPublish(benchmark::State& state)
{
    auto memory = std::make_shared<MemoryEngine>();
    auto ollama = std::make_shared<OllamaEngine>();
    auto thermal = std::make_shared<ThermalEngine>();
    DashboardViewModel model(memory, ollama, thermal);
    DashboardSampler sampler(memory, ollama, thermal, DashboardSources {});
    const DashboardSample sample = sampler.sample(true);
    measure(state, [&] { model.publishSample(sample); });
}

} // namespace

BENCHMARK(BM_StepProcessTable)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepConnections)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepOllama)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepMemoryAndThermal)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepMachineReaders)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepPublish)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DashboardTick)
    ->ArgName("networkViewOpen")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(2.0);
BENCHMARK(BM_PsAndSsTools)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(2.0);

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    const ProcessFiller filler(300);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
