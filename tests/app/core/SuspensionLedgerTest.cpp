// The ledger of suspended processes against helpers that refuse, stay silent or really stop
// processes, and its state file across a restart.

#include "PersonaTestSupport.h"
#include "ScriptedHelper.h"

#include "core/JsonFile.h"
#include "core/PersonaRules.h"
#include "core/SuspendedProcessFile.h"
#include "core/SuspensionLedger.h"

#include "helper/HelperTestSupport.h"
#include "support/FifoOpen.h"

#include "support/SignalChild.h"

#include <QFile>
#include <QFileInfo>

#include <gmock/gmock.h>

#include <sys/stat.h>

using namespace personatest;
using helpertest::SleepingChild;
using platform::HelperReply;
using platform::HelperRequest;

namespace {

std::uint64_t startTicks(pid_t pid)
{
    return platform::ProcessTable().info(pid).value().startTimeTicks;
}

class SuspensionLedgerTest : public ::testing::Test, protected ScriptedHelper
{
protected:
    // Records of processes that are gone are dropped, so the ledger looks at the real table unless told.
    std::unique_ptr<SuspensionLedger> makeLedger(XPCConnection& xpc, const std::string& procRoot = "/proc")
    {
        return std::make_unique<SuspensionLedger>(
            xpc, procRoot, stateFile(), [this] { return Date::fromReferenceDate(m_now.load()); });
    }
    QString stateFile() const { return m_dir.filePath("suspended.json"); }
    SuspendedProcessFile file() const { return SuspendedProcessFile(stateFile(), "/proc/sys/kernel/random/boot_id"); }
    std::vector<SuspendedProcessFile::Entry> stored() const { return file().load(); }
    // What a review leaves listed when no persona is active.
    static void reviewWithNoPersona(SuspensionLedger& ledger)
    {
        ledger.stopAgainOrForget(
            ledger.review().running, {}, [](AutoPersona, const std::string&) { return true; },
            [](const RunningProcess&) { return false; });
    }

    QTemporaryDir m_dir;
    RecordingXPCConnection m_xpc;
    std::atomic<double> m_now {700000000.0};
};

TEST_F(SuspensionLedgerTest, FailedSuspensionsAndResumesKeepTheRecordsHonest)
{
    FakeHelper helper(m_socket, answer());
    XPCConnection xpc;
    auto ledger = makeLedger(xpc);
    SleepingChild alive;
    const pid_t gone = helpertest::vanishedPid();
    m_failing = {{41, SIGSTOP}, {alive.pid(), SIGCONT}, {gone, SIGCONT}};
    const auto paused = ledger->suspendFor(AutoPersona::compileMode,
        {proc(40, "ollama"), proc(41, "postgres"), proc(alive.pid(), "redis-server"), proc(gone, "mongod")});
    EXPECT_EQ(paused.count, 3);
    EXPECT_EQ(paused.failure, platform::posixError(EPERM));
    EXPECT_FALSE(ledger->holds(41));

    const auto error = ledger->suspendSingle(41, "postgres", AutoPersona::compileMode);
    ASSERT_FALSE(error.ok());
    EXPECT_EQ(error.error(), platform::posixError(EPERM));
    EXPECT_EQ(ledger->frozenProcesses().size(), 3u);

    // The running process whose resume failed stays listed; the one that is gone does not.
    ledger->resumeAll(std::nullopt);
    const auto left = ledger->frozenProcesses();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left.contains(alive.pid()));
    ASSERT_EQ(stored().size(), 1u);
    EXPECT_EQ(stored()[0].process.pid, alive.pid());
    EXPECT_EQ(stored()[0].startTimeTicks, startTicks(alive.pid()));

    EXPECT_FALSE(ledger->resume(alive.pid()).ok());
    EXPECT_EQ(ledger->frozenProcesses().size(), 1u);
    m_failing.clear();
    EXPECT_TRUE(ledger->resume(alive.pid()).ok());
    EXPECT_TRUE(ledger->frozenProcesses().empty());
    EXPECT_TRUE(stored().empty());
    // Nothing held: no file is left to outlive an erasure of the program's data.
    EXPECT_FALSE(QFileInfo::exists(stateFile()));
}

TEST_F(SuspensionLedgerTest, ATimedOutSuspendIsFollowedByOneResume)
{
    FakeHelper helper(m_socket, answer());
    XPCConnection xpc;
    auto ledger = makeLedger(xpc);
    m_silent = {40};
    ledger->suspendFor(AutoPersona::compileMode, {proc(40, "ollama"), proc(41, "postgres")});
    EXPECT_EQ(asked(), (Signals {{40, SIGSTOP}, {40, SIGCONT}, {41, SIGSTOP}}));
    EXPECT_EQ(ledger->frozenProcesses().size(), 1u);

    const auto timedOut = ledger->suspendSingle(40, "ollama", AutoPersona::compileMode);
    EXPECT_EQ(timedOut.error().code, -2);
    EXPECT_EQ(asked().back(), (std::pair {40, SIGCONT}));
}

TEST_F(SuspensionLedgerTest, ResumesTheRateLimitRefusedAreTriedAgainWithBackOffUntilTheyRun)
{
    FakeHelper helper(m_socket, answer());
    XPCConnection xpc;
    auto ledger = makeLedger(xpc);
    SleepingChild a, b, c;
    ledger->suspendFor(
        AutoPersona::compileMode, {proc(a.pid(), "ollama"), proc(b.pid(), "postgres"), proc(c.pid(), "mysql")});
    ASSERT_EQ(ledger->frozenProcesses().size(), 3u);
    rateLimit(a.pid(), 2);
    rateLimit(b.pid(), 2);
    rateLimit(c.pid(), 1);
    const auto release = ledger->release(AutoPersona::compileMode, {}, PersonaRules::freezeLists(testConfiguration()));
    EXPECT_THAT(release.stillPaused, testing::UnorderedElementsAre("ollama", "postgres", "mysql"));
    EXPECT_EQ(ledger->frozenProcesses().size(), 3u);
    const auto failures = ledger->listing().resumeFailures;
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures.at(a.pid()), rateLimited().message);

    // Nothing is asked again before the first wait is over; then each failure doubles the wait.
    const auto before = resumesAsked();
    EXPECT_EQ(ledger->retryFailedResumes().waiting, 3);
    EXPECT_EQ(resumesAsked(), before);
    m_now = m_now + SuspensionLedger::firstResumeRetrySeconds;
    EXPECT_EQ(ledger->retryFailedResumes().waiting, 2); // mysql runs again
    EXPECT_EQ(resumesAsked(), before + 3);
    m_now = m_now + SuspensionLedger::firstResumeRetrySeconds;
    EXPECT_EQ(ledger->retryFailedResumes().waiting, 2);
    EXPECT_EQ(resumesAsked(), before + 3);
    m_now = m_now + SuspensionLedger::firstResumeRetrySeconds;
    EXPECT_EQ(ledger->retryFailedResumes().waiting, 0);
    EXPECT_TRUE(ledger->frozenProcesses().empty());
    EXPECT_TRUE(ledger->listing().resumeFailures.empty());
    EXPECT_TRUE(stored().empty());

    // A resume asked for by hand that fails is tried again too, unless a persona wants the process
    // suspended again meanwhile.
    ledger->suspendFor(
        AutoPersona::batteryMode, {proc(a.pid(), "ollama"), proc(b.pid(), "postgres"), proc(c.pid(), "mysql")});
    rateLimit(a.pid(), 1);
    EXPECT_FALSE(ledger->resume(a.pid()).ok());
    EXPECT_EQ(ledger->listing().resumeFailures.size(), 1u);
    EXPECT_EQ(ledger->suspendFor(AutoPersona::compileMode, {proc(a.pid(), "ollama")}).held, 1);
    EXPECT_TRUE(ledger->listing().resumeFailures.empty());
    m_now = m_now + SuspensionLedger::longestResumeRetrySeconds;
    EXPECT_EQ(ledger->retryFailedResumes().waiting, 0);
    EXPECT_TRUE(ledger->holds(a.pid()));
    ledger->resumeAll(std::nullopt);
}

TEST_F(SuspensionLedgerTest, AProcessStaysSuspendedWhileAnotherActivePersonaWantsIt)
{
    auto ledger = makeLedger(m_xpc, m_dir.filePath("proc").toStdString());
    const auto listed = PersonaRules::freezeLists(testConfiguration());
    using Names = std::vector<std::string>;
    ledger->suspendFor(AutoPersona::batteryMode, {proc(40, "ollama"), proc(60, "restic"), proc(70, "node")});
    ledger->suspendSingle(80, "renderer", AutoPersona::aiFirstMode);
    // Each of the other two keeps what its list names, so no one persona is named as the keeper.
    auto release
        = ledger->release(AutoPersona::batteryMode, {AutoPersona::compileMode, AutoPersona::aiFirstMode}, listed);
    EXPECT_EQ(release.resumed, Names {"node"});
    EXPECT_EQ(release.kept, (Names {"ollama", "restic"}));
    EXPECT_FALSE(release.keptFor.has_value());
    EXPECT_TRUE(release.heldAny);
    // Kept for Compile Mode, it goes with it; what AI First Mode keeps is not Compile Mode's to release.
    release = ledger->release(AutoPersona::compileMode, {AutoPersona::aiFirstMode}, listed);
    EXPECT_EQ(release.resumed, Names {"ollama"});
    EXPECT_TRUE(release.kept.empty());
    // The last persona to end releases everything.
    release = ledger->release(AutoPersona::aiFirstMode, {}, listed);
    EXPECT_EQ(release.resumed, (Names {"restic", "renderer"}));
    EXPECT_TRUE(ledger->frozenProcesses().empty());
}

TEST_F(SuspensionLedgerTest, APidThatNowBelongsToAnotherProcessIsNeverContinued)
{
    const QString procRoot = m_dir.filePath("proc");
    auto ledger = makeLedger(m_xpc, procRoot.toStdString());
    writeFakeProcess(procRoot, 4300, 1, ::getuid(), 'S', 1000);
    writeFakeProcess(procRoot, 4301, 1, ::getuid(), 'S', 1000);
    ASSERT_TRUE(ledger->suspendSingle(4300, "job", AutoPersona::compileMode).ok());
    ASSERT_TRUE(ledger->suspendSingle(4301, "job", AutoPersona::compileMode).ok());
    // Both ended; their pids went to jobs the user stopped with Ctrl-Z.
    writeFakeProcess(procRoot, 4300, 1, ::getuid(), 'T', 2000);
    writeFakeProcess(procRoot, 4301, 1, ::getuid(), 'T', 2000);
    m_xpc.clearMockSignals();
    EXPECT_TRUE(ledger->resume(4300).ok());
    ledger->resumeAll(std::nullopt);
    EXPECT_TRUE(m_xpc.mockSignalsSent().empty());
    EXPECT_TRUE(ledger->frozenProcesses().empty());
}

TEST_F(SuspensionLedgerTest, AnIndexerPauseThatTimedOutIsRestartedAllTheSame)
{
    std::vector<platform::HelperOp> ops;
    FakeHelper helper(m_socket, [&](const HelperRequest& r) -> std::optional<HelperReply> {
        std::lock_guard lock(m_mutex);
        ops.push_back(r.op);
        if (r.op == platform::HelperOp::pauseFileIndexer)
            return std::nullopt;
        return platform::successReply(r.id);
    });
    XPCConnection xpc;
    auto ledger = makeLedger(xpc);
    EXPECT_FALSE(ledger->pauseIndexer().ok());
    EXPECT_TRUE(ledger->indexerPaused());
    EXPECT_TRUE(file().read().indexerPaused);
    ledger->restoreIndexer();
    EXPECT_FALSE(ledger->indexerPaused());
    std::lock_guard lock(m_mutex);
    EXPECT_EQ(ops, (std::vector {platform::HelperOp::pauseFileIndexer, platform::HelperOp::resumeFileIndexer}));
}

TEST_F(SuspensionLedgerTest, StartUpResumesOnlyTheSameStillStoppedProcesses)
{
    SleepingChild stopped;
    SleepingChild running;
    SleepingChild reused;
    signalChild(stopped.pid(), SIGSTOP);
    signalChild(reused.pid(), SIGSTOP);
    ASSERT_TRUE(helpertest::waitForState(stopped.pid(), 'T'));
    ASSERT_TRUE(helpertest::waitForState(reused.pid(), 'T'));
    auto entry = [](pid_t pid, std::uint64_t ticks) {
        FrozenProcess p {Uuid::random(), pid, "ollama", AutoPersona::compileMode, Date(), 0, 0.0};
        return SuspendedProcessFile::Entry {p, ticks};
    };
    ASSERT_TRUE(file().save({entry(stopped.pid(), startTicks(stopped.pid())),
        entry(running.pid(), startTicks(running.pid())), entry(reused.pid(), startTicks(reused.pid()) + 1)}));

    auto ledger = makeLedger(m_xpc);
    EXPECT_EQ(ledger->recover().resumed, 1);
    EXPECT_EQ(m_xpc.mockSignalsSent(), (Signals {{stopped.pid(), SIGCONT}}));
    EXPECT_TRUE(file().load().empty());
    EXPECT_TRUE(ledger->frozenProcesses().empty());
    signalChild(reused.pid(), SIGCONT);

    // A list of another boot, or one that does not decode, resumes nothing; the bad one is set aside.
    ASSERT_TRUE(file().save({entry(stopped.pid(), startTicks(stopped.pid()))}));
    const SuspendedProcessFile otherBoot(stateFile(), m_dir.filePath("no-such-boot-id").toStdString());
    EXPECT_TRUE(otherBoot.load().empty());
    ASSERT_TRUE(jsonfile::writeAtomically(stateFile(), "{\"bootId\": 3"));
    m_xpc.clearMockSignals();
    EXPECT_EQ(ledger->recover().resumed, 0);
    EXPECT_TRUE(m_xpc.mockSignalsSent().empty());
    const auto setAside = QDir(m_dir.path()).entryList({"suspended.json.corrupt-*"});
    EXPECT_EQ(setAside.size(), 1);

    // A FIFO in the list's place would hold the engine's operation lock for ever, and quitting waits on it.
    QFile::remove(stateFile());
    ASSERT_EQ(::mkfifo(QFile::encodeName(stateFile()).constData(), 0600), 0);
    EXPECT_TRUE(returnsPromptly(stateFile(), [&] { EXPECT_EQ(ledger->recover().resumed, 0); }));
    EXPECT_EQ(QDir(m_dir.path()).entryList({"suspended.json.corrupt-*"}, QDir::System | QDir::Files).size(), 2);
}

TEST_F(SuspensionLedgerTest, AFailedStartUpResumeIsKeptAsAFrozenRecord)
{
    SleepingChild stopped;
    signalChild(stopped.pid(), SIGSTOP);
    ASSERT_TRUE(helpertest::waitForState(stopped.pid(), 'T'));
    FakeHelper helper(m_socket, answer());
    m_failing = {{stopped.pid(), SIGCONT}};
    XPCConnection xpc;
    FrozenProcess record {Uuid::random(), stopped.pid(), "ollama", AutoPersona::batteryMode, Date(), 0, 0.0};
    ASSERT_TRUE(file().save({{record, startTicks(stopped.pid())}}));
    auto ledger = makeLedger(xpc);
    const auto recovery = ledger->recover();
    EXPECT_EQ(recovery.resumed, 0);
    EXPECT_TRUE(recovery.adopted);
    EXPECT_EQ(ledger->frozenProcesses().at(stopped.pid()), record);
    EXPECT_EQ(file().load().size(), 1u);

    // Resumed all the same (by the helper, once its caller had gone): it is no longer listed.
    signalChild(stopped.pid(), SIGCONT);
    ASSERT_TRUE(helpertest::waitForState(stopped.pid(), 'S'));
    reviewWithNoPersona(*ledger);
    EXPECT_TRUE(ledger->frozenProcesses().empty());
    EXPECT_TRUE(file().load().empty());
}

// A process busy in the kernel, which acts on a SIGSTOP only once it returns: it waits for a vfork
// child that never execs. Both end with the object.
class BusyInKernel
{
public:
    BusyInKernel()
    {
        m_pid = ::fork();
        if (m_pid == 0) {
            ::setpgid(0, 0);
            if (::vfork() == 0) {
                ::pause();
                ::_exit(0);
            }
            ::_exit(0);
        }
        ::setpgid(m_pid, m_pid);
    }
    ~BusyInKernel()
    {
        signalChildGroup(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = 0;
};

TEST_F(SuspensionLedgerTest, AProcessAboutToStopIsNotTakenForOneRunningAgain)
{
    FakeHelper helper(m_socket, signalling());
    XPCConnection xpc;
    auto ledger = makeLedger(xpc);
    BusyInKernel busy;
    ASSERT_TRUE(helpertest::waitForState(busy.pid(), 'D'));
    ASSERT_TRUE(ledger->suspendSingle(busy.pid(), "worker", AutoPersona::compileMode).ok());
    // Frozen by hand with no persona on: were it taken for running, it would be forgotten, and stop
    // a moment later with nothing left to resume it.
    reviewWithNoPersona(*ledger);
    EXPECT_TRUE(ledger->holds(busy.pid()));
    EXPECT_EQ(helpertest::processState(busy.pid()), 'D');
}

TEST_F(SuspensionLedgerTest, TheIndexerAKilledRunPausedIsStartedAgainAtTheNextStart)
{
    std::vector<platform::HelperOp> ops;
    FakeHelper helper(m_socket, [&](const HelperRequest& r) -> std::optional<HelperReply> {
        std::lock_guard lock(m_mutex);
        ops.push_back(r.op);
        return platform::successReply(r.id);
    });
    XPCConnection xpc;
    auto ledger = makeLedger(xpc);
    ASSERT_TRUE(ledger->pauseIndexer().ok());
    EXPECT_TRUE(file().read().indexerPaused);
    // Earlier versions find the members they know, as they wrote them.
    const Json stored = Json::parse(*jsonfile::readAll(stateFile()));
    EXPECT_TRUE(stored.at("bootId").is_string());
    EXPECT_EQ(stored.at("processes"), Json::array());

    ledger.reset(); // killed while paused: nothing was restored
    {
        std::lock_guard lock(m_mutex);
        ops.clear();
    }
    auto next = makeLedger(xpc);
    next->recover();
    {
        std::lock_guard lock(m_mutex);
        EXPECT_EQ(ops, std::vector<platform::HelperOp> {platform::HelperOp::resumeFileIndexer});
    }
    EXPECT_FALSE(file().read().indexerPaused);
}

} // namespace
