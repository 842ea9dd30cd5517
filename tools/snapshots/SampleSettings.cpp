#include "SampleSettings.h"

#include "SampleData.h"

#include "engines/MachineFactsModel.h"
#include "records/ThemeManager.h"
#include "settings/LoginItem.h"
#include "settings/PageScrollFlattener.h"
#include "settings/SettingsSidebar.h"
#include "settings/SettingsView.h"
#include "storage/DeveloperCacheEngine.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"

#include <QApplication>
#include <QHash>
#include <QStyle>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>

namespace {

class QuietNotifier : public platform::UserNotifier
{
public:
    void post(const std::string&, const std::string&) override { }
};

class NoSleepInhibitor : public platform::SleepInhibitor
{
public:
    bool acquire() override { return false; }
    void release() override { }
};

// The palette the settings window gives its pages in the current theme.
QPalette settingsPalette(const SnapshotContext& c)
{
    static QHash<int, QPalette> palettes;
    const int key = static_cast<int>(c.theme);
    if (!palettes.contains(key)) {
        SampleSettings sample(c.data);
        palettes.insert(key, sample.view->palette());
    }
    return palettes.value(key);
}

} // namespace

SampleSettings::SampleSettings(SampleData& data)
    : memory((dir.path() + QStringLiteral("/proc")).toStdString())
    , ollama("http://127.0.0.1:9")
    , tracker(dir.path())
{
    const std::string home = dir.filePath(QStringLiteral("home")).toStdString();
    if (data.kind() == SampleData::Kind::sample)
        writeSampleStores(home);
    const StorageRoots roots = StorageRoots::forHome(home);
    inventory = std::make_shared<ModelInventoryEngine>(roots);
    caches = std::make_shared<DeveloperCacheEngine>(roots);

    PersonaEngine::Options options;
    options.stateFilePath = dir.filePath(QStringLiteral("suspended.json"));
    options.userDefaults = &data.defaults();
    options.assistanceTracker = &tracker;
    options.sleepInhibitor = std::make_shared<NoSleepInhibitor>();
    options.notifier = std::make_shared<QuietNotifier>();
    options.procRoot = dir.filePath(QStringLiteral("proc")).toStdString();
    options.sysRoot = dir.filePath(QStringLiteral("sys")).toStdString();
    options.updatesPersonaTracker = false;
    engine = std::make_unique<PersonaEngine>(
        xpc, watcher, ollama, memory, std::nullopt, SavedYouMetrics::fresh(), options);
    if (data.kind() == SampleData::Kind::sample) {
        // The configuration is stored in the sample's settings, so a later window finds the entry there.
        PersonaConfiguration configuration = engine->configuration();
        const std::string entry = SampleData::kLongListEntry;
        for (auto* list :
            {&configuration.compileModeTriggers, &configuration.customFreezeList, &configuration.neverPauseWhitelist}) {
            if (std::find(list->begin(), list->end(), entry) == list->end())
                list->push_back(entry);
        }
        engine->updateConfiguration(configuration);
    }
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
    services.storageInventoryEngine = inventory;
    services.developerCacheEngine = caches;
    powerProfiles.running = data.kind() == SampleData::Kind::sample;
    services.powerProfiles = &powerProfiles;
    machineFacts = std::make_shared<MachineFactsModel>(data.machineFacts());
    services.machineFacts = machineFacts;
    view = std::make_unique<SettingsView>(data.dashboard(), *viewModel, *inventory, services);
}

SampleSettings::~SampleSettings()
{
    // A page's scans on the pool end before their engines go.
    QThreadPool::globalInstance()->waitForDone();
    view.reset();
}

QImage grabSettingsPage(QWidget& page, const SnapshotContext& c, bool insideLongPage)
{
    QWidget area;
    area.setAutoFillBackground(true);
    area.setPalette(settingsPalette(c));
    auto* column = new QVBoxLayout(&area);
    column->setContentsMargins(24, 24, 24, 60);
    column->setSpacing(16);
    column->addWidget(&page);
    column->addStretch(1);
    // As the settings window hosts its pages: one that scrolls itself is as tall as its content.
    PageScrollFlattener::flattenPage(&page);
    const int areaWidth = SettingsView::kWidth - SettingsSidebar::kWidth - 1;
    const auto heightAt = [&](int width) {
        return column->hasHeightForWidth() ? column->totalHeightForWidth(width) : area.sizeHint().height();
    };
    // Shown first, so that what the page loads in the background is in place when it is measured.
    area.setAttribute(Qt::WA_DontShowOnScreen);
    area.resize(areaWidth, SettingsView::kHeight);
    area.show();
    settleBackgroundWork();
    int width = areaWidth;
    if (insideLongPage || heightAt(areaWidth) > SettingsView::kHeight) {
        width -= area.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        // Narrower, the page's texts may wrap onto more lines: measured again at the width it is grabbed at.
        area.resize(width, area.height());
        settleBackgroundWork();
    }
    const QImage image
        = grabWidget(area, c.palette, 2.0, QSize(width, std::max(heightAt(width), SettingsView::kHeight)));
    page.setParent(nullptr);
    return image;
}
