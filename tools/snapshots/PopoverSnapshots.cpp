#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "core/PersonaEngine.h"
#include "core/PersonaViewModel.h"
#include "core/ProcessWatcher.h"
#include "core/UserDefaults.h"
#include "core/XPCConnection.h"
#include "engines/DashboardViewModel.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "popover/AppDirectory.h"
#include "popover/PopoverState.h"
#include "popover/PopoverTabPanel.h"
#include "popover/PopoverView.h"
#include "popover/ProcessListView.h"
#include "popover/SymbolButton.h"
#include "records/AssistanceTracker.h"
#include "records/PrivacyMetricsEngine.h"
#include "records/ThemeManager.h"
#include "settings/NotificationPermission.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"
#include "storage/ModelInventoryViewModel.h"
#include "ui/ViewSettings.h"
#include "views/dashboard/MemorySplitView.h"
#include "views/dashboard/ThermalIndicatorView.h"
#include "views/privacy/HelperService.h"
#include "views/privacy/OnboardingView.h"
#include "views/storage/ModelInventoryView.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QVBoxLayout>

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

// A persona engine over an empty machine, on the helper client's test mode: nothing is suspended and
// no persona is active.
struct PersonaSample
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath(QStringLiteral("personas.conf"))};
    AssistanceTracker tracker {dir.path()};
    XPCConnection xpc {true};
    ProcessWatcher watcher;
    OllamaEngine ollama {"http://127.0.0.1:9"};
    MemoryEngine memory {dir.filePath(QStringLiteral("proc")).toStdString()};
    std::unique_ptr<PersonaEngine> engine;
    std::unique_ptr<PersonaViewModel> viewModel;

    PersonaSample()
        : watcher(ProcessWatcher::Options {dir.filePath(QStringLiteral("proc")).toStdString(), {}, 1})
    {
        QDir(dir.path()).mkpath(QStringLiteral("proc"));
        PersonaEngine::Options o;
        o.stateFilePath = dir.filePath(QStringLiteral("suspended.json"));
        o.userDefaults = &defaults;
        o.assistanceTracker = &tracker;
        o.sleepInhibitor = std::make_shared<NoInhibitor>();
        o.notifier = std::make_shared<NoNotifier>();
        o.procRoot = dir.filePath(QStringLiteral("proc")).toStdString();
        o.sysRoot = dir.filePath(QStringLiteral("sys")).toStdString();
        o.updatesPersonaTracker = false;
        engine
            = std::make_unique<PersonaEngine>(xpc, watcher, ollama, memory, std::nullopt, SavedYouMetrics::fresh(), o);
        viewModel = std::make_unique<PersonaViewModel>(*engine);
    }
};

// Two applications installed and running: an editor (one icon for its two processes) and a terminal.
struct AppsSample
{
    QTemporaryDir dir;
    AppsSample()
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
    std::shared_ptr<platform::DesktopAppRegistry> registry() const
    {
        return std::make_shared<platform::DesktopAppRegistry>(
            dir.filePath(QStringLiteral("proc")), QStringList {dir.filePath(QStringLiteral("applications"))});
    }
};

// One more tick for the sample machine: loaded models, busy processes, connections, a temperature.
void publishBusyTick(DashboardViewModel& model)
{
    for (int step = 0; step < 2; ++step) {
        DashboardSample s;
        s.cpuKind = DashboardSample::CpuKind::measured;
        s.cpuLoad.perCore = {0.62, 0.35, 0.18, 0.91, 0.05, 0.44, 0.27, 0.73, 0.12, 0.58, 0.33, 0.81};
        s.cpuLoad.performanceSum = 3.55; // CPUs 0-7
        s.cpuLoad.efficiencySum = 1.84; // CPUs 8-11
        s.cpuLoad.userTicks = 70;
        s.cpuLoad.systemTicks = 30;
        s.cpuLoad.totalTicks = 400;
        s.processorCount = 12;
        s.memory.totalGB = 32;
        s.memory.aiModelsGB = 9.4;
        s.memory.systemUsedGB = 32 - SampleData::kHeadroomGB - 9.4;
        s.memory.freeGB = 3.1;
        s.memory.inactiveGB = SampleData::kHeadroomGB - 3.1;
        s.memory.swapUsedGB = 1.2;
        s.models = {{"llama3.1:8b", "llama3.1:8b", 4.9, true, std::nullopt, 5.6},
            {"qwen2.5-coder:7b", "qwen2.5-coder:7b", 4.7, true, std::nullopt, 3.8}};
        s.thermal = QVThermalState::forLevel(QVThermalState::Level::warm);
        s.chipTemperature = 47.8;
        s.gpuBusyPercent = 34;
        s.network = platform::ByteTotals {step * 48'128u, step * 1'229'312u};
        s.processes = std::vector<RunningProcess> {{1200, "code", 420, 123.46, {}},
            {2210, "ollama_llama_server", 5200, 88.1, {}}, {1300, "xterm", 30, 12.5, {}},
            {3300, "cc1plus-with-a-rather-long-process-name", 900, 9.0, {}}, {3400, "ninja", 20, 2.0, {}}};
        s.connections = {{"192.168.1.20:51544", "140.82.112.4:443", 1200, "code"},
            {"192.168.1.20:40312", "104.18.32.7:443", 2210, "ollama"}};
        s.localAddress = "192.168.1.20";
        model.publishSample(s);
    }
}

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

struct Popover
{
    PersonaSample personas;
    AppsSample apps;
    AppDirectory directory {[this] { return apps.registry(); }};
    QTemporaryDir home;
    std::unique_ptr<PopoverView> view;

    // `onboardingStep` above 0 shows the first-run flow at that step instead of the dashboard.
    Popover(const SnapshotContext& c, int tab, bool telemetry = false, int onboardingStep = 0)
    {
        if (c.data.kind() == SampleData::Kind::sample && c.data.dashboard().loadedModels().empty())
            publishBusyTick(c.data.dashboard());
        c.data.settings().setUseTelemetryCharts(telemetry);
        c.data.settings().setPopoverSelectedTab(tab);
        c.data.settings().setHasFinishedOnboarding(onboardingStep == 0);
        directory.waitForIdle();
        // The storage tab scans a home of its own: the sample stores, or nothing without sample data.
        if (c.data.kind() == SampleData::Kind::sample)
            writeSampleStores(home.path().toStdString());
        const StorageRoots roots = StorageRoots::forHome(home.path().toStdString());
        PopoverEngines engines;
        engines.inventoryEngine = std::make_shared<ModelInventoryEngine>(roots);
        engines.developerCacheEngine = std::make_shared<DeveloperCacheEngine>(roots);
        engines.helperService = std::make_shared<NoHelper>();
        engines.notificationPermission = std::make_shared<Notifications>();
        view = std::make_unique<PopoverView>(c.data.dashboard(), *personas.viewModel, PopoverHooks {}, engines,
            c.data.settings(), ThemeManager::shared(), c.data.clock(), &directory);
        if (onboardingStep > 0 && view->onboarding())
            view->onboarding()->setCurrentStep(onboardingStep);
    }
    // Waits for the storage tab's scan, when it shows.
    void settle()
    {
        auto* storage
            = view->tabPanel() ? qobject_cast<ModelInventoryView*>(view->tabPanel()->currentWidget()) : nullptr;
        QElapsedTimer timer;
        timer.start();
        while (storage && storage->viewModel().isScanning() && timer.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::processEvents();
    }
};

QImage popover(const SnapshotContext& c, int tab, bool telemetry = false, int onboardingStep = 0,
    const std::function<void(PopoverView&)>& prepare = {})
{
    Popover p(c, tab, telemetry, onboardingStep);
    p.view->setAttribute(Qt::WA_DontShowOnScreen);
    p.view->show();
    p.directory.waitForIdle();
    p.settle();
    if (prepare)
        prepare(*p.view);
    const QImage image = grabWidget(*p.view, c.palette, 2, PopoverView::kSize);
    c.data.settings().setHasFinishedOnboarding(true);
    return image;
}

// One shared view alone on the background, at a fixed width.
QImage alone(QWidget& view, const Palette& palette, int width)
{
    QWidget frame;
    auto* column = new QVBoxLayout(&frame);
    column->setContentsMargins(12, 12, 12, 12);
    view.setParent(&frame);
    column->addWidget(&view);
    frame.setFixedWidth(width);
    const QImage image = grabWidget(frame, palette, 2, QSize(width, frame.sizeHint().height()));
    view.setParent(nullptr);
    return image;
}

} // namespace

QImage samplePopover(const SnapshotContext& c, int tab, const std::function<void(PopoverView&)>& prepare)
{
    return popover(c, tab, false, 0, prepare);
}

void registerPopoverSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("popover-memory"), [](const SnapshotContext& c) { return popover(c, 0); });
    registry.add(QStringLiteral("popover-telemetry"), [](const SnapshotContext& c) { return popover(c, 0, true); });
    registry.add(QStringLiteral("popover-cpu"), [](const SnapshotContext& c) { return popover(c, 1); });
    // The terminal's freeze refused (its reason on its row), the compiler frozen.
    registry.add(QStringLiteral("popover-cpu-freeze"), [](const SnapshotContext& c) {
        return popover(c, 1, false, 0, [](PopoverView& view) {
            auto* list = view.findChild<ProcessListView*>();
            if (!list || list->rowCount() < 4)
                return;
            list->rowToggle(2)->click();
            list->rowToggle(3)->click();
            QElapsedTimer timer;
            timer.start();
            while ((list->rowNote(2).isEmpty() || list->rowTexts(3).value(1) != QStringLiteral("FROZEN"))
                && timer.elapsed() < 5000)
                QApplication::processEvents(QEventLoop::AllEvents, 10);
        });
    });
    registry.add(QStringLiteral("popover-actions"), [](const SnapshotContext& c) { return popover(c, 2); });
    registry.add(QStringLiteral("popover-storage"), [](const SnapshotContext& c) { return popover(c, 3); });
    registry.add(QStringLiteral("popover-network"), [](const SnapshotContext& c) { return popover(c, 4); });
    registry.add(QStringLiteral("popover-tab-7"), [](const SnapshotContext& c) { return popover(c, 7); });
    // The first-run flow in place of the dashboard: its card shrunk into the popover's width.
    for (int step = 1; step <= 5; ++step) {
        registry.add(QStringLiteral("popover-onboarding-%1").arg(step),
            [step](const SnapshotContext& c) { return popover(c, 1, false, step); });
    }
    registry.add(QStringLiteral("memory-split-edges"), [](const SnapshotContext& c) {
        QWidget column;
        auto* layout = new QVBoxLayout(&column);
        layout->setSpacing(14);
        SystemMemoryState tight {32, 20, 6, 3.0, 0.11, 4.99, {}};
        std::vector<OllamaModel> four;
        for (int i = 0; i < 4; ++i)
            four.push_back(
                {"m" + std::to_string(i), "model-" + std::to_string(i), 1, true, std::nullopt, i == 3 ? 0.0 : 2.0});
        layout->addWidget(new MemorySplitView(tight, four, ThemeManager::shared()));
        layout->addWidget(new MemorySplitView({64, 20, 0, 8, 0.1, 8, {}}, {}, ThemeManager::shared()));
        layout->addWidget(new MemorySplitView({0, 0, 0, 16, 0, 0, {}}, {}, ThemeManager::shared()));
        return alone(column, c.palette, 316);
    });
    registry.add(QStringLiteral("thermal-indicator"), [](const SnapshotContext& c) {
        QWidget column;
        auto* layout = new QVBoxLayout(&column);
        auto critical = QVThermalState::forLevel(QVThermalState::Level::critical);
        critical.topOffendingProcess = "ollama_llama_server --model a-very-long-model-path-name";
        auto balancedAlert = QVThermalState::forLevel(QVThermalState::Level::balanced);
        balancedAlert.shouldAlert = true;
        auto unnamed = QVThermalState::forLevel(QVThermalState::Level::warm);
        unnamed.displayName.clear();
        for (const auto& s :
            {QVThermalState::forLevel(QVThermalState::Level::balanced), critical, balancedAlert, unnamed})
            layout->addWidget(new ThermalIndicatorView(s, ThemeManager::shared()));
        return alone(column, c.palette, 340);
    });
}
