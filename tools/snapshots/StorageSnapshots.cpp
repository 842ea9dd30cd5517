#include "SampleData.h"
#include "SamplePopover.h"
#include "SnapshotRegistry.h"

#include "records/AssistanceTracker.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"
#include "storage/ModelInventoryViewModel.h"
#include "support/PoolHold.h"
#include "support/Unowned.h"
#include "ui/PillButton.h"
#include "views/storage/CacheRow.h"
#include "views/storage/CachesTab.h"
#include "views/storage/ModelInventoryView.h"
#include "views/storage/ModelRow.h"
#include "views/storage/ModelsTab.h"
#include "views/storage/StorageTexts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThreadPool>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>

namespace {

constexpr double kGiB = 1073741824.0;
constexpr double kDay = 86400;

// Model stores and caches of sparse files (sizes without disk use) under `home`.
class SampleStores
{
public:
    explicit SampleStores(std::string home)
        : m_home(std::move(home))
    {
    }
    std::string path(const std::string& relative) const { return m_home + "/" + relative; }
    void sparse(const std::string& relative, double gb, double daysOld = 0.2)
    {
        const std::string full = path(relative);
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream(full, std::ios::binary).close();
        std::filesystem::resize_file(full, static_cast<std::uintmax_t>(gb * kGiB));
        age(full, daysOld);
    }
    void age(const std::string& full, double daysOld)
    {
        const double s = static_cast<double>(::time(nullptr)) - daysOld * kDay;
        const timespec both[2] = {{static_cast<time_t>(s), 0}, {static_cast<time_t>(s), 0}};
        ::utimensat(AT_FDCWD, full.c_str(), both, AT_SYMLINK_NOFOLLOW);
    }
    void ollama(const std::string& model, const std::string& tag, int blob, double gb, double daysOld)
    {
        char digest[80];
        std::snprintf(digest, sizeof digest, "sha256:%064x", blob);
        std::string name(digest);
        name[6] = '-';
        sparse(".ollama/models/blobs/" + name, gb, daysOld);
        const std::string manifest = path(".ollama/models/manifests/registry.ollama.ai/library/" + model + "/" + tag);
        std::filesystem::create_directories(std::filesystem::path(manifest).parent_path());
        std::ofstream(manifest) << R"({"schemaVersion":2,"layers":[{"digest":")" << digest << R"(","size":)"
                                << static_cast<long long>(gb * kGiB) << "}]}";
        age(manifest, daysOld);
    }
    void fill()
    {
        ollama("llama3.1", "70b", 1, 39.6, 64);
        ollama("llama3.1", "8b", 2, 4.58, 1);
        ollama("qwen2.5-coder", "7b", 3, 4.36, 0.1);
        const std::string longName = SampleData::kLongModelName;
        ollama(longName.substr(0, longName.find(':')), longName.substr(longName.find(':') + 1), 4, 8.9, 20);
        const std::string llama = ".cache/huggingface/hub/models--meta-llama--Llama-3.1-8B-Instruct";
        sparse(llama + "/blobs/a", 14.96, 3);
        age(path(llama + "/blobs"), 3);
        age(path(llama), 3);
        const std::string mistral = ".cache/huggingface/hub/models--mistralai--Mistral-7B-Instruct-v0.3";
        sparse(mistral + "/blobs/b", 13.5, 95);
        age(path(mistral + "/blobs"), 95);
        age(path(mistral), 95);
        const std::string gguf = "lmstudio-community/Qwen2.5-7B-Instruct-GGUF/Qwen2.5-7B-Instruct-Q4_K_M.gguf";
        sparse(".lmstudio/models/" + gguf, 4.36, 12);
        sparse(".cache/lm-studio/models/" + gguf, 4.36, 40);
        sparse(".npm/_cacache/content-v2/x", 1.24);
        sparse(".cache/uv/wheels-v1/y", 3.41);
        sparse(".cache/pip/http-v2/z", 0.78);
    }

private:
    std::string m_home;
};

} // namespace

void writeSampleStores(const std::string& home)
{
    SampleStores(home).fill();
}

namespace {

// A home folder with model stores and caches of sparse files (sizes without disk use), the panel over
// it as the popover's storage tab holds it, and a one-thread pool that can be held so a clean stays in
// progress while it is drawn.
class StorageSample
{
public:
    StorageSample(bool filled, AppTheme theme)
        : m_home(m_dir.filePath(QStringLiteral("home")).toStdString())
        , m_tracker(m_dir.filePath(QStringLiteral("records")))
    {
        std::filesystem::create_directories(m_home);
        if (filled)
            writeSampleStores(m_home);
        const StorageRoots roots = StorageRoots::forHome(m_home);
        m_pool.setMaxThreadCount(1);
        view = std::make_unique<ModelInventoryView>(std::make_shared<ModelInventoryEngine>(roots),
            std::make_shared<DeveloperCacheEngine>(roots), m_clock, unowned(m_tracker), &m_pool);
        usePopoverPalette(*view, theme);
        view->setAttribute(Qt::WA_DontShowOnScreen);
        view->resize(kPopoverPanelWidth, 400);
        view->show();
        settle();
    }
    ~StorageSample()
    {
        release();
        m_pool.waitForDone();
        view.reset();
    }

    std::string path(const std::string& relative) const { return m_home + "/" + relative; }

    void settle()
    {
        QElapsedTimer timer;
        timer.start();
        auto& vm = view->viewModel();
        // Quiet for a few rounds: a clean's end may start a rescan.
        for (int quiet = 0; quiet < 3 && timer.elapsed() < kSettleBoundMs;) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            quiet = vm.isScanning() || vm.isCleaning() ? 0 : quiet + 1;
        }
    }
    void hold() { m_hold.emplace(m_pool); }
    void release() { m_hold.reset(); }
    // At the height the popover's scrolling column gives the view: all it asks for, once its work is in.
    QImage grab(const Palette& palette)
    {
        QApplication::processEvents();
        if (!m_hold)
            settle();
        return grabWidget(*view, palette, 2, QSize(kPopoverPanelWidth, contentHeight(*view, kPopoverPanelWidth)));
    }
    ModelRow* modelRow(const std::string& name) const
    {
        for (ModelRow* r : view->modelsTab().rows())
            if (r->model().name == name)
                return r;
        return nullptr;
    }
    CacheRow* cacheRow(const std::string& name) const
    {
        for (CacheRow* r : view->cachesTab().rows())
            if (r->item().name == name)
                return r;
        return nullptr;
    }

    std::unique_ptr<ModelInventoryView> view;

private:
    QTemporaryDir m_dir;
    std::string m_home;
    AssistanceTracker m_tracker;
    FakeClock m_clock;
    QThreadPool m_pool;
    std::optional<PoolHold> m_hold;
};

using Scene = std::function<QImage(StorageSample&, const Palette&)>;

void addScene(SnapshotRegistry& registry, const QString& name, bool filled, Scene scene)
{
    registry.add(QStringLiteral("storage-") + name, [filled, scene](const SnapshotContext& c) {
        StorageSample sample(filled && c.data.kind() == SampleData::Kind::sample, c.theme);
        return scene(sample, c.palette);
    });
}

QImage modelsFull(StorageSample& s, const Palette& p)
{
    if (ModelRow* row = s.modelRow("llama3.1:70b"))
        row->selectButton()->click();
    return s.grab(p);
}

QImage modelsConfirm(StorageSample& s, const Palette& p)
{
    s.view->viewModel().setActiveFilter(InventoryFilter::archiveCandidates);
    if (s.view->modelsTab().quickCleanButton())
        s.view->modelsTab().quickCleanButton()->click();
    return s.grab(p);
}

// A second tag of llama3.1:8b, over the same blob: deleting it frees nothing, and the confirmation says
// which model keeps the blob.
QImage modelsConfirmShared(StorageSample& s, const Palette& p)
{
    const std::string manifests = ".ollama/models/manifests/registry.ollama.ai/library/llama3.1/";
    std::error_code error;
    std::filesystem::copy_file(s.path(manifests + "8b"), s.path(manifests + "latest"), error);
    s.view->viewModel().scan();
    s.settle();
    if (ModelRow* row = s.modelRow("llama3.1:latest"))
        row->deleteButton()->click();
    return s.grab(p);
}

QImage modelsDeleting(StorageSample& s, const Palette& p)
{
    if (ModelRow* row = s.modelRow("qwen2.5-coder:7b"))
        row->deleteButton()->click();
    s.hold();
    if (PillButton* del = s.view->modelsTab().deleteButton())
        del->click();
    QImage image = s.grab(p);
    s.release();
    s.settle();
    return image;
}

QImage modelsPartialFailure(StorageSample& s, const Palette& p)
{
    const std::string gguf
        = ".lmstudio/models/lmstudio-community/Qwen2.5-7B-Instruct-GGUF/Qwen2.5-7B-Instruct-Q4_K_M.gguf";
    if (ModelRow* row = s.modelRow("llama3.1:8b"))
        row->selectButton()->click();
    for (ModelRow* row : s.view->modelsTab().rows()) {
        if (row->model().path == s.path(gguf))
            row->selectButton()->click();
    }
    // One of the two turns into a folder after the scan: the engine refuses it.
    if (std::filesystem::exists(s.path(gguf))) {
        std::filesystem::remove(s.path(gguf));
        std::filesystem::create_directories(s.path(gguf + "/x"));
    }
    if (PillButton* clean = s.view->modelsTab().selectionCleanButton())
        clean->click();
    if (PillButton* del = s.view->modelsTab().deleteButton())
        del->click();
    s.settle();
    return s.grab(p);
}

QImage cachesTab(StorageSample& s, const Palette& p)
{
    s.view->setSelectedStorageTab(StorageTab::caches);
    return s.grab(p);
}

QImage cachesConfirm(StorageSample& s, const Palette& p)
{
    s.view->setSelectedStorageTab(StorageTab::caches);
    if (CacheRow* row = s.cacheRow("Hugging Face Hub"))
        row->purgeButton()->click();
    return s.grab(p);
}

QImage cachesDeleting(StorageSample& s, const Palette& p)
{
    s.view->setSelectedStorageTab(StorageTab::caches);
    s.hold();
    if (PillButton* clean = s.view->cachesTab().safeCleanButton())
        clean->click();
    QImage image = s.grab(p);
    s.release();
    s.settle();
    return image;
}

QImage cachesFailure(StorageSample& s, const Palette& p)
{
    s.view->setSelectedStorageTab(StorageTab::caches);
    // The npm cache is swapped for a link after the scan; its purge is refused.
    if (std::filesystem::exists(s.path(".npm/_cacache"))) {
        std::filesystem::rename(s.path(".npm/_cacache"), s.path("npm-elsewhere"));
        std::filesystem::create_directory_symlink(s.path("npm-elsewhere"), s.path(".npm/_cacache"));
    }
    if (CacheRow* row = s.cacheRow("npm Cache"))
        row->purgeButton()->click();
    s.settle();
    return s.grab(p);
}

// The banner of a safe clean that freed a little, could not clean one cache and left part of another
// (a mount point inside it, say).
QImage cachesSafeCleanFailure(StorageSample& s, const Palette& p)
{
    s.view->setSelectedStorageTab(StorageTab::caches);
    DeveloperCacheEngine::SafePurge purge;
    purge.reclaimedBytes = 1288490188;
    purge.clearedNames = {"Python pip Cache", "Python uv Cache"};
    purge.incompleteNames = {"Python uv Cache"};
    purge.failures = {{"npm Cache", "The cache folder is a link"}};
    s.view->showResult(StorageTexts::safeCachesPurged(purge));
    return s.grab(p);
}

// The banner of a single purge that left part of the cache (a folder mounted inside it).
QImage cachesPartialPurge(StorageSample& s, const Palette& p)
{
    s.view->setSelectedStorageTab(StorageTab::caches);
    if (CacheRow* row = s.cacheRow("npm Cache")) {
        DeveloperCacheEngine::PurgeResult result;
        result.freedBytes = 214748364;
        result.incomplete = "left a mount point in place: mounted";
        s.view->showResult(StorageTexts::cachePurged(row->item(), result, false));
    }
    return s.grab(p);
}

} // namespace

void registerStorageSnapshots(SnapshotRegistry& registry)
{
    addScene(registry, QStringLiteral("models-full"), true, modelsFull);
    addScene(
        registry, QStringLiteral("models-empty"), false, [](StorageSample& s, const Palette& p) { return s.grab(p); });
    addScene(registry, QStringLiteral("models-confirm"), true, modelsConfirm);
    addScene(registry, QStringLiteral("models-confirm-shared"), true, modelsConfirmShared);
    addScene(registry, QStringLiteral("models-deleting"), true, modelsDeleting);
    addScene(registry, QStringLiteral("models-partial-failure"), true, modelsPartialFailure);
    addScene(registry, QStringLiteral("caches-full"), true, cachesTab);
    addScene(registry, QStringLiteral("caches-empty"), false, cachesTab);
    addScene(registry, QStringLiteral("caches-confirm"), true, cachesConfirm);
    addScene(registry, QStringLiteral("caches-deleting"), true, cachesDeleting);
    addScene(registry, QStringLiteral("caches-failure"), true, cachesFailure);
    addScene(registry, QStringLiteral("caches-safe-clean-failure"), true, cachesSafeCleanFailure);
    addScene(registry, QStringLiteral("caches-partial-purge"), true, cachesPartialPurge);
}
