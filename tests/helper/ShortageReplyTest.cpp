#include "HelperTestSupport.h"
#include "SyscallFailures.h"

#include "support/ChildProcess.h"

#include "helper/src/HelperContext.h"
#include "helper/src/HelperImplementation.h"
#include "platform/security/ConnectedCaller.h"
#include "platform/security/LocalSessions.h"

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/socket.h>

using namespace helpertest;

namespace {

// A shortage of descriptors is told as one, whichever step met it: 503 and "try again shortly", never
// a code that says the request or the machine is at fault. Each request is served in a forked child
// whose chosen calls fail as when no descriptor is free, with this program as the trusted caller.
class ShortageReplyTest : public ::testing::Test
{
protected:
    // The reply to `request`, served with `failures` in force; nothing where they cannot be arranged.
    std::optional<platform::HelperReply> replyUnder(
        const std::vector<SyscallFailure>& failures, const platform::HelperRequest& request) const
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return std::nullopt;
        const std::string folder = m_dir.path().toStdString();
        const int code = runInChild([&] {
            ::close(out[0]);
            helper::HelperConfig config;
            config.socketPath = folder + "/helper.sock";
            config.auditLogPath = folder + "/audit.log";
            config.runtimeFolder = folder + "/run";
            config.trustedExecutables = {trustedTestProgram()};
            config.sessions = std::make_shared<platform::FixedLocalSessions>(true);
            int pair[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
                return 2;
            helper::HelperContext context(config);
            const auto caller = platform::judgeConnectedCaller(pair[0], context.callers());
            if (!caller.trusted())
                return 3;
            helper::HelperImplementation implementation(context, caller);
            if (!failSyscalls(failures))
                return 77;
            const std::string line = platform::encodeHelperReply(implementation.handle(request)) + "\n";
            return ::write(out[1], line.data(), line.size()) == ssize_t(line.size()) ? 0 : 4;
        });
        ::close(out[1]);
        const std::string answer = readFile("/proc/self/fd/" + std::to_string(out[0]));
        ::close(out[0]);
        if (code == 77)
            return std::nullopt;
        EXPECT_EQ(code, 0);
        return platform::decodeHelperReply(answer.substr(0, answer.find('\n')));
    }

    static void expectBusy(const std::optional<platform::HelperReply>& reply)
    {
        ASSERT_TRUE(reply && reply->error);
        EXPECT_EQ(reply->error->domain, "QVHelperError");
        EXPECT_EQ(reply->error->code, 503) << reply->error->message;
        EXPECT_NE(reply->error->message.find("Too many open files); try again shortly."), std::string::npos)
            << reply->error->message;
    }

    QTemporaryDir m_dir;
};

TEST_F(ShortageReplyTest, AStopWhoseListCannotBeWrittenForWantOfADescriptorIsBusy)
{
    SleepingChild target;
    // The list is the only file a stop creates.
    const auto reply = replyUnder(
        {{SYS_openat, EMFILE, SyscallFailure::When::argumentHas, 2, O_CREAT}}, signalRequest(1, SIGSTOP, target.pid()));
    if (!reply)
        GTEST_SKIP() << "this kernel takes no seccomp filter";
    expectBusy(reply);
    EXPECT_NE(reply->error->message.find("cannot write its list of stopped processes"), std::string::npos);
    std::this_thread::sleep_for(50ms);
    EXPECT_NE(processState(target.pid()), 'T');
}

TEST_F(ShortageReplyTest, ATargetThatCannotBePinnedForWantOfADescriptorIsBusy)
{
    SleepingChild target;
    for (const int signal : {SIGSTOP, SIGCONT}) {
        SCOPED_TRACE(signal);
        const auto reply = replyUnder({{SYS_pidfd_open, EMFILE}}, signalRequest(1, signal, target.pid()));
        if (!reply)
            GTEST_SKIP() << "this kernel takes no seccomp filter";
        expectBusy(reply);
        EXPECT_NE(processState(target.pid()), 'T');
    }
}

} // namespace
