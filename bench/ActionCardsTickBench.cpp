#include "core/CorrectiveActionEngine.h"
#include "core/XPCConnection.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

// What one tick of the actions tab costs: the cards for a memory sample with one model loaded, over a
// home of 200 models (100 Ollama, 50 Hugging Face, 50 LM Studio) and developer caches of 50,000 files,
// on a warm page cache. The popover asks for them once a second while the tab is open.
namespace {

void touch(const std::string& file, off_t size)
{
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        (void)::ftruncate(fd, size);
        ::close(fd);
    }
}

void buildHome(const std::string& home)
{
    for (int i = 0; i < 100; ++i) {
        char digest[80];
        std::snprintf(digest, sizeof digest, "sha256:%064x", i + 1);
        std::string blob(digest);
        blob[6] = '-';
        touch(home + "/.ollama/models/blobs/" + blob, 1 << 20);
        const std::string manifest
            = home + "/.ollama/models/manifests/registry.ollama.ai/library/m" + std::to_string(i);
        std::filesystem::create_directories(manifest);
        std::ofstream(manifest + "/latest")
            << R"({"schemaVersion":2,"layers":[{"digest":")" << digest << R"(","size":1048576}]})";
    }
    for (int i = 0; i < 50; ++i) {
        const std::string model = home + "/.cache/huggingface/hub/models--org--model" + std::to_string(i);
        for (int f = 0; f < 8; ++f)
            touch(model + "/blobs/b" + std::to_string(f), 4096);
        touch(home + "/.lmstudio/models/pub/m" + std::to_string(i) + "/m" + std::to_string(i) + ".gguf", 1 << 20);
    }
    for (int d = 0; d < 1250; ++d)
        for (int f = 0; f < 40; ++f)
            touch(home + "/.cache/uv/g" + std::to_string(d / 100) + "/f" + std::to_string(d) + "/" + std::to_string(f),
                (d * 40 + f) % 4096);
}

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
    buildHome(home);
    const StorageRoots roots = StorageRoots::forHome(home);
    machine.xpc = std::make_unique<XPCConnection>(true);
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
