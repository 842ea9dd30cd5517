#include "HelperServerFixture.h"

#include "platform/proc/ProcessTable.h"

#include "support/SignalChild.h"

#include <sys/stat.h>

using namespace helpertest;

namespace {

class StopTargetTest : public HelperServerFixture
{
protected:
    static std::uint64_t startTimeOf(pid_t pid)
    {
        const auto info = platform::ProcessTable().info(pid);
        return info ? info->startTimeTicks : 0;
    }
};

// A pause the user made (Ctrl-Z, kill -STOP, a debugger) is not the helper's: it neither lists the
// process nor, when the program that asked ends, continues it. What it stopped itself it may stop again.
TEST_F(StopTargetTest, AProcessStoppedByItsUserIsLeftAsItIs)
{
    start();
    SleepingChild paused;
    SleepingChild ours;
    signalChild(paused.pid(), SIGSTOP);
    ASSERT_TRUE(waitForState(paused.pid(), 'T'));
    RawClient client(m_config.socketPath);
    expectError(client.call(signalRequest(1, SIGSTOP, paused.pid())), 1, "QVHelperError", 409,
        "Refusing to signal pid " + std::to_string(paused.pid())
            + ": it was stopped already, not by the helper, which leaves it as it is.");
    ASSERT_TRUE(client.call(signalRequest(2, SIGSTOP, ours.pid()))->ok);
    ASSERT_TRUE(client.call(signalRequest(3, SIGSTOP, ours.pid()))->ok);
    const auto listed = m_server->context().suspended().processes();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].pid, ours.pid());

    EXPECT_EQ(m_server->context().resumeSuspended().resumed, 1u);
    EXPECT_EQ(processState(paused.pid()), 'T');
    EXPECT_TRUE(waitForState(ours.pid(), 'S'));
    // Its user may still resume it through the helper.
    EXPECT_TRUE(client.call(signalRequest(4, SIGCONT, paused.pid()))->ok);
    EXPECT_TRUE(waitForState(paused.pid(), 'S'));
}

// A request that names the start time of the process it chose never reaches a process that was
// given its pid since.
TEST_F(StopTargetTest, AStartTimeThatNoLongerMatchesIsRefused)
{
    start();
    SleepingChild target;
    const std::uint64_t started = startTimeOf(target.pid());
    RawClient client(m_config.socketPath);
    auto request = signalRequest(1, SIGSTOP, target.pid());
    request.startTime = started + 1;
    expectError(client.call(request), 1, "QVHelperError", 409,
        "Refusing to signal pid " + std::to_string(target.pid())
            + ": it is no longer the process that was chosen (another process has that pid now).");
    EXPECT_NE(processState(target.pid()), 'T');
    EXPECT_TRUE(m_server->context().suspended().processes().empty());
    request.id = 2;
    request.startTime = started;
    EXPECT_TRUE(client.call(request)->ok);
    EXPECT_TRUE(waitForState(target.pid(), 'T'));
}

// "Listed before it is sent" holds on a full or broken runtime folder: a stop that cannot be written
// to the list is not sent, and the user's place is given back.
TEST_F(StopTargetTest, AStopThatCannotBeListedIsNotSent)
{
    m_config.maxSuspendedPerUser = 1;
    start();
    ::mkdir(path("run").c_str(), 0755);
    // The list is written to this name and renamed; a folder there makes every write fail, as a
    // full disk or a read-only folder would.
    ASSERT_EQ(::mkdir(path("run/suspended.json.tmp").c_str(), 0755), 0);
    SleepingChild target;
    RawClient client(m_config.socketPath);
    const auto reply = client.call(signalRequest(1, SIGSTOP, target.pid()));
    ASSERT_TRUE(reply && reply->error);
    EXPECT_EQ(reply->error->code, 507);
    std::this_thread::sleep_for(50ms);
    EXPECT_NE(processState(target.pid()), 'T');
    EXPECT_TRUE(m_server->context().suspended().processes().empty());

    ASSERT_EQ(::rmdir(path("run/suspended.json.tmp").c_str()), 0);
    EXPECT_TRUE(client.call(signalRequest(2, SIGSTOP, target.pid()))->ok);
    EXPECT_TRUE(waitForState(target.pid(), 'T'));
}

} // namespace
