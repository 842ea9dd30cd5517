// The delegate's object graph, windows, persona cycle, sleep and quitting, offscreen.
#include "app/core/FakeHelper.h"
#include "app/core/PersonaTestSupport.h"
#include "helper/HelperTestSupport.h"

#include "core/CorrectiveActionEngine.h"
#include "core/PersonaEngine.h"
#include "core/PersonaViewModel.h"
#include "engines/DashboardViewModel.h"
#include "popover/PopoverView.h"
#include "records/AuditLogger.h"
#include "records/HelperService.h"
#include "records/PrivacyMetricsEngine.h"
#include "settings/ProOnboardingView.h"
#include "shell/AppDelegate.h"
#include "shell/HostWindow.h"
#include "shell/PopoverHost.h"
#include "support/AllocationPause.h"
#include "support/FakeTrayPanel.h"
#include "support/doubles/RecordingXPCConnection.h"
#include "ui/ViewSettings.h"
#include "views/privacy/OnboardingView.h"

#include "support/SignalChild.h"

#include <QFile>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <optional>

using namespace std::chrono_literals;
using personatest::FakeInhibitor;
using personatest::FakeModelServer;
using personatest::FakeNotifier;

namespace {

class AppDelegateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_socket = m_dir.filePath("helper.sock").toStdString();
        ::setenv(platform::kHelperSocketEnvironment, m_socket.c_str(), 1);
    }
    void TearDown() override { ::unsetenv(platform::kHelperSocketEnvironment); }

    AppDelegateOptions options(bool headless = true)
    {
        AppDelegateOptions o;
        o.headless = headless;
        o.xpcConnection = m_xpc;
        o.ollamaBaseURL = m_models.url();
        o.personaOptions.stateFilePath = m_dir.filePath("suspended.json");
        // No process of this machine (a compiler at work) starts a persona here.
        QDir().mkpath(m_dir.filePath("proc"));
        o.processWatcher.procRoot = m_dir.filePath("proc").toStdString();
        o.personaOptions.sleepInhibitor = m_inhibitor;
        o.personaOptions.notifier = m_notifier;
        o.checkHelper = false;
        o.watchSleep = false;
        o.exit = [this](int code) { m_exitCode = code; };
        o.tellUser = [this](const QString& message) { m_told << message; };
        return o;
    }

    // True once the spy has caught its signal. A worker that ends before its continuation is attached
    // emits before the caller returns, so a spy's wait(), which waits for the next emission, would miss it.
    static bool caught(QSignalSpy& spy)
    {
        return QTest::qWaitFor([&] { return spy.count() > 0; }, 10000);
    }
    static void setAutonomous(AppDelegate& delegate, bool on)
    {
        auto config = delegate.personaEngine().configuration();
        config.autonomousModeEnabled = on;
        delegate.personaEngine().updateConfiguration(config);
        delegate.personaEngine().setMockIsOnBattery(false);
    }

    QTemporaryDir m_dir;
    std::string m_socket;
    FakeModelServer m_models;
    std::shared_ptr<RecordingXPCConnection> m_xpc = std::make_shared<RecordingXPCConnection>();
    std::shared_ptr<FakeInhibitor> m_inhibitor = std::make_shared<FakeInhibitor>();
    std::shared_ptr<FakeNotifier> m_notifier = std::make_shared<FakeNotifier>();
    std::optional<int> m_exitCode;
    QStringList m_told;
};

TEST_F(AppDelegateTest, LaunchBuildsTheGraphAndWindowsOnceAndWiresTheAuditLog)
{
    AppDelegate delegate(options(false));
    EXPECT_EQ(AppDelegate::shared(), &delegate);
    delegate.applicationDidFinishLaunching();
    PopoverHost* popover = delegate.popover();
    HostWindow* dashboard = delegate.dashboardWindow();
    HostWindow* settings = delegate.settingsWindow();
    ASSERT_TRUE(popover && dashboard && settings);
    EXPECT_EQ(dashboard->windowTitle(), "Quorvane Dashboard");
    EXPECT_EQ(settings->windowTitle(), "Quorvane Settings");
    EXPECT_TRUE(delegate.dashboardVM().isPolling());

    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(delegate.popover(), popover);
    EXPECT_EQ(delegate.dashboardWindow(), dashboard);
    EXPECT_EQ(delegate.settingsWindow(), settings);

    // Offscreen there is no tray: the dashboard window is the way in, and toggling has nothing to do.
    EXPECT_EQ(delegate.trayIcon(), nullptr);
    EXPECT_TRUE(dashboard->isVisible());
    delegate.togglePopover();
    EXPECT_FALSE(popover->isVisible());

    // 1.5 s after launch both windows take their lasting sizes.
    QTest::qWait(AppDelegate::kReframeDelay.count() + 200);
    EXPECT_EQ(settings->size(), QSize(780, 540));
    // The dashboard window's re-frame to 320 x 600 never clips the 340 x 620 popover view it hosts.
    EXPECT_EQ(dashboard->size(), QSize(340, 620));
    // Titled, closable and miniaturisable, of that one size: nothing offers to resize or maximise them.
    for (const HostWindow* window : {dashboard, settings}) {
        EXPECT_EQ(window->minimumSize(), window->size()) << window->windowTitle().toStdString();
        EXPECT_EQ(window->maximumSize(), window->size()) << window->windowTitle().toStdString();
        const Qt::WindowFlags flags = window->windowFlags();
        EXPECT_TRUE(flags.testFlags(Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    }

    const AuditEvent event {Uuid::random(), Date::now(), "SIGSTOP", "Suspended process", "sleep", 4242, true};
    AuditLogger::shared().log(event);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const auto actions = PrivacyMetricsEngine::shared().recentHelperActions();
        return std::any_of(actions.begin(), actions.end(), [&](const AuditEvent& e) { return e.id == event.id; });
    }));
}

TEST_F(AppDelegateTest, WhenTheTrayGoesWithBothWindowsClosedTheDashboardWindowIsTheWayIn)
{
    FakeTrayPanel panel;
    if (!panel.isUp())
        GTEST_SKIP() << "no dbus-daemon";
    AppDelegateOptions o = options(false);
    o.trayBus = panel.programBus();
    AppDelegate delegate(std::move(o));
    delegate.applicationDidFinishLaunching();
    ASSERT_NE(delegate.trayIcon(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !panel.watcher().items.isEmpty(); }, 5000));
    HostWindow* dashboard = delegate.dashboardWindow();
    HostWindow* settings = delegate.settingsWindow();
    dashboard->close();
    settings->close();

    // The panel quits: nothing else of the program could be reached.
    ASSERT_TRUE(panel.quit());
    EXPECT_TRUE(QTest::qWaitFor([&] { return dashboard->isVisible(); }, 5000));
    EXPECT_FALSE(settings->isVisible());
    // A second start shows the dashboard window too, not a popover at an icon that is gone.
    dashboard->close();
    delegate.showForSecondStart();
    EXPECT_TRUE(dashboard->isVisible());
    EXPECT_FALSE(delegate.popover()->isVisible());
}

TEST_F(AppDelegateTest, ErasingTheSavedYouCountersReachesThePersonaEngine)
{
    AppDelegate delegate(options());
    delegate.applicationDidFinishLaunching();
    PersonaEngine& personas = delegate.personaEngine();
    personas.activatePersona(AutoPersona::compileMode, "make");
    personas.deactivatePersona(AutoPersona::compileMode);
    ASSERT_EQ(personas.savedYouMetrics().buildsProtected, 1);

    PrivacyMetricsEngine::shared().clearData({PrivacyMetricsEngine::ClearableDataType::savedYouMetrics});
    EXPECT_TRUE(QTest::qWaitFor([&] { return personas.savedYouMetrics().buildsProtected == 0; }));
    EXPECT_EQ(personas.savedYouMetrics().totalHoursSaved, 0);
}

TEST_F(AppDelegateTest, HeadlessRunsSamplesAndShowsNothing)
{
    AppDelegate delegate(options(true));
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(delegate.popover(), nullptr);
    EXPECT_EQ(delegate.dashboardWindow(), nullptr);
    delegate.openSettingsWindow();
    EXPECT_EQ(delegate.settingsWindow(), nullptr);
    QSignalSpy ticks(&delegate.dashboardVM(), &DashboardViewModel::cpuUsageChanged);
    EXPECT_TRUE(ticks.wait(3000));
}

TEST_F(AppDelegateTest, SettingsWindowIsBuiltOnceAndReusedAfterClosing)
{
    AppDelegate delegate(options(false));
    delegate.openSettingsWindow();
    HostWindow* window = delegate.settingsWindow();
    ASSERT_NE(window, nullptr);
    QWidget* view = window->content();
    EXPECT_TRUE(window->isVisible());

    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(delegate.settingsWindow(), window);

    delegate.openSettingsWindow();
    EXPECT_EQ(delegate.settingsWindow(), window);
    EXPECT_EQ(window->content(), view);
    EXPECT_TRUE(window->isVisible());
}

// 1366 x 768 at scale 2 leaves 683 x 384 for the 780 x 540 settings window: it takes that room, and its right
// column scrolls into sight; on the whole laptop screen it keeps its one size.
TEST_F(AppDelegateTest, SettingsWindowFitsASmallScreenAndKeepsItsSizeWhereItFits)
{
    AppDelegate delegate(options(false));
    delegate.openSettingsWindow();
    HostWindow* window = delegate.settingsWindow();
    ASSERT_NE(window, nullptr);
    QWidget* view = window->content();
    const QRect small {0, 0, 683, 384};
    window->reframe(QRect(180, 231, 780, 540), small);
    QCoreApplication::processEvents();
    EXPECT_TRUE(small.contains(window->frameGeometry())) << window->width() << "x" << window->height();
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_EQ(view->width(), 780);
    auto* scroll = window->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_TRUE(scroll);
    scroll->horizontalScrollBar()->setValue(scroll->horizontalScrollBar()->maximum());
    const QPoint rightEdge = view->mapTo(scroll->viewport(), view->rect().topRight());
    EXPECT_EQ(rightEdge.x(), scroll->viewport()->width() - 1);
    EXPECT_LE(view->height(), scroll->viewport()->height());

    window->reframe(QRect(180, 100, 780, 540), QRect(0, 0, 1366, 768));
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(780, 540));
    EXPECT_EQ(view->geometry(), QRect(0, 0, 780, 540));
}

TEST_F(AppDelegateTest, CycleRunsNoRuleWithAutonomousModeOffAndStillRefreshes)
{
    AppDelegate delegate(options());
    setAutonomous(delegate, false);
    QSignalSpy refreshed(&delegate.personaVM(), &PersonaViewModel::configurationChanged);
    auto tick = delegate.runPersonaCycle();
    EXPECT_TRUE(QTest::qWaitFor([&] { return tick.isFinished(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return refreshed.count() > 0; }));
    EXPECT_EQ(m_models.psRequests.load(), 0);
    EXPECT_TRUE(m_xpc->mockSignalsSent().empty());

    // The same cycle with autonomous mode on asks the model server (the AI First rule).
    setAutonomous(delegate, true);
    tick = delegate.runPersonaCycle();
    EXPECT_TRUE(QTest::qWaitFor([&] { return tick.isFinished(); }, 10000));
    EXPECT_GT(m_models.psRequests.load(), 0);
}

TEST_F(AppDelegateTest, ADelegateReleasedWhileACycleRunsIsNotReached)
{
    // In the sanitizer build the cycle's worker is held at each of its allocations in turn while the
    // delegate goes; the refresh the persona view model starts on its own is over before. In every build
    // the cycle's part on the GUI thread, posted once the worker is through, never runs.
    for (int allowed = 0;; ++allowed) {
        auto delegate = std::make_unique<AppDelegate>(options());
        setAutonomous(*delegate, false);
        QTest::qWait(20);
        allocationpause::settle();
        QFuture<void> cycle;
        const bool held = allocationpause::releasedWhileHeld(
            allowed, [&] { cycle = delegate->runPersonaCycle(); }, [&] { delegate.reset(); });
        EXPECT_TRUE(cycle.isFinished() && cycle.isCanceled()) << allowed;
        if (!held)
            break;
    }
}

TEST_F(AppDelegateTest, ATickWhileThePreviousRunsIsSkipped)
{
    AppDelegate delegate(options());
    setAutonomous(delegate, true);
    m_models.psDelayMs = 800;
    auto first = delegate.runPersonaCycle();
    auto second = delegate.runPersonaCycle();
    EXPECT_TRUE(second.isFinished());
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.isFinished(); }, 10000));
    EXPECT_EQ(m_models.psRequests.load(), 1);
}

TEST_F(AppDelegateTest, TheHelperRefusingThisCopyIsToldOnceAndTheRulesStayOff)
{
    auto o = options();
    o.checkHelper = true; // nothing listens on the helper socket
    AppDelegate delegate(o);
    setAutonomous(delegate, true);
    QSignalSpy checked(&delegate, &AppDelegate::startUpChecked);
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(caught(checked));
    EXPECT_EQ(delegate.helperAccess(), HelperAccess::notInstalled);
    ASSERT_EQ(m_told.size(), 1);
    EXPECT_TRUE(m_told.first().contains("not installed"));
    // The recommended actions know it too: flushing memory, which needs the helper, says it cannot run.
    SystemMemoryState flushable;
    flushable.totalGB = 64;
    flushable.freeGB = 20;
    flushable.inactiveGB = 11.4;
    InventoryModel recent;
    recent.path = "/models/recent";
    const auto cards = delegate.actionEngine().generateActionCards(flushable, {}, {recent});
    ASSERT_FALSE(cards.empty());
    EXPECT_EQ(cards.front().action, ActionType(ActionType::FlushInactiveMemory {}));
    EXPECT_EQ(cards.front().unavailableReason, helperNeededReason(HelperAccess::notInstalled));

    const int before = m_models.psRequests;
    auto tick = delegate.runPersonaCycle();
    EXPECT_TRUE(QTest::qWaitFor([&] { return tick.isFinished(); }));
    EXPECT_EQ(m_models.psRequests.load(), before);
    EXPECT_EQ(m_told.size(), 1);
}

// A stand-in for the installed program, running; the persona cycle watches what becomes of its file.
class InstalledProgramTest : public AppDelegateTest
{
protected:
    void SetUp() override
    {
        AppDelegateTest::SetUp();
        m_installed = m_dir.filePath("quorvane-pro");
        ASSERT_TRUE(QFile::copy("/bin/sleep", m_installed));
        m_running.start(m_installed, {"30"});
        ASSERT_TRUE(m_running.waitForStarted());
    }
    void TearDown() override
    {
        m_running.kill();
        m_running.waitForFinished();
        AppDelegateTest::TearDown();
    }
    AppDelegateOptions watchingOptions()
    {
        auto o = options();
        o.installedProgram = m_installed.toStdString();
        o.runningProgram = "/proc/" + std::to_string(m_running.processId()) + "/exe";
        return o;
    }
    static void runCycles(AppDelegate& delegate, int count)
    {
        for (int i = 0; i < count; ++i) {
            auto tick = delegate.runPersonaCycle();
            ASSERT_TRUE(QTest::qWaitFor([&] { return tick.isFinished(); }));
        }
    }

    QString m_installed;
    QProcess m_running;
};

TEST_F(InstalledProgramTest, AnUpgradeOfTheRunningProgramTurnsThePersonasOffAndSaysToRestart)
{
    AppDelegate delegate(watchingOptions());
    runCycles(delegate, 1);
    EXPECT_TRUE(delegate.personasEnabled());
    EXPECT_TRUE(m_told.isEmpty());

    // Replaced the way dpkg replaces a file.
    const QString upgrade = m_dir.filePath("quorvane-pro.dpkg-new");
    ASSERT_TRUE(QFile::copy("/bin/sleep", upgrade));
    ASSERT_EQ(::rename(upgrade.toLocal8Bit().constData(), m_installed.toLocal8Bit().constData()), 0);
    runCycles(delegate, 2);
    EXPECT_FALSE(delegate.personasEnabled());
    EXPECT_EQ(delegate.helperAccess(), HelperAccess::programReplaced);
    ASSERT_EQ(m_told.size(), 1);
    EXPECT_TRUE(m_told.first().contains("restart Quorvane Pro"));
    EXPECT_TRUE(m_told.first().contains("Personas are off"));
}

TEST_F(InstalledProgramTest, RemovingTheRunningProgramTurnsThePersonasOffAndSaysItWasRemoved)
{
    AppDelegate delegate(watchingOptions());
    runCycles(delegate, 1);
    ASSERT_TRUE(QFile::remove(m_installed));
    runCycles(delegate, 2);
    EXPECT_FALSE(delegate.personasEnabled());
    EXPECT_EQ(delegate.helperAccess(), HelperAccess::programRemoved);
    ASSERT_EQ(m_told.size(), 1);
    EXPECT_TRUE(m_told.first().contains("was removed while it ran")) << m_told.first().toStdString();
    EXPECT_FALSE(m_told.first().contains("upgraded")) << m_told.first().toStdString();
}

// Against the real helper daemon, trusting this test program, stopping a real process.
class AppDelegateWithHelperTest : public AppDelegateTest
{
protected:
    void SetUp() override
    {
        AppDelegateTest::SetUp();
        startDaemon();
    }
    void startDaemon()
    {
        m_daemon.emplace(std::map<std::string, std::string> {{"QUORVANE_HELPER_SOCKET", m_socket},
            {"QUORVANE_HELPER_AUDIT_LOG", m_dir.filePath("audit.log").toStdString()},
            {"QUORVANE_HELPER_TRUSTED", helpertest::trustedTestProgram()},
            {"QUORVANE_HELPER_INDEXER_TOOL",
                helpertest::writeScript(m_dir.filePath("indexer").toStdString(), "exit 0")}});
    }
    // Launches and waits for the start-up check, so what a test stops next is this run's own.
    static void launch(AppDelegate& delegate)
    {
        QSignalSpy checked(&delegate, &AppDelegate::startUpChecked);
        delegate.applicationDidFinishLaunching();
        ASSERT_TRUE(caught(checked));
    }
    static void launchAndStop(AppDelegate& delegate, const helpertest::SleepingChild& child)
    {
        launch(delegate);
        ASSERT_TRUE(delegate.personaEngine().freezeProcess(child.pid(), "sleep").ok());
        ASSERT_TRUE(helpertest::waitForState(child.pid(), 'T'));
    }
    static bool cycle(AppDelegate& delegate)
    {
        auto tick = delegate.runPersonaCycle();
        return QTest::qWaitFor([&] { return tick.isFinished(); }, 10000);
    }
    AppDelegateOptions helperOptions()
    {
        auto o = options();
        o.xpcConnection.reset(); // the program's own client, to the helper run here
        return o;
    }
    std::optional<helpertest::HelperProcess> m_daemon;
};

TEST_F(AppDelegateWithHelperTest, QuittingResumesWhatThePersonasStoppedThenExitsWithZero)
{
    helpertest::SleepingChild child;
    AppDelegate delegate(helperOptions());
    ASSERT_NO_FATAL_FAILURE(launchAndStop(delegate, child));

    const auto start = std::chrono::steady_clock::now();
    delegate.requestQuit();
    delegate.requestQuit(); // a second way out while quitting changes nothing
    EXPECT_FALSE(delegate.dashboardVM().isPolling());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_exitCode.has_value(); }, 8000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_EQ(*m_exitCode, 0);
    EXPECT_TRUE(helpertest::waitForState(child.pid(), 'S'));
    EXPECT_TRUE(delegate.personaEngine().frozenProcesses().empty());
}

TEST_F(AppDelegateWithHelperTest, AQuitWhileSetupAsksForAuthorisationEndsTheSetupAndTheProgramInSeconds)
{
    helpertest::SleepingChild child;
    // pkexec with its dialog open, which nobody answers: it says who it is and waits.
    const QString asking = m_dir.filePath("pkexec.pid");
    const std::string pkexec = helpertest::writeScript(
        m_dir.filePath("pkexec").toStdString(), "echo $$ > '" + asking.toStdString() + "'\nexec sleep 600");
    const std::string setup = helpertest::writeScript(m_dir.filePath("setup").toStdString(), "exit 0");
    AppDelegateOptions o = helperOptions();
    o.headless = false;
    o.helperService = std::make_shared<SystemdHelperService>(
        PrivacyMetricsEngine::shared(), [] {}, QString::fromStdString(setup), QString::fromStdString(pkexec));
    ViewSettings::shared().setHasFinishedOnboarding(false);
    testing::internal::CaptureStderr();
    std::chrono::steady_clock::time_point asked;
    {
        AppDelegate delegate(o);
        ASSERT_NO_FATAL_FAILURE(launchAndStop(delegate, child));
        // The first-run flow's setup page, which the popover shows until the flow is finished.
        auto* view = qobject_cast<PopoverView*>(delegate.popover()->content());
        ASSERT_TRUE(view && view->onboarding());
        view->onboarding()->setCurrentStep(4);
        auto* page = view->findChild<ProOnboardingView*>();
        ASSERT_NE(page, nullptr);
        page->setHelperUnavailable({}); // as the installed program, which may set the helper up
        page->installHelper();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(asking).size() > 0; }, 5000));

        asked = std::chrono::steady_clock::now();
        delegate.requestQuit();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_exitCode.has_value(); }, 8000));
    }
    // The delegate has gone, with everything it waited for.
    const auto took = std::chrono::steady_clock::now() - asked;
    const std::string said = testing::internal::GetCapturedStderr();
    ViewSettings::shared().setHasFinishedOnboarding(true);
    EXPECT_LT(took, 5s);
    EXPECT_NE(said.find("setup cancelled as Quorvane Pro quit"), std::string::npos) << said;
    QFile pidFile(asking);
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t dialog = pid_t(pidFile.readAll().trimmed().toInt());
    EXPECT_FALSE(signalChild(dialog, 0)) << "pkexec still runs";
    EXPECT_TRUE(helpertest::waitForState(child.pid(), 'S'));
}

TEST_F(AppDelegateWithHelperTest, StartUpRecoveryLeavesWhatThisRunSuspendedAlone)
{
    helpertest::SleepingChild child;
    AppDelegate delegate(helperOptions());
    ASSERT_TRUE(delegate.personaEngine().freezeProcess(child.pid(), "sleep").ok());
    ASSERT_TRUE(helpertest::waitForState(child.pid(), 'T'));

    QSignalSpy checked(&delegate, &AppDelegate::startUpChecked);
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(caught(checked));
    EXPECT_EQ(helpertest::processState(child.pid()), 'T');
    EXPECT_EQ(delegate.personaEngine().frozenProcesses().size(), 1u);
    signalChild(child.pid(), SIGCONT);
}

TEST_F(AppDelegateWithHelperTest, SleepWaitsForEveryResumeAndWakeStartsPollingAgain)
{
    helpertest::SleepingChild child;
    AppDelegate delegate(helperOptions());
    ASSERT_NO_FATAL_FAILURE(launchAndStop(delegate, child));

    EXPECT_TRUE(delegate.isPersonaCycleScheduled());
    QSignalSpy ready(&delegate, &AppDelegate::readyForSleep);
    delegate.handleWillSleep();
    EXPECT_FALSE(delegate.dashboardVM().isPolling());
    // On the way to sleep no rule may suspend anything again.
    EXPECT_FALSE(delegate.isPersonaCycleScheduled());
    ASSERT_TRUE(caught(ready));
    EXPECT_EQ(helpertest::processState(child.pid()), 'S');
    EXPECT_TRUE(delegate.personaVM().frozenProcesses().empty());
    const int asked = m_models.psRequests;
    setAutonomous(delegate, true);
    auto tick = delegate.runPersonaCycle();
    EXPECT_TRUE(tick.isFinished());
    EXPECT_EQ(m_models.psRequests.load(), asked);

    delegate.handleDidWake();
    EXPECT_TRUE(delegate.dashboardVM().isPolling());
    EXPECT_TRUE(delegate.isPersonaCycleScheduled());
    EXPECT_EQ(helpertest::processState(child.pid()), 'S');
}

TEST_F(AppDelegateWithHelperTest, AHelperRestartedMidBuildHasTheProcessesStoppedAgainOnTheNextCycle)
{
    helpertest::SleepingChild build;
    helpertest::SleepingChild server;
    // The process watcher's table: a build, and the model server it must not share the machine with.
    const QString table = m_dir.filePath("proc");
    personatest::writeFakeProcess(table, build.pid(), 1, ::getuid(), 'S', 1000, "make");
    personatest::writeFakeProcess(table, server.pid(), 1, ::getuid(), 'S', 1000, "ollama");
    AppDelegate delegate(helperOptions());
    ASSERT_NO_FATAL_FAILURE(launch(delegate));
    setAutonomous(delegate, true);
    ASSERT_TRUE(cycle(delegate));
    ASSERT_EQ(delegate.personaEngine().activePersonas(), std::set {AutoPersona::compileMode});
    ASSERT_TRUE(helpertest::waitForState(server.pid(), 'T'));

    // The helper stops, resuming everything it held, and the next one takes over mid-build.
    m_daemon.reset();
    ASSERT_TRUE(helpertest::waitForState(server.pid(), 'S'));
    startDaemon();
    ASSERT_TRUE(cycle(delegate));
    EXPECT_EQ(helpertest::processState(server.pid()), 'T');
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegate.personaVM().frozenProcesses().contains(server.pid()); }));

    // With no helper to stop it again, the list no longer calls the running process frozen.
    m_daemon.reset();
    ASSERT_TRUE(helpertest::waitForState(server.pid(), 'S'));
    ASSERT_TRUE(cycle(delegate));
    EXPECT_TRUE(QTest::qWaitFor([&] { return delegate.personaVM().frozenProcesses().empty(); }));
    EXPECT_EQ(helpertest::processState(server.pid()), 'S');
}

} // namespace
