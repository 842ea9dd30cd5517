#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "core/PersonaEngine.h"
#include "core/PersonaViewModel.h"
#include "core/ProcessWatcher.h"
#include "core/XPCConnection.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"
#include "records/ThemeManager.h"
#include "settings/LoginItem.h"
#include "settings/SettingsPages.h"
#include "settings/SettingsTour.h"
#include "settings/SettingsView.h"
#include "settings/TourCard.h"
#include "storage/ModelInventoryEngine.h"
#include "views/privacy/HelpGuideView.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"

#include <QApplication>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTemporaryDir>

namespace {

class QuietNotifier : public platform::UserNotifier
{
public:
    void post(const std::string&, const std::string&) override { }
};

class NoInhibitor : public platform::SleepInhibitor
{
public:
    bool acquire() override { return false; }
    void release() override { }
};

// A persona engine over empty fixture trees, in the helper client's test mode, with its settings and
// counters in a temporary folder; the counters hold a few protected builds.
struct SettingsSample
{
    explicit SettingsSample(SampleData& data)
        : xpc(true)
        , memory((dir.path() + QStringLiteral("/proc")).toStdString())
        , ollama("http://127.0.0.1:9")
        , tracker(dir.path())
    {
        PersonaEngine::Options options;
        options.stateFilePath = dir.filePath(QStringLiteral("suspended.json"));
        options.userDefaults = &data.defaults();
        options.assistanceTracker = &tracker;
        options.sleepInhibitor = std::make_shared<NoInhibitor>();
        options.notifier = std::make_shared<QuietNotifier>();
        options.procRoot = dir.filePath(QStringLiteral("proc")).toStdString();
        options.sysRoot = dir.filePath(QStringLiteral("sys")).toStdString();
        options.updatesPersonaTracker = false;
        engine = std::make_unique<PersonaEngine>(
            xpc, watcher, ollama, memory, std::nullopt, SavedYouMetrics::fresh(), options);
        tracker.record(AssistanceCategory::computing, "Build Protected", "sample", "~40s saved", 12.96, 0, 27);
        viewModel = std::make_unique<PersonaViewModel>(*engine);
        // The refresh lands through the event loop.
        QFuture<void> refreshed = viewModel->refresh();
        while (!refreshed.isFinished())
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        SettingsView::Services services;
        services.themeManager = &ThemeManager::shared();
        services.viewSettings = &data.settings();
        services.clock = &data.clock();
        services.assistanceTracker = &tracker;
        services.loginItem = std::make_shared<LoginItem>(
            dir.filePath(QStringLiteral("autostart/quorvane-pro.desktop")), QStringLiteral("/usr/bin/quorvane-pro"));
        view = std::make_unique<SettingsView>(data.dashboard(), *viewModel, inventory, services);
    }

    QTemporaryDir dir;
    XPCConnection xpc;
    ProcessWatcher watcher;
    MemoryEngine memory;
    OllamaEngine ollama;
    AssistanceTracker tracker;
    ModelInventoryEngine inventory {StorageRoots::forHome("/home/dev")};
    std::unique_ptr<PersonaEngine> engine;
    std::unique_ptr<PersonaViewModel> viewModel;
    std::unique_ptr<SettingsView> view;
};

QImage window(const SnapshotContext& c, int tab)
{
    SettingsSample sample(c.data);
    sample.view->setActiveTab(tab);
    return grabWidget(*sample.view, c.palette, 2.0, sample.view->size());
}

// The whole of a page, however long, at the width the window gives it.
QImage wholePage(const SnapshotContext& c, int tab)
{
    SettingsSample sample(c.data);
    QWidget* page = SettingsPages::create(tab, *sample.view);
    page->setAutoFillBackground(true);
    page->setPalette(sample.view->palette());
    QImage image = grabWidget(*page, c.palette, 2.0,
        QSize(572, page->heightForWidth(572) > 0 ? page->heightForWidth(572) : page->sizeHint().height()));
    delete page;
    return image;
}

QImage tour(const SnapshotContext& c, int step)
{
    SettingsSample sample(c.data);
    sample.view->tour().start();
    for (int i = 0; i < step; ++i)
        sample.view->tour().next();
    return grabWidget(*sample.view, c.palette, 2.0, sample.view->size());
}

} // namespace

void registerSettingsSnapshots(SnapshotRegistry& registry)
{
    const auto& tabs = SettingsView::sidebarTabs();
    for (int tab = 0; tab < SettingsView::kTabCount; ++tab) {
        QString slug = QString::fromUtf8(tabs[static_cast<std::size_t>(tab)].title).toLower();
        slug.replace(QRegularExpression(QStringLiteral("[^a-z]+")), QStringLiteral("-"));
        registry.add(QStringLiteral("settings-%1-%2").arg(tab, 2, 10, QLatin1Char('0')).arg(slug),
            [tab](const SnapshotContext& c) { return window(c, tab); });
    }
    for (int tab : {0, 1, 2, 3, 10})
        registry.add(QStringLiteral("settings-page-%1").arg(tab, 2, 10, QLatin1Char('0')),
            [tab](const SnapshotContext& c) { return wholePage(c, tab); });
    for (int step = 0; step < SettingsTour::kStepCount; ++step)
        registry.add(QStringLiteral("settings-tour-step%1").arg(step),
            [step](const SnapshotContext& c) { return tour(c, step); });
    registry.add(QStringLiteral("help-guide"), [](const SnapshotContext& c) {
        HelpGuideView guide;
        guide.setAutoFillBackground(true);
        return grabWidget(guide, c.palette, 2.0, QSize(560, guide.heightForWidth(560)));
    });
}
