#include "platform/services/ChildProcess.h"
#include "support/RootBecomingProgram.h"

#include "support/SignalChild.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <stop_token>
#include <thread>

using platform::childMayStillRun;
using platform::ChildRun;
using platform::runChildProcess;
using platform::startChildProcess;
using namespace std::chrono_literals;

namespace {

// Whether the process is gone (or a zombie left to whoever adopted it).
bool ended(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

bool hasContent(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size > 0;
}

// That the process whose pid `pidFile` holds ends within ten seconds; killed if not.
void expectEndedSoon(const std::string& pidFile)
{
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!ended(pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(ended(pid));
    if (!ended(pid))
        signalChild(pid, SIGKILL);
}

} // namespace

TEST(ChildProcessTest, ADeadlineEndsAHangingChildAndWhatItStarted)
{
    char folder[] = "/tmp/qv-child-XXXXXX";
    ASSERT_TRUE(::mkdtemp(folder));
    const std::string pidFile = std::string(folder) + "/sleeper";
    // The sleeper keeps the output pipe open too, so reading to its end would wait as long as it sleeps.
    const std::string script = "/bin/sleep 30 & echo $! > " + pidFile + "; wait";
    // Long enough for a loaded machine's shell to start the sleeper first; far short of its 30 s.
    const auto start = std::chrono::steady_clock::now();
    const auto outcome
        = runChildProcess("/bin/sh", {"-c", script}, {.output = ChildRun::Output::standardOutput, .deadline = 3s});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error().code, ETIMEDOUT);

    expectEndedSoon(pidFile);
    std::filesystem::remove_all(folder);
}

TEST(ChildProcessTest, ADeadlineIsKeptByAChildThatCannotBeKilled)
{
    // The child becomes root, as pkexec does once authorised, and the run is nobody's: the kill fails.
    const RootBecomingProgram root;
    if (!root.usable())
        GTEST_SKIP() << "needs root and a file system that honours setuid";
    const std::string pidFile = root.folder() + "/sleeper";
    const std::vector<std::string> arguments {"--reuid=0", "/bin/sh", "-c", "echo $$ > " + pidFile + "; exec sleep 30"};
    std::optional<platform::Result<platform::ChildOutcome>> outcome;
    const auto start = std::chrono::steady_clock::now();
    auto run = asNobody([&] {
        outcome
            = runChildProcess(root.program(), arguments, {.output = ChildRun::Output::standardOutput, .deadline = 1s});
    });
    const bool onTime = run.wait_for(2s) == std::future_status::ready;
    pid_t sleeper = 0;
    std::ifstream(pidFile) >> sleeper;
    ASSERT_GT(sleeper, 0);
    signalChild(sleeper, SIGKILL); // this thread is still root
    ASSERT_TRUE(run.get());
    EXPECT_TRUE(onTime)
        << "returned after "
        << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()
        << " ms";
    ASSERT_TRUE(outcome.has_value());
    ASSERT_FALSE(*outcome);
    EXPECT_EQ(outcome->error().code, ETIMEDOUT);
    EXPECT_TRUE(childMayStillRun(outcome->error())) << outcome->error().message;
    EXPECT_EQ(outcome->error().message, "did not finish within 1 s and may still be running");

    // Reaped once it ended, not left a zombie of this process.
    const auto gone = [sleeper] { return !std::filesystem::exists("/proc/" + std::to_string(sleeper)); };
    for (int i = 0; i < 500 && !gone(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(gone());
}

// A run stopped from another thread (the program quitting) while its child waits for someone.
TEST(ChildProcessTest, AStopEndsTheChildAndWhatItStartedAtOnce)
{
    char folder[] = "/tmp/qv-child-XXXXXX";
    ASSERT_TRUE(::mkdtemp(folder));
    const std::string pidFile = std::string(folder) + "/sleeper";
    std::stop_source stop;
    std::thread stopper([&] {
        // The shell makes the file before it writes the pid into it.
        for (int i = 0; i < 1000 && !hasContent(pidFile); ++i)
            std::this_thread::sleep_for(10ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = runChildProcess("/bin/sh", {"-c", "/bin/sleep 30 & echo $! > " + pidFile + "; wait"},
        {.output = ChildRun::Output::standardOutput, .deadline = 60s, .stop = stop.get_token()});
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error().code, ECANCELED);
    EXPECT_EQ(outcome.error().message, "was cancelled and was killed");
    EXPECT_FALSE(childMayStillRun(outcome.error()));
    expectEndedSoon(pidFile);
    std::filesystem::remove_all(folder);

    // Stopped before it starts, nothing starts.
    const auto never = runChildProcess("/bin/sh", {"-c", "exit 0"}, {.stop = stop.get_token()});
    ASSERT_FALSE(never);
    EXPECT_EQ(never.error().code, ECANCELED);
}

TEST(ChildProcessTest, AStoppedChildThatCannotBeKilledHasItsGraceToFinish)
{
    // As pkexec once authorised: root's, out of reach of the run, which is nobody's.
    const RootBecomingProgram root;
    if (!root.usable())
        GTEST_SKIP() << "needs root and a file system that honours setuid";
    const auto stoppedRun = [&](const std::string& script, std::chrono::milliseconds grace) {
        const std::string pidFile = root.folder() + "/child";
        std::filesystem::remove(pidFile);
        std::stop_source stop;
        std::optional<platform::Result<platform::ChildOutcome>> outcome;
        auto run = asNobody([&] {
            outcome = runChildProcess(root.program(),
                {"--reuid=0", "/bin/sh", "-c", "echo $$ > " + pidFile + "; " + script},
                {.output = ChildRun::Output::standardOutput, .stop = stop.get_token(), .stopGrace = grace});
        });
        for (int i = 0; i < 1000 && !hasContent(pidFile); ++i)
            std::this_thread::sleep_for(10ms);
        const auto stopped = std::chrono::steady_clock::now();
        stop.request_stop();
        const bool onTime = run.wait_for(grace + 2s) == std::future_status::ready;
        const auto took = std::chrono::steady_clock::now() - stopped;
        pid_t child = 0;
        std::ifstream(pidFile) >> child;
        signalChild(child, SIGKILL); // this thread is still root
        EXPECT_TRUE(run.get());
        EXPECT_TRUE(onTime);
        return std::make_pair(*outcome, took);
    };

    // One that finishes within the grace gives its own exit status.
    const auto [finished, finishedIn] = stoppedRun("sleep 0.5; exit 4", 5s);
    ASSERT_TRUE(finished) << finished.error().message;
    EXPECT_EQ(finished.value().exitStatus, 4);
    EXPECT_LT(finishedIn, 4s);

    // One still running after it is left to run, and the run says so.
    const auto [left, leftIn] = stoppedRun("exec sleep 30", 500ms);
    ASSERT_FALSE(left);
    EXPECT_EQ(left.error().code, ECANCELED);
    EXPECT_TRUE(childMayStillRun(left.error())) << left.error().message;
    EXPECT_EQ(left.error().message, "was cancelled and may still be running");
    EXPECT_GE(leftIn, 500ms);
}

TEST(ChildProcessTest, AChildsOwnExitIsReportedThoughWhatItStartedHoldsItsOutput)
{
    char folder[] = "/tmp/qv-child-XXXXXX";
    ASSERT_TRUE(::mkdtemp(folder));
    const std::string pidFile = std::string(folder) + "/sleeper";
    const std::string script = "echo started; /bin/sleep 30 & echo $! > " + pidFile + "; exit 3";
    const auto start = std::chrono::steady_clock::now();
    const auto outcome
        = runChildProcess("/bin/sh", {"-c", script}, {.output = ChildRun::Output::standardOutput, .deadline = 5s});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    pid_t sleeper = 0;
    std::ifstream(pidFile) >> sleeper;
    ASSERT_GT(sleeper, 0);
    EXPECT_FALSE(ended(sleeper)); // what it left running is not the run's to end
    signalChild(sleeper, SIGKILL);
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(outcome) << outcome.error().message;
    EXPECT_EQ(outcome.value().exitStatus, 3);
    EXPECT_EQ(outcome.value().output, "started\n");
}

TEST(ChildProcessTest, OutputPastTheLimitIsDroppedWithoutStallingTheChild)
{
    const ChildRun run {.output = ChildRun::Output::standardOutput, .deadline = 20s, .outputLimit = 1000};
    const auto outcome = runChildProcess("/bin/sh", {"-c", "head -c 5000000 /dev/zero; echo noise >&2"}, run);
    ASSERT_TRUE(outcome) << outcome.error().message;
    EXPECT_EQ(outcome.value().exitStatus, 0);
    EXPECT_EQ(outcome.value().output, std::string(1000, '\0')); // standard error went nowhere
}

TEST(ChildProcessTest, TheEnvironmentGivenReplacesThisProcesssOwn)
{
    ::setenv("QV_CHILD_PROBE", "outer", 1);
    const ChildRun run {
        .output = ChildRun::Output::standardOutput, .environment = {"QV_CHILD_PROBE=inner", "QV_CHILD_EXTRA="}};
    const auto outcome = runChildProcess("/usr/bin/env", {}, run);
    ::unsetenv("QV_CHILD_PROBE");
    ASSERT_TRUE(outcome) << outcome.error().message;
    const std::string& shown = outcome.value().output;
    EXPECT_NE(shown.find("QV_CHILD_PROBE=inner\n"), std::string::npos);
    EXPECT_EQ(shown.find("QV_CHILD_PROBE=outer"), std::string::npos); // once, not beside the old value
    EXPECT_NE(shown.find("QV_CHILD_EXTRA=\n"), std::string::npos);
}

TEST(ChildProcessTest, AStartedChildRunsOnAloneAndIsReapedWhenItEnds)
{
    char folder[] = "/tmp/qv-child-XXXXXX";
    ASSERT_TRUE(::mkdtemp(folder));
    const std::string mark = std::string(folder) + "/mark";
    const std::string go = std::string(folder) + "/go";
    // The child waits for the test, so returning at all shows it was not waited for.
    const auto started = startChildProcess("/bin/sh",
        {"-c",
            "i=0; while [ ! -e " + go
                + " ] && [ $i -lt 3000 ]; do sleep 0.01; i=$((i+1)); done; echo $QV_CHILD_PROBE > " + mark},
        {"QV_CHILD_PROBE=inner"});
    ASSERT_TRUE(started) << started.error().message;
    const pid_t pid = started.value();
    EXPECT_FALSE(ended(pid));
    EXPECT_FALSE(std::filesystem::exists(mark));
    EXPECT_EQ(::getsid(pid), pid); // out of reach of this program's terminal and group
    std::ofstream(go) << "";

    // Reaped: gone from /proc once it ended, not left a zombie.
    const auto gone = [pid] { return !std::filesystem::exists("/proc/" + std::to_string(pid)); };
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!gone() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(gone());
    std::string written;
    std::ifstream(mark) >> written;
    EXPECT_EQ(written, "inner");
    std::filesystem::remove_all(folder);

    const auto missing = startChildProcess("/nonexistent/program", {});
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
}
