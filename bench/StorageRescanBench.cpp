#include "SampleModelHome.h"

#include "records/AssistanceTracker.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"
#include "storage/ModelInventoryViewModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>

// A rescan of the storage view's model over 200 models (100 Ollama, 50 Hugging Face, 50 LM Studio) and
// a cache of 200,000 files, on a warm page cache. Prints how long the scan takes and the longest time
// the GUI thread's event loop went without running a 5 ms timer meanwhile.

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string home = dir.filePath(QStringLiteral("home")).toStdString();
    std::printf("Building 200 models and a cache of 200,000 files under %s\n", home.c_str());
    samplehome::build(home, 5000);

    const StorageRoots roots = StorageRoots::forHome(home);
    auto tracker = std::make_shared<AssistanceTracker>(dir.filePath(QStringLiteral("records")));
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
