#include "AppDelegate.h"

#include "HostWindow.h"
#include "PopoverHost.h"
#include "TrayIcon.h"

#include "core/CorrectiveActionEngine.h"
#include "core/NotificationGate.h"
#include "core/PersonaViewModel.h"
#include "core/PoolWork.h"
#include "core/ProcessWatcher.h"
#include "core/UserDefaults.h"
#include "core/XPCConnection.h"
#include "engines/DashboardViewModel.h"
#include "engines/MemoryEngine.h"
#include "engines/ThermalEngine.h"
#include "platform/desktop/DesktopNotifier.h"
#include "platform/desktop/LogindSleepMonitor.h"
#include "platform/ipc/HelperVersionQuery.h"
#include "popover/PopoverView.h"
#include "records/AuditLogger.h"
#include "records/BuildTimeTracker.h"
#include "records/HelperService.h"
#include "records/PrivacyMetricsEngine.h"
#include "settings/SettingsView.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"

#include <QCoreApplication>
#include <QPointer>
#include <QPromise>

#include <cstdio>
#include <unistd.h>

namespace {

AppDelegate* g_shared = nullptr;

const QRect kDashboardFrame {990, 171, 340, 620};
const QRect kDashboardReframe {990, 191, 320, 600};
const QRect kSettingsFrame {216, 231, 680, 520};
const QRect kSettingsReframe {180, 231, 780, 540};

QFuture<void> finishedFuture()
{
    QPromise<void> promise;
    promise.start();
    promise.finish();
    return promise.future();
}

} // namespace

AppDelegate::AppDelegate(Options options, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
{
    // Engines first; every later object shares these very instances.
    m_memoryEngine = std::make_shared<MemoryEngine>();
    m_ollamaEngine = std::make_shared<OllamaEngine>(m_options.ollamaBaseURL);
    m_thermalEngine = std::make_shared<ThermalEngine>();
    m_inventoryEngine = std::make_shared<ModelInventoryEngine>();
    m_buildTracker = std::make_unique<BuildTimeTracker>();
    g_shared = this;

    m_xpcConnection = m_options.xpcConnection ? m_options.xpcConnection : std::make_shared<XPCConnection>();
    m_processWatcher = std::make_unique<ProcessWatcher>(m_options.processWatcher);
    // Persona notifications honour the General page's notifications choice.
    if (!m_options.personaOptions.notifier)
        m_options.personaOptions.notifier = std::make_shared<NotificationGate>(
            std::make_shared<platform::DesktopNotifier>(), UserDefaults::standard());
    m_personaEngine = std::make_unique<PersonaEngine>(*m_xpcConnection, *m_processWatcher, *m_ollamaEngine,
        *m_memoryEngine, std::nullopt, SavedYouMetrics::fresh(), m_options.personaOptions);
    m_developerCacheEngine = std::make_shared<DeveloperCacheEngine>();
    m_actionEngine = std::make_unique<CorrectiveActionEngine>(
        *m_xpcConnection, *m_ollamaEngine, m_inventoryEngine.get(), m_developerCacheEngine.get(), *m_personaEngine);
    m_dashboardVM = std::make_unique<DashboardViewModel>(m_memoryEngine, m_ollamaEngine, m_thermalEngine);
    m_personaVM = std::make_unique<PersonaViewModel>(*m_personaEngine);
    // Its removal runs on the engine pool, which goes before the persona engine does.
    m_helperService = m_options.helperService;
    if (!m_helperService) {
        PersonaEngine* personas = m_personaEngine.get();
        m_helperService = std::make_shared<SystemdHelperService>(
            PrivacyMetricsEngine::shared(), [personas] { personas->resumeAllFrozenProcesses(); });
    }

    m_personaTimer.setInterval(kPersonaCycleInterval);
    connect(&m_personaTimer, &QTimer::timeout, this, [this] { runPersonaCycle(); });
}

AppDelegate::~AppDelegate()
{
    m_trayIcon.reset();
    m_helperService->stopSetups();
    m_personaTimer.stop();
    m_dashboardVM->stopPolling();
    m_workers.waitForAll();
    m_thermalEngine->stopMonitoring();
    // The windows show views over the models; they go before the models do. Their work on the engines
    // ends as the engine pool goes, before the engines.
    m_popover.reset();
    m_dashboardWindow.reset();
    m_settingsWindow.reset();
    if (g_shared == this)
        g_shared = nullptr;
}

AppDelegate* AppDelegate::shared()
{
    return g_shared;
}

bool AppDelegate::personasEnabled() const
{
    return m_personaVM->canPause();
}

HelperAccess AppDelegate::helperAccess() const
{
    return m_personaVM->helperAccess();
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (m_launched)
        return;
    m_launched = true;

    // Both stores call back on whichever thread logged or erased.
    AuditLogger::shared().setOnNewEvent([delegate = QPointer<QObject>(this)](const AuditEvent& event) {
        deliverHome(delegate, [event] { PrivacyMetricsEngine::shared().recordHelperAction(event); });
    });
    // An erasure reaches every holder of the data: the stores erase their files, and the persona engine
    // drops its own copy of the saved-you counters, so nothing erased is shown or written again.
    PrivacyMetricsEngine::shared().setOnErased([delegate = QPointer<QObject>(this), this](const auto& erased) {
        if (erased.count(PrivacyMetricsEngine::ClearableDataType::savedYouMetrics))
            deliverHome(delegate, [this] { m_personaEngine->resetSavedYouMetrics(); });
    });
    if (!m_options.headless)
        buildWindows();
    m_dashboardVM->startPolling();
    m_thermalEngine->startMonitoring();
    if (m_options.watchSleep) {
        m_sleepMonitor = new platform::LogindSleepMonitor(this);
        connect(m_sleepMonitor, &platform::LogindSleepMonitor::aboutToSleep, this, &AppDelegate::handleWillSleep);
        connect(m_sleepMonitor, &platform::LogindSleepMonitor::resumed, this, &AppDelegate::handleDidWake);
    }
    if (!m_options.headless && m_options.openPopover) {
        m_dashboardWindow->hide();
        m_popover->showAt(m_trayIcon ? m_trayIcon->geometry() : QRect());
    } else if (!m_options.headless) {
        openSettingsWindow();
        QTimer::singleShot(kReframeDelay, this, &AppDelegate::reframeWindows);
    }
    startUpCheck();
}

void AppDelegate::buildWindows()
{
    m_popover = std::make_unique<PopoverHost>(
        new PopoverView(*m_dashboardVM, *m_personaVM, popoverHooks(), popoverEngines()));
    connect(m_popover.get(), &PopoverHost::quitRequested, this, &AppDelegate::requestQuit);

    m_dashboardWindow = std::make_unique<HostWindow>(tr("Quorvane Dashboard"),
        new PopoverView(*m_dashboardVM, *m_personaVM, popoverHooks(), popoverEngines()), kDashboardFrame.size());
    connect(m_dashboardWindow.get(), &HostWindow::quitRequested, this, &AppDelegate::requestQuit);
    m_dashboardWindow->reframe(kDashboardFrame);
    m_dashboardWindow->present();

    buildTrayIcon();
}

void AppDelegate::buildTrayIcon()
{
    // Without a tray the dashboard window stays the way in.
    const QDBusConnection bus = m_options.trayBus.value_or(QDBusConnection::sessionBus());
    if (!TrayIcon::isAvailable(bus))
        return;
    m_trayIcon = std::make_unique<TrayIcon>(*m_dashboardVM, bus);
    connect(m_trayIcon.get(), &TrayIcon::clicked, this, &AppDelegate::togglePopover);
    connect(m_trayIcon.get(), &TrayIcon::quitRequested, this, &AppDelegate::requestQuit);
    connect(m_trayIcon.get(), &TrayIcon::dashboardRequested, this, [this] {
        if (m_dashboardWindow)
            m_dashboardWindow->present();
    });
    connect(m_trayIcon.get(), &TrayIcon::settingsRequested, this, &AppDelegate::openSettingsWindow);
    connect(m_trayIcon.get(), &TrayIcon::presenceChanged, this, &AppDelegate::trayPresenceChanged);
    m_trayIcon->show();
}

void AppDelegate::trayPresenceChanged(bool present)
{
    if (present || m_quitting || !m_dashboardWindow)
        return;
    const auto shown = [](const HostWindow* window) { return window && window->isVisible() && !window->isMinimized(); };
    if (!shown(m_dashboardWindow.get()) && !shown(m_settingsWindow.get()))
        m_dashboardWindow->present();
}

PopoverHooks AppDelegate::popoverHooks()
{
    return {[this] { openSettingsWindow(); }, [this] { requestQuit(); }};
}

PopoverEngines AppDelegate::popoverEngines()
{
    // The first-run flow makes its own notification check when it reaches it.
    PopoverEngines engines;
    engines.actionEngine = m_actionEngine.get();
    engines.pool = &m_enginePool;
    engines.inventoryEngine = m_inventoryEngine;
    engines.developerCacheEngine = m_developerCacheEngine;
    engines.helperService = m_helperService;
    engines.helperSetupUnavailable = helperSetupUnavailable();
    return engines;
}

QString AppDelegate::helperSetupUnavailable() const
{
    return helperSetupUnavailableReason(
        m_options.installedProgram, ::getpid(), SystemdHelperService::defaultSetupProgram());
}

void AppDelegate::openSettingsWindow()
{
    if (m_options.headless)
        return;
    if (!m_settingsWindow) {
        SettingsServices services;
        services.storageInventoryEngine = m_inventoryEngine;
        services.developerCacheEngine = m_developerCacheEngine;
        services.helperService = m_helperService;
        services.pool = &m_enginePool;
        services.helperSetupUnavailable = helperSetupUnavailable();
        auto* settings = new SettingsView(*m_dashboardVM, *m_personaVM, *m_inventoryEngine, std::move(services));
        connect(settings, &SettingsView::quitRequested, this, &AppDelegate::requestQuit);
        m_settingsWindow = std::make_unique<HostWindow>(tr("Quorvane Settings"), settings, kSettingsFrame.size());
        connect(m_settingsWindow.get(), &HostWindow::quitRequested, this, &AppDelegate::requestQuit);
        m_settingsWindow->reframe(kSettingsFrame);
    }
    m_settingsWindow->present();
}

void AppDelegate::reframeWindows()
{
    if (m_settingsWindow)
        m_settingsWindow->reframe(kSettingsReframe);
    if (m_dashboardWindow)
        m_dashboardWindow->reframe(kDashboardReframe);
}

void AppDelegate::togglePopover()
{
    if (!m_popover || !m_trayIcon)
        return;
    m_popover->toggle(m_trayIcon->geometry());
}

void AppDelegate::showForSecondStart()
{
    if (m_quitting)
        return;
    if (m_popover && m_trayIcon && m_trayIcon->isPresent())
        m_popover->showAt(m_trayIcon->geometry());
    else if (m_dashboardWindow)
        m_dashboardWindow->present();
}

void AppDelegate::startUpCheck()
{
    const bool check = m_options.checkHelper;
    auto access = std::make_shared<HelperAccess>(HelperAccess::available);
    PersonaEngine* engine = m_personaEngine.get();
    onWorker(
        [engine, check, access] {
            // Processes a killed earlier run left stopped are resumed before anything else.
            engine->recoverSuspendedProcesses();
            if (check)
                *access = checkHelperAccess(platform::helperSocketPath(), installedProgramPath(), ::getpid());
        },
        [this, access] {
            m_personaVM->setHelperAccess(*access);
            m_actionEngine->setHelperAccess(*access);
            if (*access != HelperAccess::available && !m_toldAboutHelper) {
                m_toldAboutHelper = true;
                tellUser(helperAccessMessage(*access));
            }
            m_personaVM->refresh();
            // The rules may suspend processes only once the leftovers of an earlier run are resumed.
            m_startUpChecked = true;
            if (!m_quitting && !m_asleep)
                m_personaTimer.start();
            emit startUpChecked();
        });
}

QFuture<void> AppDelegate::runPersonaCycle()
{
    if (m_cycleRunning || m_quitting || m_asleep)
        return finishedFuture();
    m_cycleRunning = true;
    PersonaEngine* engine = m_personaEngine.get();
    const bool rules = personasEnabled();
    auto change = std::make_shared<HelperAccess>(HelperAccess::available);
    return onWorker(
        [engine, rules, change, installed = m_options.installedProgram, running = m_options.runningProgram] {
            // The list is checked against the processes first, since a helper that restarted has
            // resumed what it held; resumes that failed are tried again whether or not the rules run.
            engine->checkSuspendedProcesses();
            engine->retryFailedResumes();
            // After an upgrade or removal the helper refuses this copy: no rule may start what it cannot finish.
            if (rules)
                *change = installedProgramChange(installed, running);
            if (rules && *change == HelperAccess::available)
                engine->runCycle();
        },
        [this, change] {
            m_cycleRunning = false;
            if (*change != HelperAccess::available && personasEnabled()) {
                m_personaVM->setHelperAccess(*change);
                m_actionEngine->setHelperAccess(*change);
                tellUser(helperAccessMessage(*change));
            }
            m_personaVM->refresh();
        },
        &m_cycleWork);
}

void AppDelegate::handleWillSleep()
{
    m_dashboardVM->stopPolling();
    // No rule may suspend anything between the resume below and the sleep; the cycle starts again on wake.
    m_asleep = true;
    m_personaTimer.stop();
    ThermalEngine* thermal = m_thermalEngine.get();
    PersonaEngine* engine = m_personaEngine.get();
    QFuture<void> cycle = m_cycleWork;
    onWorker(
        [thermal, engine, cycle]() mutable {
            thermal->stopMonitoring();
            cycle.waitForFinished(); // a run already under way ends before everything is resumed
            engine->resumeAllFrozenProcesses();
        },
        [this] {
            whenFinished(m_personaVM->refresh(), this, [this](const QFuture<void>&) {
                // Only now, with nothing left stopped, may the machine go to sleep.
                if (m_sleepMonitor)
                    m_sleepMonitor->releaseDelay();
                emit readyForSleep();
            });
        });
}

void AppDelegate::handleDidWake()
{
    if (m_quitting)
        return;
    m_asleep = false;
    if (m_startUpChecked)
        m_personaTimer.start();
    m_dashboardVM->startPolling();
    ThermalEngine* thermal = m_thermalEngine.get();
    onWorker([thermal] { thermal->startMonitoring(); }, [this] { m_personaVM->refresh(); });
}

void AppDelegate::requestQuit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    // Gone from the tray at once, whatever the rest takes; later, since the quit may come from its menu.
    if (m_trayIcon)
        m_trayIcon.release()->deleteLater();
    m_helperService->stopSetups();
    m_personaTimer.stop();
    m_dashboardVM->stopPolling();
    for (QWidget* window : {static_cast<QWidget*>(m_popover.get()), static_cast<QWidget*>(m_dashboardWindow.get()),
             static_cast<QWidget*>(m_settingsWindow.get())}) {
        if (window)
            window->hide();
    }
    ThermalEngine* thermal = m_thermalEngine.get();
    PersonaEngine* engine = m_personaEngine.get();
    const auto budget = m_options.quitBudget;
    onWorker(
        [thermal, engine, budget] {
            thermal->stopMonitoring();
            if (!engine->resumeAllBeforeExit(budget))
                std::fprintf(stderr, "Some suspended processes could not be resumed; the next start retries\n");
        },
        [this] {
            if (m_options.exit)
                m_options.exit(0);
            else
                QCoreApplication::exit(0);
        });
}

void AppDelegate::tellUser(const QString& message)
{
    if (m_options.tellUser) {
        m_options.tellUser(message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (m_options.headless)
        return;
    // A StatusNotifier item has no balloon of its own: there the message goes to the notifications.
    if (m_trayIcon && !m_trayIcon->statusNotifierItem()) {
        m_trayIcon->showMessage(tr("Quorvane Pro"), message);
        return;
    }
    static platform::DesktopNotifier notifier;
    notifier.post("Quorvane Pro", message.toStdString());
}

QFuture<void> AppDelegate::onWorker(std::function<void()> work, std::function<void()> done, QFuture<void>* workPart)
{
    std::shared_ptr<QPromise<void>> worked;
    if (workPart) {
        worked = std::make_shared<QPromise<void>>();
        worked->start();
        *workPart = worked->future();
    }
    return m_workers.run(
        [work = std::move(work), worked] {
            work();
            if (worked)
                worked->finish();
        },
        [done = std::move(done)] {
            if (done)
                done();
        });
}
