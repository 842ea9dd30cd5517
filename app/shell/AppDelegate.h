#pragma once

#include "popover/PopoverActions.h"
#include "popover/PopoverEngines.h"

#include "core/PendingWork.h"

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "core/HelperAccess.h"
#include "core/PersonaEngine.h"
#include "core/ProcessWatcher.h"
#include "engines/OllamaEngine.h"
#endif

#include <QDBusConnection>
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class BuildTimeTracker;
class CorrectiveActionEngine;
class DashboardViewModel;
class DeveloperCacheEngine;
class HelperService;
class HostWindow;
class MemoryEngine;
class ModelInventoryEngine;
class PersonaViewModel;
class PopoverHost;
class ThermalEngine;
class TrayIcon;
class XPCConnection;

namespace platform {
class LogindSleepMonitor;
}

// What the delegate is given from outside; tests replace the parts that reach the machine.
struct AppDelegateOptions
{
    // No tray and no window: the program only samples (the offscreen platform, no desktop).
    bool headless = false;
    // Where the tray's StatusNotifier watcher is looked for; unset: the session bus.
    std::optional<QDBusConnection> trayBus;
    // Opens the popover at launch in place of the dashboard and settings windows, as a click on the tray
    // icon would (measuring what the open popover costs, bench/idle-cost.sh).
    bool openPopover = false;
    // The root helper's client; unset: the program's own, to the installed helper.
    std::shared_ptr<XPCConnection> xpcConnection;
    // Installs and removes the helper for the first-run flow and the privacy pages; unset: through systemd,
    // resuming every suspended process before a removal. Its setups are ended as the program quits.
    std::shared_ptr<HelperService> helperService;
    std::string ollamaBaseURL = OllamaEngine::defaultBaseURL;
    PersonaEngineOptions personaOptions;
    // The processes the persona rules see.
    ProcessWatcher::Options processWatcher;
    // At launch: ask whether the helper acts for this copy, and say so once when it does not.
    bool checkHelper = true;
    // Watched on each persona cycle: when the installed program the running copy was started from is
    // replaced (an upgrade) or removed, the helper stops acting for it and the user is told so.
    std::string installedProgram = installedProgramPath();
    std::string runningProgram = "/proc/self/exe";
    // Sleep and wake through logind.
    bool watchSleep = true;
    // How long quitting may spend resuming the processes the personas suspended.
    std::chrono::milliseconds quitBudget {3000};
    // Ends the event loop; empty: QCoreApplication::exit.
    std::function<void(int)> exit;
    // Tells the user something once, in plain words; empty: the tray's message, else a desktop
    // notification, and always one console line.
    std::function<void(const QString&)> tellUser;
};

// Builds the program's object graph once, shows its tray icon, popover and windows, runs the periodic
// work (dashboard polling, thermal monitoring, the 3-second persona cycle) and handles sleep, wake
// and quitting. Lives on the GUI thread; everything that may block runs on a worker.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    using Options = AppDelegateOptions;
    static constexpr std::chrono::milliseconds kPersonaCycleInterval {3000};
    static constexpr std::chrono::milliseconds kReframeDelay {1500};

    explicit AppDelegate(Options options = {}, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The one delegate of the process (the popover's menu opens the settings window through it).
    static AppDelegate* shared();

    // Builds the tray icon, the popover and the windows (none when headless) and starts the
    // periodic work. Only the first call does anything.
    void applicationDidFinishLaunching();
    // Shows the settings window, building it on first use; later calls show the same window.
    void openSettingsWindow();
    void togglePopover();
    // A second start of the program: the popover where there is a tray, else the dashboard window.
    void showForSecondStart();
    // One run of the persona cycle on a worker: the due retries of failed resumes, the rules when
    // autonomous mode is on and the helper acts for this copy, then a refresh of the persona view
    // model. While the previous run is still going this tick is skipped (the returned future is
    // already finished).
    QFuture<void> runPersonaCycle();
    // On the way to sleep the persona cycle stops and everything suspended is resumed; after wake the
    // cycle starts again (the rules decide afresh).
    void handleWillSleep();
    void handleDidWake();
    // Every way out ends here: the tray icon goes and the windows hide at once, a helper setup under way is
    // ended (it waits on no person), the periodic work stops, every process the personas suspended is
    // resumed (bounded by the quit budget), then the event loop ends with 0.
    void requestQuit();

    MemoryEngine& memoryEngine() const { return *m_memoryEngine; }
    OllamaEngine& ollamaEngine() const { return *m_ollamaEngine; }
    ThermalEngine& thermalEngine() const { return *m_thermalEngine; }
    ModelInventoryEngine& inventoryEngine() const { return *m_inventoryEngine; }
    BuildTimeTracker& buildTracker() const { return *m_buildTracker; }
    XPCConnection& xpcConnection() const { return *m_xpcConnection; }
    ProcessWatcher& processWatcher() const { return *m_processWatcher; }
    PersonaEngine& personaEngine() const { return *m_personaEngine; }
    CorrectiveActionEngine& actionEngine() const { return *m_actionEngine; }
    DashboardViewModel& dashboardVM() const { return *m_dashboardVM; }
    PersonaViewModel& personaVM() const { return *m_personaVM; }

    PopoverHost* popover() const { return m_popover.get(); }
    HostWindow* dashboardWindow() const { return m_dashboardWindow.get(); }
    HostWindow* settingsWindow() const { return m_settingsWindow.get(); }
    TrayIcon* trayIcon() const { return m_trayIcon.get(); }
    bool isQuitting() const { return m_quitting; }
    // Whether the 3-second persona cycle is running (from the start-up check on, except between the way
    // to sleep and the wake, and once quitting).
    bool isPersonaCycleScheduled() const { return m_personaTimer.isActive(); }
    // Whether the helper acts for this copy; the persona view model holds it for the views as well.
    bool personasEnabled() const;
    HelperAccess helperAccess() const;

signals:
    // The launch's look at the helper and the recovery of processes left stopped are done.
    void startUpChecked();
    // Before sleep: everything suspended has been resumed and the sleep may go on.
    void readyForSleep();

private:
    // Opening the settings window and quitting, for the popover and the dashboard window.
    PopoverHooks popoverHooks();
    // The engines the popover's actions and storage tabs act through.
    PopoverEngines popoverEngines();
    // Why this copy cannot set up the helper, for the setup page and the helper inspector; empty when it can.
    QString helperSetupUnavailable() const;
    void buildWindows();
    void buildTrayIcon();
    // The tray went away: with no window left open, the dashboard window is the way in again.
    void trayPresenceChanged(bool present);
    void startUpCheck();
    void reframeWindows();
    void tellUser(const QString& message);
    // Runs `work` on a worker, kept so the destructor can wait for it, then `done` on this thread.
    // `workPart`, when given, receives the future of the worker's part alone.
    QFuture<void> onWorker(
        std::function<void()> work, std::function<void()> done = {}, QFuture<void>* workPart = nullptr);

    Options m_options;
    std::shared_ptr<MemoryEngine> m_memoryEngine;
    std::shared_ptr<OllamaEngine> m_ollamaEngine;
    std::shared_ptr<ThermalEngine> m_thermalEngine;
    std::shared_ptr<ModelInventoryEngine> m_inventoryEngine;
    std::unique_ptr<BuildTimeTracker> m_buildTracker;
    std::shared_ptr<XPCConnection> m_xpcConnection;
    std::unique_ptr<ProcessWatcher> m_processWatcher;
    std::unique_ptr<PersonaEngine> m_personaEngine;
    std::shared_ptr<DeveloperCacheEngine> m_developerCacheEngine;
    std::unique_ptr<CorrectiveActionEngine> m_actionEngine;
    std::unique_ptr<DashboardViewModel> m_dashboardVM;
    std::unique_ptr<PersonaViewModel> m_personaVM;

    std::unique_ptr<PopoverHost> m_popover;
    std::unique_ptr<HostWindow> m_dashboardWindow;
    std::unique_ptr<HostWindow> m_settingsWindow;
    std::unique_ptr<TrayIcon> m_trayIcon;
    platform::LogindSleepMonitor* m_sleepMonitor = nullptr;

    QTimer m_personaTimer;
    bool m_launched = false;
    bool m_cycleRunning = false;
    QFuture<void> m_cycleWork; // the worker's part of the last persona cycle
    bool m_startUpChecked = false;
    bool m_asleep = false; // between the way to sleep and the wake: no persona cycle runs
    bool m_quitting = false;
    bool m_toldAboutHelper = false;
    std::shared_ptr<HelperService> m_helperService;
    // The windows' work on the engines above (recommended actions, the helper's setup, the privacy pages):
    // declared after them, so that it goes first and waits for that work before they go.
    QThreadPool m_enginePool;
    PendingWork m_workers {this};
};
