// The persona engine against helpers that refuse, stay silent or really stop processes.

#include "PersonaTestSupport.h"
#include "ScriptedHelper.h"

#include "core/PersonaRules.h"
#include "core/SuspendedProcessFile.h"
#include "core/SuspensionLedger.h"

#include "helper/HelperTestSupport.h"

#include "support/SignalChild.h"

#include <QFile>

using namespace personatest;
using helpertest::SleepingChild;
using platform::HelperReply;
using platform::HelperRequest;

namespace {

class PersonaSuspensionTest : public PersonaEngineFixture, protected ScriptedHelper
{
protected:
    // Records of processes that are gone are dropped, so these tests look at the real table.
    void SetUp() override { m_procRoot = "/proc"; }

    std::vector<SuspendedProcessFile::Entry> stored() const
    {
        return SuspendedProcessFile(stateFile(), "/proc/sys/kernel/random/boot_id").load();
    }
};

TEST_F(PersonaSuspensionTest, QuittingResumesWithinItsBudgetAndSuspendsNothingMore)
{
    FakeHelper helper(m_socket, answer());
    XPCConnection xpc;
    auto engine = makeEngine(config(), &xpc);
    setProcesses({proc(40, "ollama"), proc(41, "postgres"), proc(42, "mysql")});
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    ASSERT_EQ(engine->frozenProcesses().size(), 3u);
    EXPECT_TRUE(engine->resumeAllBeforeExit(2s));
    EXPECT_TRUE(engine->frozenProcesses().empty());
    EXPECT_TRUE(stored().empty());
    EXPECT_FALSE(engine->freezeProcess(50, "job").ok());
    EXPECT_FALSE(engine->runCycle());
}

TEST_F(PersonaSuspensionTest, QuittingWithASilentHelperEndsInTimeAndKeepsTheListForTheNextStart)
{
    FakeHelper helper(m_socket, answer());
    XPCConnection xpc;
    auto engine = makeEngine(config(), &xpc);
    SleepingChild a, b, c;
    setProcesses({proc(a.pid(), "ollama"), proc(b.pid(), "postgres"), proc(c.pid(), "mysql")});
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    ASSERT_EQ(stored().size(), 3u);
    m_silentAll = true;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(engine->resumeAllBeforeExit(1s));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
    EXPECT_EQ(stored().size(), 3u);
}

TEST_F(PersonaSuspensionTest, AResumeRefusedAsAPersonaEndsIsSaidAndTriedAgain)
{
    FakeHelper helper(m_socket, answer());
    XPCConnection xpc;
    auto engine = makeEngine(config(), &xpc);
    SleepingChild a, b, c;
    setProcesses({proc(a.pid(), "ollama"), proc(b.pid(), "postgres"), proc(c.pid(), "mysql")});
    engine->activatePersona(AutoPersona::compileMode, "make");
    ASSERT_EQ(engine->frozenProcesses().size(), 3u);
    for (const pid_t pid : {a.pid(), b.pid(), c.pid()})
        rateLimit(pid, 1);

    engine->deactivatePersona(AutoPersona::compileMode);
    EXPECT_EQ(engine->frozenProcesses().size(), 3u);
    const auto failures = engine->state().resumeFailures;
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures.at(a.pid()), rateLimited().message);
    EXPECT_EQ(m_notifier->posts().back(),
        (std::pair<std::string, std::string> {
            "✅ Build done", "Still paused: ollama, postgres +1 more (resuming failed; trying again)"}));

    EXPECT_EQ(engine->retryFailedResumes(), 3);
    m_now = m_now + SuspensionLedger::firstResumeRetrySeconds;
    EXPECT_EQ(engine->retryFailedResumes(), 0);
    EXPECT_TRUE(engine->frozenProcesses().empty());
    EXPECT_TRUE(engine->state().resumeFailures.empty());
}

TEST_F(PersonaSuspensionTest, QuittingTriesRefusedResumesAgainAndNamesWhatStaysStopped)
{
    FakeHelper helper(m_socket, answer());
    XPCConnection xpc;
    auto engine = makeEngine(config(), &xpc);
    std::vector<std::unique_ptr<SleepingChild>> children;
    std::vector<RunningProcess> processes;
    const std::vector<std::string> names {
        "ollama", "postgres", "mysql", "redis-server", "mongod", "mysqld", "mariadbd", "ollama_llama_server"};
    for (const auto& name : names) {
        children.push_back(std::make_unique<SleepingChild>());
        processes.push_back(proc(children.back()->pid(), name));
        rateLimit(children.back()->pid(), 2);
    }
    setProcesses(processes);
    engine->activatePersona(AutoPersona::compileMode, "make");
    ASSERT_EQ(engine->frozenProcesses().size(), 8u);
    EXPECT_TRUE(engine->resumeAllBeforeExit(3s));
    EXPECT_TRUE(engine->frozenProcesses().empty());
    EXPECT_TRUE(stored().empty());

    // A helper that refuses to the end: the quit ends in time, keeps the list and tells the user.
    auto next = makeEngine(config(), &xpc);
    SleepingChild stuck;
    setProcesses({proc(stuck.pid(), "ollama")});
    next->activatePersona(AutoPersona::compileMode, "make");
    rateLimit(stuck.pid(), 1000);
    EXPECT_FALSE(next->resumeAllBeforeExit(1s));
    EXPECT_EQ(stored().size(), 1u);
    EXPECT_EQ(m_notifier->posts().back().second,
        "Could not resume ollama before quitting; the helper resumes them once Quorvane Pro has closed, or "
        "Quorvane Pro does at its next start.");
}

TEST_F(PersonaSuspensionTest, RecordsSayNothingWasPausedWhenTheHelperPausedNothing)
{
    SleepingChild a;
    setProcesses({proc(a.pid(), "ollama", 0, 2048)});
    // No helper at all: nothing paused, and the build is not counted as protected.
    {
        XPCConnection xpc;
        auto engine = makeEngine(config(), &xpc);
        engine->activatePersona(AutoPersona::compileMode, "make");
        m_now = m_now + 60;
        engine->deactivatePersona(AutoPersona::compileMode);
        const auto events = assistance();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].title, "Compile Mode on");
        EXPECT_EQ(events[0].detail, "Nothing paused: the helper is not available");
        EXPECT_EQ(events[0].impactValue, "Not protected");
        EXPECT_EQ(engine->savedYouMetrics().buildsProtected, 0);
        EXPECT_DOUBLE_EQ(engine->savedYouMetrics().totalHoursSaved, 0);
        EXPECT_EQ(m_notifier->posts().back().second, "Nothing was paused for this build");
    }
    // A helper that refuses every request: its reason is given, and Battery Mode says so too; AI
    // First Mode's line speaks of the sleep lock only while it is held.
    std::atomic<bool> refuseSignals {true};
    FakeHelper helper(m_socket, [&](const HelperRequest& r) -> std::optional<HelperReply> {
        if (r.op != platform::HelperOp::sendSignal || refuseSignals)
            return platform::failureReply(
                r.id, {platform::kHelperErrorDomain, platform::kHelperUnauthorized, "Caller not trusted."});
        return platform::successReply(r.id);
    });
    XPCConnection xpc;
    auto engine = makeEngine(config(), &xpc);
    engine->activatePersona(AutoPersona::compileMode, "make");
    engine->deactivatePersona(AutoPersona::compileMode);
    engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
    m_inhibitor->grant = false;
    engine->activatePersona(AutoPersona::aiFirstMode, "model loaded");
    auto events = assistance();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[2].detail, "Nothing paused: the helper refused: Caller not trusted.");
    EXPECT_EQ(events[1].title, "Battery Mode on");
    EXPECT_EQ(events[1].detail, "Nothing paused: the helper refused: Caller not trusted.");
    EXPECT_EQ(events[0].title, "AI First Mode on");
    EXPECT_EQ(events[0].detail, "System sleep could not be held off");
    auto metrics = m_tracker.getMetrics();
    EXPECT_EQ(metrics.buildsProtected, 0);
    EXPECT_EQ(metrics.computeShieldEventsCount, 0);
    EXPECT_EQ(metrics.performanceOptimizationsCount, 0);
    EXPECT_DOUBLE_EQ(metrics.totalHoursSaved, 0);
    engine->resumeAllFrozenProcesses();

    // Nothing on the freeze list running and the indexer refused: nothing needed pausing, nothing
    // counted. With the signals allowed, a build something was paused for is protected.
    setProcesses({});
    engine->activatePersona(AutoPersona::compileMode, "make");
    m_now = m_now + 60;
    engine->deactivatePersona(AutoPersona::compileMode);
    EXPECT_EQ(assistance()[0].detail, "Nothing paused: the helper refused: Caller not trusted.");
    refuseSignals = false;
    setProcesses({proc(a.pid(), "ollama", 0, 2048)});
    engine->activatePersona(AutoPersona::compileMode, "make");
    m_now = m_now + 60;
    engine->deactivatePersona(AutoPersona::compileMode);
    events = assistance();
    EXPECT_EQ(events[1].title, "Compile Shield Engaged");
    EXPECT_EQ(events[0].title, "Build Protected");
    EXPECT_EQ(events[0].impactValue, "~30s saved");
    metrics = m_tracker.getMetrics();
    EXPECT_EQ(metrics.buildsProtected, 1);
    EXPECT_EQ(metrics.computeShieldEventsCount, 2);
}

TEST_F(PersonaSuspensionTest, NotificationsSayWhatTheRecordsSayWhenTheHelperPausesNothing)
{
    SleepingChild server, backup;
    setProcesses({proc(server.pid(), "ollama"), proc(backup.pid(), "restic")});
    std::vector<std::string> actions;
    const auto run = [&](XPCConnection& xpc, const std::string& why) {
        xpc.setActionRecorder([&](const AuditEvent& e) { actions.push_back(e.actionDescription); });
        auto engine = makeEngine(config(), &xpc);
        engine->activatePersona(AutoPersona::batteryMode, "power disconnected");
        EXPECT_EQ(m_notifier->posts().back().second, "Nothing paused: " + why);
        EXPECT_EQ(assistance().at(0).detail, m_notifier->posts().back().second);
        engine->deactivatePersona(AutoPersona::batteryMode);
        EXPECT_EQ(
            m_notifier->posts().back(), (std::pair<std::string, std::string> {"⚡ Back on AC", "Nothing was paused"}));
        // Started by hand: no model is loaded, and its background task was not paused either.
        engine->activatePersona(AutoPersona::aiFirstMode, "manual override");
        EXPECT_EQ(m_notifier->posts().back().second, "No model loaded · Nothing paused: " + why);
        engine->deactivatePersona(AutoPersona::aiFirstMode);
        // The indexer the helper did not pause is not restarted, and nothing is said about it.
        engine->activatePersona(AutoPersona::compileMode, "make");
        engine->deactivatePersona(AutoPersona::compileMode);
        EXPECT_EQ(m_notifier->posts().back().second, "Nothing was paused for this build");
        for (const auto& action : actions)
            EXPECT_FALSE(action.starts_with("Resumed file indexing")) << action;
    };
    {
        XPCConnection xpc;
        run(xpc, "the helper is not available");
    }
    FakeHelper helper(m_socket, [](const HelperRequest& r) -> std::optional<HelperReply> {
        return platform::failureReply(
            r.id, {platform::kHelperErrorDomain, platform::kHelperUnauthorized, "Caller not trusted."});
    });
    XPCConnection xpc;
    run(xpc, "the helper refused: Caller not trusted.");
    EXPECT_EQ(helpertest::processState(server.pid()), 'S');
}

TEST_F(PersonaSuspensionTest, ProcessesRunningAgainAreStoppedAgainOnlyWhileAPersonaAsksForThem)
{
    FakeHelper helper(m_socket, signalling());
    XPCConnection xpc;
    auto c = config();
    c.customFreezeList = {"extra-job"};
    auto engine = makeEngine(c, &xpc);
    SleepingChild server, extra, byHand, later, ended;
    setProcesses({proc(server.pid(), "ollama"), proc(extra.pid(), "extra-job"), proc(ended.pid(), "redis-server")});
    engine->activatePersona(AutoPersona::compileMode, "make");
    ASSERT_TRUE(engine->freezeProcess(byHand.pid(), "sleep").ok());
    for (const pid_t pid : {server.pid(), extra.pid(), byHand.pid()}) {
        ASSERT_TRUE(helpertest::waitForState(pid, 'T'));
        ::kill(pid, SIGCONT); // as a helper that restarts does
        ASSERT_TRUE(helpertest::waitForState(pid, 'S'));
    }
    signalChild(ended.pid(), SIGKILL);
    ASSERT_TRUE(helpertest::waitForState(ended.pid(), 'Z'));
    // The build goes on, its list no longer naming extra-job.
    c.customFreezeList.clear();
    engine->updateConfiguration(c);
    engine->checkSuspendedProcesses();
    EXPECT_TRUE(helpertest::waitForState(server.pid(), 'T'));
    EXPECT_TRUE(helpertest::waitForState(byHand.pid(), 'T'));
    EXPECT_EQ(helpertest::processState(extra.pid()), 'S');
    const auto frozen = engine->frozenProcesses();
    EXPECT_EQ(frozen.size(), 2u);
    EXPECT_TRUE(frozen.contains(server.pid()) && frozen.contains(byHand.pid()));
    EXPECT_EQ(stored().size(), 2u);

    // With no persona active, a process frozen by hand that runs again is only taken off the list.
    engine->deactivatePersona(AutoPersona::compileMode);
    ASSERT_TRUE(engine->freezeProcess(later.pid(), "sleep").ok());
    ASSERT_TRUE(helpertest::waitForState(later.pid(), 'T'));
    signalChild(later.pid(), SIGCONT);
    ASSERT_TRUE(helpertest::waitForState(later.pid(), 'S'));
    engine->checkSuspendedProcesses();
    EXPECT_TRUE(engine->frozenProcesses().empty());
    EXPECT_EQ(helpertest::processState(later.pid()), 'S');
    EXPECT_TRUE(stored().empty());
}

class PersonaWithDaemonTest : public PersonaSuspensionTest
{
};

TEST_F(PersonaWithDaemonTest, SuspendsAndResumesARealProcessThroughTheHelper)
{
    helpertest::HelperProcess daemon({{"QUORVANE_HELPER_SOCKET", m_socket},
        {"QUORVANE_HELPER_AUDIT_LOG", m_dir.filePath("audit.log").toStdString()},
        {"QUORVANE_HELPER_TRUSTED", helpertest::trustedTestProgram()},
        {"QUORVANE_HELPER_INDEXER_TOOL", helpertest::writeScript(m_dir.filePath("indexer").toStdString(), "exit 0")}});
    SleepingChild child;
    XPCConnection xpc;
    const auto options = this->options();
    auto engine = std::make_unique<PersonaEngine>(
        xpc, m_watcher, m_ollama, m_memory, config(), SavedYouMetrics::fresh(), options);
    engine->setMockIsOnBattery(false);
    setProcesses({proc(child.pid(), "ollama", 1, 64), proc(1, "postgres")});

    engine->activatePersona(AutoPersona::compileMode, "make");
    EXPECT_TRUE(helpertest::waitForState(child.pid(), 'T'));
    EXPECT_EQ(engine->frozenProcesses().size(), 1u); // the helper refuses pid 1
    engine->deactivatePersona(AutoPersona::compileMode);
    EXPECT_TRUE(helpertest::waitForState(child.pid(), 'S'));

    // A program killed with the process stopped: the next start resumes it.
    engine->activatePersona(AutoPersona::compileMode, "make");
    ASSERT_TRUE(helpertest::waitForState(child.pid(), 'T'));
    engine.reset();
    EXPECT_EQ(helpertest::processState(child.pid()), 'T');
    PersonaEngine next(xpc, m_watcher, m_ollama, m_memory, config(), SavedYouMetrics::fresh(), options);
    EXPECT_EQ(next.recoverSuspendedProcesses(), 1);
    EXPECT_TRUE(helpertest::waitForState(child.pid(), 'S'));

    // Quitting leaves nothing stopped.
    next.activatePersona(AutoPersona::compileMode, "make");
    ASSERT_TRUE(helpertest::waitForState(child.pid(), 'T'));
    EXPECT_TRUE(next.resumeAllBeforeExit(3s));
    EXPECT_TRUE(helpertest::waitForState(child.pid(), 'S'));
}

// Runs a copy of sleep under the given name, so that the process table names it so.
class NamedChild
{
public:
    NamedChild(const QString& folder, const std::string& name)
    {
        const QString path = folder + "/" + QString::fromStdString(name);
        QFile::copy("/bin/sleep", path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const std::string program = path.toStdString();
        char arg1[] = "300";
        char* argv[] = {const_cast<char*>(program.c_str()), arg1, nullptr};
        ::posix_spawn(&m_pid, program.c_str(), nullptr, nullptr, argv, environ);
    }
    ~NamedChild() { stop(); }
    void stop()
    {
        if (m_pid > 0) {
            signalChild(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = 0;
        }
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = 0;
};

TEST_F(PersonaWithDaemonTest, ABuildOnTheMachineBringsCompileModeAndItsEndResumesTheProcesses)
{
    helpertest::HelperProcess daemon({{"QUORVANE_HELPER_SOCKET", m_socket},
        {"QUORVANE_HELPER_AUDIT_LOG", m_dir.filePath("audit.log").toStdString()},
        {"QUORVANE_HELPER_TRUSTED", helpertest::trustedTestProgram()},
        {"QUORVANE_HELPER_INDEXER_TOOL", helpertest::writeScript(m_dir.filePath("indexer").toStdString(), "exit 0")}});
    // Names of this test run's own, and every built-in name protected, so no other process is touched.
    auto c = config();
    const std::string build = "qv-probe-build-" + std::to_string(::getpid());
    const std::string serverName = "qv-probe-server-" + std::to_string(::getpid());
    c.compileModeTriggers = {build};
    c.customFreezeList = {serverName};
    c.neverPauseWhitelist = PersonaRules::freezeList(AutoPersona::compileMode, {});
    XPCConnection xpc;
    m_watcher.setMockProcesses(std::nullopt);
    auto engine = makeEngine(c, &xpc);
    NamedChild server(m_dir.path(), serverName);
    ASSERT_TRUE(helpertest::waitForState(server.pid(), 'S'));
    EXPECT_TRUE(engine->runCycle());
    EXPECT_TRUE(engine->activePersonas().empty());

    NamedChild trigger(m_dir.path(), build);
    ASSERT_TRUE(helpertest::waitForState(trigger.pid(), 'S'));
    EXPECT_TRUE(engine->runCycle());
    EXPECT_EQ(engine->activePersonas(), std::set {AutoPersona::compileMode});
    EXPECT_TRUE(helpertest::waitForState(server.pid(), 'T'));
    EXPECT_EQ(helpertest::processState(trigger.pid()), 'S');

    trigger.stop();
    EXPECT_TRUE(engine->runCycle());
    EXPECT_TRUE(engine->activePersonas().empty());
    EXPECT_TRUE(helpertest::waitForState(server.pid(), 'S'));
}

} // namespace
