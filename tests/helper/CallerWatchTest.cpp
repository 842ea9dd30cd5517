#include "HelperServerFixture.h"
#include "RawCalls.h"

#include "support/ChildProcess.h"

#include "platform/proc/Pidfd.h"
#include "platform/proc/ProcessTable.h"

#include "support/SignalChild.h"

#include <memory>

using namespace helpertest;

namespace {

class CallerWatchTest : public HelperServerFixture
{
protected:
    // A stand-in for the program: a child of this test program, so a trusted caller, that connects
    // and has `target` stopped, then keeps running; with `hangUp` it closes its connection first.
    std::unique_ptr<ForkedChild> programStopping(pid_t target, bool hangUp = false) const
    {
        const std::string socket = m_config.socketPath;
        return std::make_unique<ForkedChild>([socket, target, hangUp] {
            const int fd = connectTo(socket.c_str());
            const bool stopped = askSucceeds(fd, stopRequest(1, target));
            if (hangUp)
                ::close(fd);
            return stopped;
        });
    }

    static bool runsWithin(pid_t pid, std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (processState(pid) == 'T' && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(5ms);
        return processState(pid) != 'T';
    }
};

// A program killed while it holds processes stopped can never resume them: the helper does, at once,
// and logs it for that program. A program that only closed its connection keeps its stops.
TEST_F(CallerWatchTest, StopsOfAProgramThatEndedAreResumedAtOnce)
{
    start();
    SleepingChild killedsTarget;
    SleepingChild hungUpsTarget;
    auto killed = programStopping(killedsTarget.pid());
    auto hungUp = programStopping(hungUpsTarget.pid(), true);
    ASSERT_TRUE(killed->ready() && hungUp->ready());
    ASSERT_EQ(processState(killedsTarget.pid()), 'T');
    const pid_t killedPid = killed->pid();

    killed.reset(); // SIGKILL
    EXPECT_TRUE(runsWithin(killedsTarget.pid(), 2s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(processState(hungUpsTarget.pid()), 'T');
    const auto listed = m_server->context().suspended().processes();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].pid, hungUpsTarget.pid());

    hungUp.reset();
    EXPECT_TRUE(runsWithin(hungUpsTarget.pid(), 2s));
    for (int i = 0; i < 200 && !m_server->context().suspended().processes().empty(); ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(m_server->context().suspended().processes().empty());

    const auto records = auditRecords();
    const auto resumed = std::find_if(records.begin(), records.end(), [&](const nlohmann::json& r) {
        return r["action"] == "send_sigcont" && r["targetPID"] == killedsTarget.pid();
    });
    ASSERT_NE(resumed, records.end());
    EXPECT_EQ((*resumed)["success"], true);
    EXPECT_EQ((*resumed)["stoppedByPID"], killedPid);
    EXPECT_EQ((*resumed)["callerPID"], ::getpid()); // the helper, which runs in this test program
}

// Two connections of one program: the first resumes the program's last listed stop while the second
// has had the program watched and not yet listed its own stop. That stop must still be resumed when
// the program ends; the context's steps are taken here in that order, as the two connections would.
TEST_F(CallerWatchTest, AResumeOnAnotherConnectionDoesNotDropTheWatchOfAStopUnderWay)
{
    helper::HelperContext context(m_config);
    SleepingChild resumedByTheFirst;
    SleepingChild stoppedByTheSecond;
    auto program = std::make_unique<ForkedChild>([] { return true; });
    ASSERT_TRUE(program->ready());
    const auto startTimeOf = [](pid_t pid) { return platform::ProcessTable().info(pid)->startTimeTicks; };
    const helper::SuspendingCaller caller {program->pid(), startTimeOf(program->pid()), ::getuid()};
    const platform::UniqueFd programPidfd = platform::openPidfd(program->pid());
    const auto stopOf = [&](const SleepingChild& target) {
        return helper::SuspendedProcess {target.pid(), startTimeOf(target.pid()), ::getuid(), "sleep", caller};
    };

    ASSERT_FALSE(context.watchCaller(caller, programPidfd.get()));
    ASSERT_EQ(context.noteStopping(stopOf(resumedByTheFirst)), 0);
    ASSERT_TRUE(signalChild(resumedByTheFirst.pid(), SIGSTOP));

    ASSERT_FALSE(context.watchCaller(caller, programPidfd.get())); // the second connection's stop
    ASSERT_TRUE(signalChild(resumedByTheFirst.pid(), SIGCONT)); // the first connection's resume
    context.noteResumed(resumedByTheFirst.pid());
    ASSERT_EQ(context.noteStopping(stopOf(stoppedByTheSecond)), 0);
    ASSERT_TRUE(signalChild(stoppedByTheSecond.pid(), SIGSTOP));
    ASSERT_TRUE(waitForState(stoppedByTheSecond.pid(), 'T'));

    program.reset(); // SIGKILL
    EXPECT_TRUE(runsWithin(stoppedByTheSecond.pid(), 2s));
    for (int i = 0; i < 200 && !context.suspended().processes().empty(); ++i)
        std::this_thread::sleep_for(5ms);
    EXPECT_TRUE(context.suspended().processes().empty());
}

} // namespace
