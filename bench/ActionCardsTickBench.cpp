#include "SampleModelHome.h"

#include "core/CorrectiveActionEngine.h"
#include "core/XPCConnection.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

// What one tick of the actions tab costs: the cards for a memory sample with one model loaded, over a
// home of 200 models (100 Ollama, 50 Hugging Face, 50 LM Studio) and developer caches of 50,000 files,
// on a warm page cache. The popover asks for them once a second while the tab is open.
namespace {

struct Machine
{
    QTemporaryDir dir;
    std::unique_ptr<XPCConnection> xpc;
    std::unique_ptr<OllamaEngine> ollama;
    std::unique_ptr<AssistanceTracker> tracker;
    std::unique_ptr<ModelInventoryEngine> inventory;
    std::unique_ptr<DeveloperCacheEngine> caches;
    std::unique_ptr<CorrectiveActionEngine> engine;
};

Machine* g_machine = nullptr;

std::vector<ActionCard> tick()
{
    SystemMemoryState memory;
    memory.totalGB = 32;
    memory.freeGB = 6;
    memory.inactiveGB = 2;
    OllamaModel model;
    model.name = "llama3:8b";
    model.isLoaded = true;
    model.estimatedRAMFootprintGB = 4.7;
    return g_machine->engine->generateActionCards(memory, {model}, {});
}

// Ticks in quick succession.
void BM_ActionsTabTick(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(tick());
}
BENCHMARK(BM_ActionsTabTick)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

// Ticks one second apart on the engine's clock, as the tab asks for them: the average over the
// minute between two walks of the disk.
void BM_ActionsTabTickOneSecondApart(benchmark::State& state)
{
    auto now = CorrectiveActionEngine::Clock::now();
    g_machine->engine->setClock([&now] { return now; });
    for (auto _ : state) {
        now += std::chrono::seconds(1);
        benchmark::DoNotOptimize(tick());
    }
    g_machine->engine->setClock({});
}
BENCHMARK(BM_ActionsTabTickOneSecondApart)->Unit(benchmark::kMicrosecond)->Iterations(600);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Machine machine;
    const std::string home = machine.dir.filePath(QStringLiteral("home")).toStdString();
    samplehome::build(home, 1250);
    const StorageRoots roots = StorageRoots::forHome(home);
    // A tick asks the helper nothing.
    machine.xpc = std::make_unique<XPCConnection>();
    machine.ollama = std::make_unique<OllamaEngine>("http://127.0.0.1:9");
    machine.tracker = std::make_unique<AssistanceTracker>(machine.dir.filePath(QStringLiteral("records")));
    machine.inventory = std::make_unique<ModelInventoryEngine>(roots);
    machine.caches = std::make_unique<DeveloperCacheEngine>(roots);
    machine.engine = std::make_unique<CorrectiveActionEngine>(*machine.xpc, *machine.ollama, machine.inventory.get(),
        machine.caches.get(), CorrectiveActionEngine::ProcessFreezer {}, machine.tracker.get());
    g_machine = &machine;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
