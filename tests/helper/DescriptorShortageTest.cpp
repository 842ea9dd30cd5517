#include "RawCalls.h"
#include "SyscallFailures.h"

#include "support/ChildProcess.h"

#include "helper/src/CallerWatch.h"
#include "helper/src/SuspendedProcesses.h"
#include "platform/proc/Pidfd.h"
#include "platform/proc/ProcessTable.h"
#include "platform/security/ConnectedCaller.h"

#include "support/SignalChild.h"

#include <QTemporaryDir>

#include <atomic>
#include <cstddef>
#include <fstream>
#include <memory>
#include <sys/socket.h>

using namespace helpertest;

namespace {

// These take every descriptor of the test's own process, and the undefined-behaviour sanitizer's
// type checks need one to test whether memory can be read: under the sanitizers they would fail
// for its sake, not the code's. The flood test, whose helper runs in a process of its own, still runs.
#if defined(__SANITIZE_ADDRESS__)
#define skipUnderSanitizers() GTEST_SKIP() << "the sanitizers need free descriptors of their own"
#else
#define skipUnderSanitizers() (void)0
#endif

// The daemon started with few descriptors, as a flood of callers would leave it.
class DescriptorShortageTest : public ::testing::Test
{
protected:
    static constexpr int kLimit = 24;

    std::string path(const std::string& name) const { return inDir(m_dir, name); }

    std::unique_ptr<HelperProcess> startHelper() const
    {
        const std::string limit = std::to_string(kLimit);
        return std::make_unique<HelperProcess>(
            std::map<std::string, std::string> {{"QUORVANE_HELPER_SOCKET", path("helper.sock")},
                {"QUORVANE_HELPER_AUDIT_LOG", path("audit.log")}, {"QUORVANE_HELPER_RUNTIME_DIR", path("run")},
                {"QUORVANE_HELPER_TRUSTED", trustedTestProgram()}},
            std::vector<std::string> {}, std::vector<std::string> {"prlimit", "--nofile=" + limit + ":" + limit, "--"});
    }

    // A program that has `target` stopped and then lives on without its connection; not ready when
    // the helper refused the stop.
    std::unique_ptr<ForkedChild> programStopping(pid_t target) const
    {
        const std::string socket = path("helper.sock");
        return std::make_unique<ForkedChild>([socket, target] {
            const int fd = connectTo(socket.c_str());
            const bool stopped = askSucceeds(fd, stopRequest(1, target));
            ::close(fd);
            return stopped;
        });
    }

    static std::uint64_t cpuTicksOf(pid_t pid)
    {
        const auto info = platform::ProcessTable().info(pid);
        return info ? info->cpuTicks : 0;
    }

    QTemporaryDir m_dir;
};

// From here on, every netlink socket this process asks for fails with `error`, while every other call
// goes on as before. False where it cannot be arranged.
bool refuseNetlinkSockets(int error)
{
    return failSyscalls({{SYS_socket, error, SyscallFailure::When::argumentIs, 0, AF_NETLINK}});
}

// Every stop of a flood is either refused before the signal or resumed once its program ends,
// however short of descriptors the helper is; nothing is forgotten on the way.
TEST_F(DescriptorShortageTest, AFloodOfStopsLeavesNothingStopped)
{
    auto daemon = startHelper();
    ASSERT_FALSE(daemon->banner().empty());
    constexpr int kCallers = 30;
    std::vector<std::unique_ptr<SleepingChild>> targets;
    std::vector<std::unique_ptr<ForkedChild>> programs;
    int accepted = 0;
    for (int i = 0; i < kCallers; ++i) {
        targets.push_back(std::make_unique<SleepingChild>());
        programs.push_back(programStopping(targets.back()->pid()));
        accepted += programs.back()->ready() ? 1 : 0;
    }
    std::printf("[          ] %d of %d stops taken, %d refused, with %d descriptors\n", accepted, kCallers,
        kCallers - accepted, kLimit);
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, kCallers);

    programs.clear(); // SIGKILL, each
    int leftStopped = 0;
    for (const auto& target : targets) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (processState(target->pid()) == 'T' && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        leftStopped += processState(target->pid()) == 'T' ? 1 : 0;
    }
    std::printf("[          ] %d left stopped after their programs ended\n", leftStopped);
    EXPECT_EQ(leftStopped, 0);
    EXPECT_EQ(daemon->stop(), 0);
    const auto stored = helper::SuspendedListFile::decode(readFile(path("run/suspended.json")));
    ASSERT_TRUE(stored.has_value());
    EXPECT_TRUE(stored->first.empty());
}

// With no descriptor free, connections wait in the queue; the helper must not spin over them.
TEST_F(DescriptorShortageTest, AFullDescriptorTableDoesNotSpinTheAcceptLoop)
{
    skipUnderSanitizers();
    auto daemon = startHelper();
    ASSERT_FALSE(daemon->banner().empty());
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < kLimit; ++i)
        clients.push_back(std::make_unique<RawClient>(path("helper.sock")));
    std::this_thread::sleep_for(200ms);
    const auto before = cpuTicksOf(daemon->pid());
    std::this_thread::sleep_for(1s);
    const auto spent = cpuTicksOf(daemon->pid()) - before;
    EXPECT_LT(spent, std::uint64_t(platform::ProcessTable::ticksPerSecond() / 5));
    clients.clear();
    EXPECT_EQ(daemon->stop(), 0);
}

// An entry is dropped only once its process has surely ended or was resumed: one whose /proc entry
// cannot be read now (no descriptor free, say) stays listed, counts towards its user's bound, and is
// resumed by a later try.
TEST(SuspendedListShortageTest, AnEntryWhoseProcessCannotBeReadStaysListed)
{
    QTemporaryDir dir;
    SleepingChild child;
    const std::string procRoot = inDir(dir, "proc");
    const std::string stat = procRoot + "/" + std::to_string(child.pid()) + "/stat";
    ASSERT_EQ(::system(("mkdir -p " + stat).c_str()), 0); // read() fails: neither gone nor readable
    helper::SuspendedProcesses list(inDir(dir, "run"), procRoot, 1);
    signalChild(child.pid(), SIGSTOP);
    ASSERT_TRUE(waitForState(child.pid(), 'T')); // a child just started may take a while to stop
    ASSERT_EQ(list.add({child.pid(), 42, ::getuid(), "sleep", helper::SuspendingCaller {1234, 5, ::getuid()}}), 0);

    EXPECT_FALSE(list.reserve(::getuid()));
    const auto tried = list.resumeAll();
    EXPECT_TRUE(tried.resumed.empty());
    ASSERT_EQ(tried.left.size(), 1u);
    EXPECT_EQ(list.processes().size(), 1u);
    EXPECT_EQ(list.resumeStoppedBy({1234, 5, ::getuid()}).left.size(), 1u);
    EXPECT_EQ(processState(child.pid()), 'T');

    ASSERT_EQ(::rmdir(stat.c_str()), 0);
    std::ofstream(stat) << child.pid() << " (sleep) T 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 42 0 0";
    const auto resumed = list.resumeAll();
    ASSERT_EQ(resumed.resumed.size(), 1u);
    EXPECT_TRUE(resumed.resumed[0].second);
    EXPECT_TRUE(list.processes().empty());
    EXPECT_TRUE(waitForState(child.pid(), 'S'));
}

// A trusted program judged while the helper has no descriptor free is told what failed, not that
// it is unauthorised.
TEST(CallerCheckShortageTest, ACallerThatCannotBeExaminedIsUncheckedNotRefused)
{
    const int code = runInChild([] {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return 2;
        const platform::TrustedCallers callers({trustedTestProgram()});
        if (platform::judgeConnectedCaller(pair[0], callers).verdict != platform::CallerVerdict::Trusted)
            return 3;
        int spare = 0;
        while ((spare = ::dup(pair[0])) >= 0) { }
        const auto caller = platform::judgeConnectedCaller(pair[0], callers);
        return caller.verdict == platform::CallerVerdict::Unchecked && caller.checkError == EMFILE ? 0 : 4;
    });
    EXPECT_EQ(code, 0);
}

// Without the inode of the caller's end of the connection, a stop could not tell which processes hold
// that end, so it would spare none of them: a caller whose end cannot be looked up for want of a
// descriptor is Unchecked too. Only the lookup's netlink socket is refused here, since lowering the
// descriptor limit makes the /proc reads after it fail as well.
TEST(CallerCheckShortageTest, ACallerWhoseEndOfTheConnectionCannotBeLookedUpIsUnchecked)
{
    const int code = runInChild([] {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return 2;
        const platform::TrustedCallers callers({trustedTestProgram()});
        const auto judged = platform::judgeConnectedCaller(pair[0], callers);
        if (judged.verdict != platform::CallerVerdict::Trusted)
            return 3;
        if (!judged.peerSocket || !refuseNetlinkSockets(EMFILE))
            return 77;
        const auto caller = platform::judgeConnectedCaller(pair[0], callers);
        return caller.verdict == platform::CallerVerdict::Unchecked && caller.checkError == EMFILE ? 0 : 4;
    });
    if (code == 77)
        GTEST_SKIP() << "the kernel names no socket's peer, or takes no seccomp filter";
    EXPECT_EQ(code, 0);
}

// Whatever keeps the kernel from naming the caller's end (a kernel without unix socket diagnostics,
// which answers with an error of its own, or a filter), the caller is not judged trusted: a stop it
// asked for could not spare the processes that hold its end.
TEST(CallerCheckShortageTest, ACallerWhoseEndCannotBeLookedUpForAnyReasonIsUnchecked)
{
    const int code = runInChild([] {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
            return 2;
        const platform::TrustedCallers callers({trustedTestProgram()});
        if (!platform::judgeConnectedCaller(pair[0], callers).peerSocket || !refuseNetlinkSockets(EPROTONOSUPPORT))
            return 77;
        const auto caller = platform::judgeConnectedCaller(pair[0], callers);
        return caller.verdict == platform::CallerVerdict::Unchecked && caller.checkError == EPROTONOSUPPORT ? 0 : 4;
    });
    if (code == 77)
        GTEST_SKIP() << "the kernel names no socket's peer, or takes no seccomp filter";
    EXPECT_EQ(code, 0);
}

// The watch's own shortages: no wake pipe, and a poll() the kernel refuses.
TEST(CallerWatchShortageTest, WithoutAWakePipeItStillStopsAndReports)
{
    skipUnderSanitizers();
    const int code = runInChild([] {
        ::alarm(10);
        // Exactly one descriptor free: room for the child's pidfd, not for the watch's pipe. Taking
        // them one at a time leaves none over, however many this process inherited.
        int last = -1;
        for (int fd; (fd = ::dup(0)) >= 0;)
            last = fd;
        if (last < 0)
            return 6;
        ::close(last);
        std::atomic<int> reported {0};
        {
            helper::CallerWatch watch([&](const helper::SuspendingCaller&) { ++reported; });
            const pid_t child = ::fork();
            if (child == 0) {
                ::pause();
                ::_exit(0);
            }
            if (!watch.watch({child, 1, ::getuid()}, platform::openPidfd(child))) {
                signalChild(child, SIGKILL); // a child left behind would hold the test's output open
                return 3;
            }
            signalChild(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            for (int i = 0; i < 400 && reported == 0; ++i)
                std::this_thread::sleep_for(5ms);
        }
        return reported == 1 ? 0 : 4;
    });
    EXPECT_EQ(code, 0);
}

TEST(CallerWatchShortageTest, APollTheKernelRefusesDoesNotEndTheWatch)
{
    skipUnderSanitizers();
    const int code = runInChild([] {
        ::alarm(10);
        std::atomic<int> reported {0};
        helper::CallerWatch watch([&](const helper::SuspendingCaller&) { ++reported; });
        std::vector<pid_t> children;
        for (int i = 0; i < 8; ++i) {
            const pid_t child = ::fork();
            if (child == 0) {
                ::pause();
                ::_exit(0);
            }
            children.push_back(child);
            if (!watch.watch({child, 1, ::getuid()}, platform::openPidfd(child)))
                return 3;
        }
        // poll() takes no more descriptors than the process may open: EINVAL from here on.
        rlimit limit {};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = 4;
        if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
            return 5;
        std::this_thread::sleep_for(100ms);
        signalChild(children.back(), SIGKILL);
        ::waitpid(children.back(), nullptr, 0);
        for (int i = 0; i < 400 && reported == 0; ++i)
            std::this_thread::sleep_for(5ms);
        for (const pid_t child : children)
            signalChild(child, SIGKILL);
        return reported == 1 ? 0 : 4;
    });
    EXPECT_EQ(code, 0);
}

} // namespace
