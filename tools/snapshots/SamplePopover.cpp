#include "SamplePopover.h"

#include "SampleAdvisor.h"
#include "SampleData.h"

#include "core/CorrectiveActionEngine.h"
#include "engines/DashboardViewModel.h"
#include "popover/PopoverStyle.h"
#include "popover/PopoverTabPanel.h"
#include "popover/PopoverView.h"
#include "records/HelperService.h"
#include "records/PrivacyMetricsEngine.h"
#include "records/ThemeManager.h"
#include "settings/NotificationPermission.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"
#include "storage/ModelInventoryViewModel.h"
#include "ui/ViewSettings.h"
#include "views/privacy/OnboardingView.h"
#include "views/storage/ModelInventoryView.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"
#include "support/Unowned.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QThreadPool>

#include <unistd.h>

namespace {

class NoInhibitor : public platform::SleepInhibitor
{
public:
    bool acquire() override { return false; }
    void release() override { }
};

class NoNotifier : public platform::UserNotifier
{
public:
    void post(const std::string&, const std::string&) override { }
};

// The setup page of the first-run flow over a helper that is not installed and a desktop that shows
// notifications.
class NoHelper : public HelperService
{
public:
    PrivacyMetricsEngine::HelperStatus status() override { return {}; }
    Outcome install() override { return {false, QStringLiteral("not in a snapshot")}; }
    Outcome uninstall() override { return {true, {}}; }
};

class Notifications : public NotificationPermission
{
public:
    bool request() override { return true; }
};

// A process of this user in the sample's /proc, where a freeze looks for the process it was given.
void writeProcess(const QString& proc, int pid, const QByteArray& comm)
{
    const QString folder = proc + QLatin1Char('/') + QString::number(pid);
    QDir().mkpath(folder);
    const QByteArray id = QByteArray::number(pid);
    const QByteArray uid = QByteArray::number(::getuid());
    QFile stat(folder + QStringLiteral("/stat"));
    if (stat.open(QIODevice::WriteOnly))
        stat.write(id + " (" + comm + ") S 1 " + id + " " + id
            + " 0 -1 4194304 100 0 0 0 10 5 0 0 20 0 1 0 1000 1000000 250 18446744073709551615\n");
    QFile status(folder + QStringLiteral("/status"));
    if (status.open(QIODevice::WriteOnly))
        status.write("Name:\t" + comm + "\nUid:\t" + uid + "\t" + uid + "\t" + uid + "\t" + uid + "\n");
}

} // namespace

PersonaSample::PersonaSample()
    : watcher(ProcessWatcher::Options {dir.filePath(QStringLiteral("proc")).toStdString(), {}, 1})
{
    QDir(dir.path()).mkpath(QStringLiteral("proc"));
    // The process the freeze picture freezes.
    writeProcess(dir.filePath(QStringLiteral("proc")), 3300, "rust-analyzer-p");
    PersonaEngine::Options o;
    o.stateFilePath = dir.filePath(QStringLiteral("suspended.json"));
    o.userDefaults = &defaults;
    o.assistanceTracker = &tracker;
    o.sleepInhibitor = std::make_shared<NoInhibitor>();
    o.notifier = std::make_shared<NoNotifier>();
    o.procRoot = dir.filePath(QStringLiteral("proc")).toStdString();
    o.sysRoot = dir.filePath(QStringLiteral("sys")).toStdString();
    o.updatesPersonaTracker = false;
    engine = std::make_unique<PersonaEngine>(xpc, watcher, ollama, memory, std::nullopt, SavedYouMetrics::fresh(), o);
    viewModel = std::make_unique<PersonaViewModel>(*engine);
}

PersonaSample::~PersonaSample() = default;

SampleEngines::SampleEngines(bool filled, PersonaSample& personas)
{
    if (filled)
        writeSampleStores(home.path().toStdString());
    const StorageRoots roots = StorageRoots::forHome(home.path().toStdString());
    inventory = std::make_shared<ModelInventoryEngine>(roots);
    caches = std::make_shared<DeveloperCacheEngine>(roots);
    actions = std::make_unique<CorrectiveActionEngine>(
        personas.xpc, personas.ollama, inventory.get(), caches.get(), *personas.engine, &personas.tracker);
}

SampleEngines::~SampleEngines()
{
    // Work the views gave the engines on the pool ends before the engines go.
    QThreadPool::globalInstance()->waitForDone();
}

AppsSample::AppsSample()
{
    QDir root(dir.path());
    root.mkpath(QStringLiteral("applications"));
    const auto write = [&](const QString& path, const QByteArray& text) {
        QFile f(root.filePath(path));
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    };
    // Icons as image files, so the pictures do not depend on the machine's icon theme.
    const auto icon = [&](const QString& name, const QColor& color, const QString& letter) {
        QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(0, 0, 64, 64), 14, 14);
        p.setPen(Qt::white);
        QFont font = p.font();
        font.setPixelSize(40);
        font.setBold(true);
        p.setFont(font);
        p.drawText(QRectF(0, 0, 64, 64), Qt::AlignCenter, letter);
        p.end();
        image.save(root.filePath(name + QStringLiteral(".png")));
        return root.filePath(name + QStringLiteral(".png")).toUtf8();
    };
    write(QStringLiteral("applications/org.example.Editor.desktop"),
        "[Desktop Entry]\nType=Application\nName=Editor\nExec=code %F\nIcon="
            + icon(QStringLiteral("editor"), QColor(0x23, 0x7A, 0xCC), QStringLiteral("E")) + "\n");
    write(QStringLiteral("applications/org.example.Terminal.desktop"),
        "[Desktop Entry]\nType=Application\nName=Terminal\nExec=xterm\nIcon="
            + icon(QStringLiteral("terminal"), QColor(0x30, 0x30, 0x30), QStringLiteral(">")) + "\n");
    const auto process = [&](int pid, const QString& exe) {
        const QString p = QStringLiteral("proc/%1").arg(pid);
        root.mkpath(p);
        QFile::link(QStringLiteral("/usr/bin/") + exe, root.filePath(p + QStringLiteral("/exe")));
        write(p + QStringLiteral("/comm"), exe.toUtf8() + "\n");
    };
    process(1200, QStringLiteral("code"));
    process(1201, QStringLiteral("code"));
    process(1300, QStringLiteral("xterm"));
}

std::shared_ptr<platform::DesktopAppRegistry> AppsSample::registry() const
{
    return std::make_shared<platform::DesktopAppRegistry>(
        dir.filePath(QStringLiteral("proc")), QStringList {dir.filePath(QStringLiteral("applications"))});
}

// One more tick for the sample machine: loaded models, busy processes, connections, a temperature.
void publishBusyTick(DashboardViewModel& model)
{
    for (int step = 0; step < 2; ++step) {
        DashboardSample s;
        s.cpuKind = DashboardSample::CpuKind::measured;
        s.cpuLoad.perCore = {0.62, 0.35, 0.18, 0.91, 0.05, 0.44, 0.27, 0.73, 0.12, 0.58, 0.33, 0.81};
        s.cpuLoad.performanceSum = 5.39; // the sample machine has one core kind
        s.cpuLoad.userTicks = 70;
        s.cpuLoad.systemTicks = 30;
        s.cpuLoad.totalTicks = 400;
        s.processorCount = 12;
        s.memory.totalGB = 32;
        s.memory.aiModelsGB = 10.6;
        s.memory.systemUsedGB = 32 - SampleData::kHeadroomGB - 10.6;
        s.memory.freeGB = 3.1;
        s.memory.inactiveGB = SampleData::kHeadroomGB - 3.1;
        s.memory.swapUsedGB = 1.2;
        s.models = {{"llama3.1:8b", "llama3.1:8b", 4.9, true, std::nullopt, 5.6},
            {"qwen2.5-coder:7b", "qwen2.5-coder:7b", 4.7, true, std::nullopt, 3.8},
            {SampleData::kLongModelName, SampleData::kLongModelName, 8.9, true, std::nullopt, 1.2}};
        s.thermal = QVThermalState::forLevel(QVThermalState::Level::warm);
        s.chipTemperature = 47.8;
        s.gpuBusyPercent = 34;
        s.network = platform::ByteTotals {step * 48'128u, step * 1'229'312u};
        s.processes = std::vector<RunningProcess> {{1200, "code", 420, 123.46, {}},
            {2210, "ollama_llama_server", 5200, 88.1, {}}, {1300, "xterm", 30, 12.5, {}},
            {3300, SampleData::kLongProcessName, 900, 9.0, {}}, {3400, "ninja", 20, 2.0, {}}};
        s.memoryProcesses = std::vector<RunningProcess> {{2210, "ollama_llama_server", 5200, 88.1, {}},
            {1733, "firefox-esr", 3420, 1.2, {}}, {3300, SampleData::kLongProcessName, 900, 9.0, {}},
            {1200, "code", 420, 123.46, {}}, {1201, "gnome-shell", 380, 0.8, {}}};
        s.memoryUse = platform::MemoryUse {(43ull << 30) / 2, (3ull << 30) - (1ull << 28), (3ull << 30) / 2};
        s.cpuFrequencyGHz = 3.42;
        s.power = DashboardSample::Power {17.6, 3.1};
        s.connections = {{"192.168.1.20:51544", "140.82.112.4:443", 1200, "code"},
            {"192.168.1.20:40312", "104.18.32.7:443", 2210, "ollama"},
            {"192.168.1.20:40388", "151.101.1.69:443", 3300, SampleData::kLongProcessName}};
        s.localAddress = "192.168.1.20";
        model.publishSample(s);
    }
}

void usePopoverPalette(QWidget& frame, AppTheme theme)
{
    QPalette palette = frame.palette();
    palette.setColor(QPalette::WindowText, PopoverStyle::foreground(theme));
    palette.setColor(QPalette::Window, PopoverStyle::background(theme));
    frame.setPalette(palette);
}

SamplePopover::SamplePopover(const SnapshotContext& c, int tab, bool telemetry, int onboardingStep,
    const std::function<void(PopoverEngines&)>& adjustEngines)
    : engines(c.data.kind() == SampleData::Kind::sample, personas)
{
    if (c.data.kind() == SampleData::Kind::sample && c.data.dashboard().loadedModels().empty())
        publishBusyTick(c.data.dashboard());
    c.data.settings().setUseTelemetryCharts(telemetry);
    c.data.settings().setPopoverSelectedTab(tab);
    c.data.settings().setHasFinishedOnboarding(onboardingStep == 0);
    directory.waitForIdle();
    PopoverEngines popoverEngines;
    popoverEngines.actionEngine = engines.actions.get();
    // The sample waits for the global pool before its tracker goes.
    popoverEngines.assistanceTracker = unowned(personas.tracker);
    popoverEngines.inventoryEngine = engines.inventory;
    popoverEngines.developerCacheEngine = engines.caches;
    popoverEngines.helperService = std::make_shared<NoHelper>();
    popoverEngines.notificationPermission = std::make_shared<Notifications>();
    // The sample machine as the dashboard shows it, 32 GB with its headroom available, ranked for the
    // card's fixed answers.
    SampleData* data = &c.data;
    popoverEngines.suggestionCard = [data](DashboardViewModel& dashboard, QWidget* parent) {
        return sampleSuggestionCard(*data, dashboard, 32, SampleData::kHeadroomGB, parent);
    };
    if (adjustEngines)
        adjustEngines(popoverEngines);
    view = std::make_unique<PopoverView>(c.data.dashboard(), *personas.viewModel, PopoverHooks {}, popoverEngines,
        c.data.settings(), ThemeManager::shared(), c.data.clock(), &directory);
    if (onboardingStep > 0 && view->onboarding())
        view->onboarding()->setCurrentStep(onboardingStep);
}

SamplePopover::~SamplePopover()
{
    // The view's work on the pool (action cards, assistance records) ends before the engines go.
    QThreadPool::globalInstance()->waitForDone();
    view.reset();
}

void SamplePopover::show()
{
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->show();
    directory.waitForIdle();
    auto* storage = view->tabPanel() ? qobject_cast<ModelInventoryView*>(view->tabPanel()->currentWidget()) : nullptr;
    QElapsedTimer timer;
    timer.start();
    while (storage && storage->viewModel().isScanning() && timer.elapsed() < kSettleBoundMs)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    settleBackgroundWork();
}
