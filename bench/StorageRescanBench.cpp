#include "records/AssistanceTracker.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"
#include "storage/ModelInventoryViewModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

// A rescan of the storage view's model over 200 models (100 Ollama, 50 Hugging Face, 50 LM Studio) and
// a cache of 200,000 files, on a warm page cache. Prints how long the scan takes and the longest time
// the GUI thread's event loop went without running a 5 ms timer meanwhile.
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
        std::filesystem::create_directories(
            home + "/.ollama/models/manifests/registry.ollama.ai/library/m" + std::to_string(i));
        std::ofstream(home + "/.ollama/models/manifests/registry.ollama.ai/library/m" + std::to_string(i) + "/latest")
            << R"({"schemaVersion":2,"layers":[{"digest":")" << digest << R"(","size":1048576}]})";
    }
    for (int i = 0; i < 50; ++i) {
        const std::string model = home + "/.cache/huggingface/hub/models--org--model" + std::to_string(i);
        for (int f = 0; f < 8; ++f)
            touch(model + "/blobs/b" + std::to_string(f), 4096);
        touch(home + "/.lmstudio/models/pub/m" + std::to_string(i) + "/m" + std::to_string(i) + ".gguf", 1 << 20);
    }
    // 200,000 files in 5,000 folders.
    for (int d = 0; d < 5000; ++d)
        for (int f = 0; f < 40; ++f)
            touch(home + "/.cache/uv/g" + std::to_string(d / 100) + "/f" + std::to_string(d) + "/" + std::to_string(f),
                (d * 40 + f) % 4096);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string home = dir.filePath(QStringLiteral("home")).toStdString();
    std::printf("Building 200 models and a cache of 200,000 files under %s\n", home.c_str());
    buildHome(home);

    const StorageRoots roots = StorageRoots::forHome(home);
    AssistanceTracker tracker(dir.filePath(QStringLiteral("records")));
    ModelInventoryViewModel vm(std::make_shared<ModelInventoryEngine>(roots),
        std::make_shared<DeveloperCacheEngine>(roots), tracker, QThreadPool::globalInstance());

    for (int run = 0; run < 4; ++run) {
        QElapsedTimer scanTimer;
        QElapsedTimer gap;
        qint64 longestGap = 0;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, gap.restart()); });
        bool done = false;
        scanTimer.start();
        gap.start();
        ticker.start();
        const qint64 callStart = scanTimer.nsecsElapsed();
        vm.scan([&] { done = true; });
        const qint64 callNs = scanTimer.nsecsElapsed() - callStart;
        while (!done)
            app.processEvents(QEventLoop::WaitForMoreEvents);
        ticker.stop();
        std::printf("%s: scan %lld ms (%zu models, %zu caches); scan() returned in %.3f ms; longest GUI gap %lld ms\n",
            run == 0 ? "first" : "again", static_cast<long long>(scanTimer.elapsed()), vm.installedModels().size(),
            vm.developerCaches().size(), callNs / 1e6, static_cast<long long>(longestGap));
    }
    return 0;
}
