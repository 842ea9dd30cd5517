#include "HelperServerFixture.h"

#include "support/ChildProcess.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>

using namespace helpertest;
using platform::HelperOp;
using platform::HelperReply;

namespace {

class HelperServerTest : public HelperServerFixture
{
protected:
    sockaddr_un address() const
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, m_config.socketPath.c_str());
        return address;
    }

    // The helper's answer to `request` sent by the trusted test program running as `uid`, on a
    // connection of its own; empty when none came.
    std::string replyAsUid(uid_t uid, const platform::HelperRequest& request) const
    {
        const std::string line = platform::encodeHelperRequest(request) + "\n";
        const sockaddr_un to = address();
        int replyPipe[2];
        if (::pipe(replyPipe) != 0)
            return {};
        // Only raw system calls after fork: the test program has threads.
        const pid_t caller = ::fork();
        if (caller == 0) {
            if (::syscall(SYS_setgid, uid) != 0 || ::syscall(SYS_setuid, uid) != 0)
                ::_exit(2);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
                ::_exit(3);
            // A connection the helper refused ends without a reply.
            if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != ssize_t(line.size()))
                ::_exit(0);
            char buffer[1024];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0 && ::write(replyPipe[1], buffer, size_t(n)) != n)
                ::_exit(5);
            ::_exit(0);
        }
        ::close(replyPipe[1]);
        int status = 0;
        ::waitpid(caller, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 0);
        platform::LineChannel channel(replyPipe[0]);
        const auto reply = channel.readLine(std::chrono::steady_clock::now() + 5s);
        ::close(replyPipe[0]);
        return reply.line;
    }
};

TEST_F(HelperServerTest, VersionAnswersAnyCallerWithoutAuditLine)
{
    m_config.trustedExecutables = {"/nonexistent/quorvane-pro"};
    start();
    RawClient client(m_config.socketPath);
    const auto reply = client.call(opRequest(7, HelperOp::getVersion));
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, HelperReply({7, true, std::nullopt, std::nullopt, std::string("1.0.0")}));
    EXPECT_TRUE(readFile(m_config.auditLogPath).empty());
}

// An untrusted connection gets one answer and is closed.
TEST_F(HelperServerTest, UntrustedCallerIsRefusedEverythingWithOneLineEach)
{
    m_config.trustedExecutables = {writeScript(path("quorvane-pro"), "exit 0")};
    start();
    SleepingChild child;
    std::int64_t id = 0;
    for (const auto& request : {signalRequest(++id, SIGSTOP, child.pid()), opRequest(++id, HelperOp::pauseFileIndexer),
             opRequest(++id, HelperOp::resumeFileIndexer), opRequest(++id, HelperOp::getPowerMetrics),
             opRequest(++id, HelperOp::purgeMemory)}) {
        RawClient client(m_config.socketPath);
        expectError(client.call(request), request.id, "QVHelperError", 403, "Unauthorized caller");
        EXPECT_TRUE(client.closedByPeer(3s));
        m_now = m_now + 1.0; // past the folding of one user's refusals
    }
    EXPECT_NE(processState(child.pid()), 'T');
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("indexer.args"))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(m_config.dropCachesPath)));
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 5u);
    for (const auto& record : records) {
        EXPECT_EQ(record["action"], "caller_invalid_signature");
        EXPECT_EQ(record["targetPID"], -1);
        EXPECT_EQ(record["success"], false);
    }
}

TEST_F(HelperServerTest, CallerThatHasExitedFailsValidation)
{
    bind();
    // The child connects and exits before it is accepted; the kernel keeps its pid as the peer of
    // this socket.
    platform::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, m_config.socketPath.c_str());
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    serve();

    ASSERT_EQ(platform::writeLine(fd.get(), platform::encodeHelperRequest(opRequest(1, HelperOp::purgeMemory)), 5s), 0);
    platform::LineChannel channel(fd.get());
    const auto line = channel.readLine(std::chrono::steady_clock::now() + 5s);
    expectError(platform::decodeHelperReply(line.line), 1, "QVHelperError", 403, "Unauthorized caller");
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["action"], "caller_validation_failed");
}

TEST_F(HelperServerTest, ChildReallyStopsAndContinues)
{
    start();
    SleepingChild child;
    RawClient client(m_config.socketPath);
    auto reply = client.call(signalRequest(1, SIGSTOP, child.pid()));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->ok);
    EXPECT_TRUE(waitForState(child.pid(), 'T'));
    reply = client.call(signalRequest(2, SIGCONT, child.pid()));
    ASSERT_TRUE(reply);
    EXPECT_TRUE(reply->ok);
    EXPECT_TRUE(waitForState(child.pid(), 'S'));

    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["action"], "send_sigstop");
    EXPECT_EQ(records[1]["action"], "send_sigcont");
    for (const auto& record : records) {
        EXPECT_EQ(record["targetPID"], child.pid());
        EXPECT_EQ(record["targetProcessName"], "sleep");
        EXPECT_EQ(record["success"], true);
        EXPECT_EQ(record["callerUID"], ::geteuid());
        EXPECT_EQ(record["callerPID"], ::getpid());
        EXPECT_EQ(record["callerExecutable"], trustedTestProgram());
        EXPECT_FALSE(record.contains("callerBundleID"));
    }
}

TEST_F(HelperServerTest, DangerousTargetsAreRefused)
{
    start();
    RawClient client(m_config.socketPath);
    std::vector<pid_t> targets = {-1, 0, 1, ::getpid(), INT32_MIN};
    // A kernel thread, where the machine shows one (kthreadd is pid 2 outside containers).
    if (const auto info = m_server->context().processes().info(2); info && info->kernelThread)
        targets.push_back(2);
    std::int64_t id = 0;
    for (const pid_t pid : targets) {
        m_now = m_now + 1.0; // past the folding of one user's refusals
        const auto reply = client.call(signalRequest(++id, SIGSTOP, pid));
        expectError(reply, id, "QVHelperError", 403);
        EXPECT_NE(reply->error->message.find("Refusing to signal pid " + std::to_string(pid)), std::string::npos);
    }
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        EXPECT_EQ(records[i]["action"], "send_sigstop");
        EXPECT_EQ(records[i]["targetPID"], targets[i]);
        EXPECT_EQ(records[i]["success"], false);
    }
    EXPECT_EQ(processState(::getpid()), 'R');
}

TEST_F(HelperServerTest, ProcessOfAnotherUserIsRefusedToAnOrdinaryCaller)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a caller under another account";
    ::chmod(m_dir.path().toLocal8Bit().constData(), 0755);
    start();
    SleepingChild rootsChild;
    // A root service serving nobody under nobody's effective uid, dumpable, so its pid folder is
    // nobody's: the kernel lets only root signal it, and so does the helper.
    const ForkedChild servingNobody(
        [] { return ::syscall(SYS_setresuid, 0, 65534, 0) == 0 && ::prctl(PR_SET_DUMPABLE, 1) == 0; });
    ASSERT_TRUE(servingNobody.ready());

    std::int64_t id = 0;
    for (const pid_t target : {rootsChild.pid(), servingNobody.pid()}) {
        m_now = m_now + 1.0; // past the folding of one user's refusals
        const std::string line = replyAsUid(65534, signalRequest(++id, SIGSTOP, target));
        SCOPED_TRACE(line);
        expectError(platform::decodeHelperReply(line), id, "QVHelperError", 403,
            "Refusing to signal pid " + std::to_string(target) + ": it belongs to another user.");
        EXPECT_NE(processState(target), 'T');
    }
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["success"], false);
    EXPECT_EQ(records[1]["success"], false);
}

TEST_F(HelperServerTest, OnlyStopAndContinueAreSentAndOthersDoNotCount)
{
    start();
    SleepingChild child;
    RawClient client(m_config.socketPath);
    std::int64_t id = 0;
    // 17 is SIGCHLD here; 9, 15 and 0 kill or probe.
    for (const int signal : {SIGKILL, SIGTERM, 0, SIGCHLD, -19, 1000}) {
        ++id;
        m_now = m_now + 1.0; // past the folding of one user's refusals
        expectError(client.call(signalRequest(id, signal, child.pid())), id, "QVHelperError", 400,
            "Only SIGSTOP and SIGCONT signals are allowed.");
    }
    EXPECT_NE(processState(child.pid()), 'T');
    for (int i = 0; i < 60; ++i)
        EXPECT_TRUE(client.call(signalRequest(++id, SIGCONT, child.pid()))->ok);

    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 66u);
    EXPECT_EQ(records[0]["action"], "invalid_signal_blocked");
    EXPECT_EQ(records[0]["targetPID"], child.pid());
    EXPECT_EQ(records[0]["targetProcessName"], "");
}

TEST_F(HelperServerTest, SixtyFirstSignalInSixtySecondsIsRefused)
{
    m_config.maxConnectionsPerUser = 10;
    start();
    SleepingChild child;
    // The window is the user's: ten connections share it.
    std::vector<std::unique_ptr<RawClient>> connections;
    for (int c = 0; c < 10; ++c)
        connections.push_back(std::make_unique<RawClient>(m_config.socketPath));
    RawClient& client = *connections[0];
    std::int64_t id = 0;
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(connections[i % 10]->call(signalRequest(++id, SIGCONT, child.pid()))->ok);
    for (auto& connection : connections) {
        ++id;
        expectError(connection->call(signalRequest(id, SIGCONT, child.pid())), id, "QVHelperError", 429,
            "Rate limit exceeded. Max 60 signals per minute.");
    }

    // Refused requests do not move the window.
    m_now = 1030.0;
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(client.call(signalRequest(++id, SIGCONT, child.pid()))->error->code, 429);
    m_now = 1059.999;
    EXPECT_EQ(client.call(signalRequest(++id, SIGCONT, child.pid()))->error->code, 429);
    m_now = 1060.0;
    EXPECT_TRUE(client.call(signalRequest(++id, SIGCONT, child.pid()))->ok);

    const auto records = auditRecords();
    EXPECT_EQ(records.at(60)["action"], "rate_limited_signal");
    EXPECT_EQ(records.at(60)["targetPID"], child.pid());
}

// A user who has used up the signal rate still gets back every process the helper stopped for them;
// only stops, and resumes of processes the helper did not stop, stay limited.
TEST_F(HelperServerTest, ResumesOfStoppedProcessesPassTheExhaustedRateLimit)
{
    m_config.signalsPerMinute = 3;
    start();
    SleepingChild stopped[3];
    SleepingChild other;
    RawClient client(m_config.socketPath);
    std::int64_t id = 0;
    for (const auto& child : stopped)
        ASSERT_TRUE(client.call(signalRequest(++id, SIGSTOP, child.pid()))->ok);
    ++id;
    expectError(client.call(signalRequest(id, SIGSTOP, other.pid())), id, "QVHelperError", 429);
    ++id;
    expectError(client.call(signalRequest(id, SIGCONT, other.pid())), id, "QVHelperError", 429);
    for (const auto& child : stopped) {
        const auto reply = client.call(signalRequest(++id, SIGCONT, child.pid()));
        ASSERT_TRUE(reply);
        EXPECT_TRUE(reply->ok) << child.pid();
        EXPECT_TRUE(waitForState(child.pid(), 'S'));
    }
    // Resumed, they are no longer the helper's to resume freely.
    ++id;
    expectError(client.call(signalRequest(id, SIGCONT, stopped[0].pid())), id, "QVHelperError", 429);
}

// One user flooding the helper with refused requests leaves two lines, not one each.
TEST_F(HelperServerTest, RefusalFloodLeavesTheLogSmall)
{
    start();
    RawClient client(m_config.socketPath);
    const auto began = std::chrono::steady_clock::now();
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(client.call(signalRequest(i, SIGKILL, 4242))->error->code, 400);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    m_now = m_now + 1.0;
    ASSERT_EQ(client.call(signalRequest(5000, SIGKILL, 4242))->error->code, 400);
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1]["foldedRefusals"], 4999);
    std::printf("5001 refusals in %.2f s left %zu bytes of log\n", seconds, readFile(m_config.auditLogPath).size());
}

// Requests on the whole machine are limited per user and kind to one a second on average, so one
// caller, root included, can neither keep the machine busy nor fill the log.
TEST_F(HelperServerTest, MachineWideRequestsAreLimitedPerUserAndKind)
{
    start();
    RawClient client(m_config.socketPath);
    int accepted = 0;
    for (std::int64_t id = 1; id <= 130; ++id) {
        const auto reply = client.call(opRequest(id, HelperOp::getPowerMetrics));
        ASSERT_TRUE(reply);
        accepted += reply->ok ? 1 : 0;
        if (!reply->ok)
            expectError(reply, id, "QVHelperError", 429, "Rate limit exceeded. Max 120 such requests in two minutes.");
    }
    EXPECT_EQ(accepted, 120);
    EXPECT_TRUE(client.call(opRequest(131, HelperOp::pauseFileIndexer))->ok);
    m_now = m_now + 120.0;
    EXPECT_TRUE(client.call(opRequest(132, HelperOp::getPowerMetrics))->ok);

    // The accepted requests and the first refusal; the others are folded into a later line.
    std::size_t refusals = 0;
    for (const auto& record : auditRecords())
        refusals += record["success"] == false ? 1 : 0;
    EXPECT_EQ(auditRecords().size(), 123u);
    EXPECT_EQ(refusals, 1u);
}

TEST_F(HelperServerTest, SignalToMissingProcessReportsPosixError)
{
    start();
    RawClient client(m_config.socketPath);
    const pid_t gone = vanishedPid();
    expectError(client.call(signalRequest(3, SIGSTOP, gone)), 3, "NSPOSIXErrorDomain", ESRCH, std::strerror(ESRCH));
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["action"], "send_sigstop");
    EXPECT_EQ(records[0]["targetPID"], gone);
    EXPECT_EQ(records[0]["targetProcessName"], "");
    EXPECT_EQ(records[0]["success"], false);
}

TEST_F(HelperServerTest, IndexerTimerIsStoppedAndStarted)
{
    QDir().mkpath(QString::fromStdString(path("units")));
    std::ofstream(path("units/mlocate.timer")) << "[Timer]\n";
    start();
    RawClient client(m_config.socketPath);
    EXPECT_TRUE(client.call(opRequest(1, HelperOp::pauseFileIndexer))->ok);
    EXPECT_EQ(readFile(path("indexer.args")), "stop mlocate.timer\n");
    EXPECT_TRUE(client.call(opRequest(2, HelperOp::resumeFileIndexer))->ok);
    EXPECT_EQ(readFile(path("indexer.args")), "start mlocate.timer\n");
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["action"], "suppress_spotlight");
    EXPECT_EQ(records[1]["action"], "restore_spotlight");
    EXPECT_EQ(records[1]["success"], true);
}

TEST_F(HelperServerTest, ToolFailuresCarryExitStatusOrStartError)
{
    m_config.indexerTool = writeScript(path("indexer"), "exit 1");
    m_config.powerTool = path("missing-power-tool");
    start();
    RawClient client(m_config.socketPath);
    expectError(
        client.call(opRequest(1, HelperOp::pauseFileIndexer)), 1, "QVHelperError", 1, "Process exited with code 1");
    expectError(client.call(opRequest(2, HelperOp::getPowerMetrics)), 2, "NSPOSIXErrorDomain", ENOENT);
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["action"], "suppress_spotlight");
    EXPECT_EQ(records[0]["success"], false);
    EXPECT_EQ(records[1]["action"], "get_powermetrics");
    EXPECT_EQ(records[1]["success"], false);
}

TEST_F(HelperServerTest, PowerSampleCarriesOutputAndErrorStreams)
{
    start();
    RawClient client(m_config.socketPath);
    const auto reply = client.call(opRequest(1, HelperOp::getPowerMetrics));
    ASSERT_TRUE(reply && reply->ok);
    EXPECT_EQ(reply->data, "CPU Power: 2450 mW\nGPU Power: 120 mW\n");
    EXPECT_EQ(auditRecords().at(0)["action"], "get_powermetrics");
}

TEST_F(HelperServerTest, LongPowerOutputIsDrainedWhileToolRuns)
{
    // Far more than a pipe holds: a helper that read only after the exit would wait for ever.
    m_config.powerTool
        = writeScript(path("power"), "head -c 300000 /dev/zero | tr '\\0' 'x'\necho\necho 'CPU Power: 1 mW'\nexit 3");
    start();
    RawClient client(m_config.socketPath);
    expectError(
        client.call(opRequest(1, HelperOp::getPowerMetrics)), 1, "QVHelperError", 3, "Process exited with code 3");
    m_config.powerTool
        = writeScript(path("power"), "head -c 300000 /dev/zero | tr '\\0' 'x'\necho\necho 'CPU Power: 1 mW'");
    const auto reply = client.call(opRequest(2, HelperOp::getPowerMetrics));
    ASSERT_TRUE(reply && reply->ok);
    EXPECT_EQ(reply->data->size(), 300000u + 1 + 16);
}

TEST_F(HelperServerTest, PurgeDropsCachesAndReportsWriteFailures)
{
    std::ofstream(m_config.dropCachesPath) << "";
    start();
    RawClient client(m_config.socketPath);
    EXPECT_TRUE(client.call(opRequest(1, HelperOp::purgeMemory))->ok);
    EXPECT_EQ(readFile(m_config.dropCachesPath), "1");
    m_server->stop();
    m_thread.join();
    m_server.reset();

    m_config.dropCachesPath = path("no/such/folder/drop_caches");
    start();
    RawClient again(m_config.socketPath);
    expectError(again.call(opRequest(2, HelperOp::purgeMemory)), 2, "NSPOSIXErrorDomain", ENOENT);
    const auto records = auditRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0]["action"], "purge_memory");
    EXPECT_EQ(records[0]["success"], true);
    EXPECT_EQ(records[1]["success"], false);
}

TEST_F(HelperServerTest, ConnectionsBeyondTheLimitAreClosed)
{
    m_config.maxConnections = 2;
    start();
    RawClient first(m_config.socketPath);
    RawClient second(m_config.socketPath);
    EXPECT_TRUE(first.call(opRequest(1, HelperOp::getVersion)));
    EXPECT_TRUE(second.call(opRequest(1, HelperOp::getVersion)));
    RawClient third(m_config.socketPath);
    EXPECT_TRUE(third.closedByPeer(3s));
}

TEST_F(HelperServerTest, OneCallersShareFreesWhenItsConnectionEnds)
{
    m_config.maxConnectionsPerUser = 2;
    start();
    auto first = std::make_unique<RawClient>(m_config.socketPath);
    RawClient second(m_config.socketPath);
    EXPECT_TRUE(first->call(opRequest(1, HelperOp::getVersion)));
    EXPECT_TRUE(second.call(opRequest(1, HelperOp::getVersion)));
    RawClient third(m_config.socketPath);
    EXPECT_TRUE(third.closedByPeer(3s));

    first.reset();
    for (int i = 0; i < 200 && m_server->connectionCount() > 1; ++i)
        std::this_thread::sleep_for(10ms);
    RawClient fourth(m_config.socketPath);
    EXPECT_TRUE(fourth.call(opRequest(1, HelperOp::getVersion)));
}

// A connection gives back its socket and its caller's pidfd when it ends, not when the next caller
// happens to connect: a helper left alone after a flood would hold them all.
TEST_F(HelperServerTest, AnEndedConnectionFreesItsDescriptorsWithoutAnotherAccept)
{
    const auto openDescriptors = [] {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
            ++count;
        return count;
    };
    start();
    const std::size_t before = openDescriptors();
    for (int i = 0; i < 3; ++i) {
        RawClient client(m_config.socketPath);
        ASSERT_TRUE(client.call(opRequest(1, HelperOp::getVersion)));
    }
    for (int i = 0; i < 200 && openDescriptors() > before; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(m_server->connectionCount(), 0u);
}

// One local user holding idle connections, half of them with half a request, keeps no other user out,
// and the idle ones are gone a few seconds later. Runs with the installed bounds.
TEST_F(HelperServerTest, IdleConnectionsOfOneUserLeaveRoomForAnother)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to connect under another account";
    ::chmod(m_dir.path().toLocal8Bit().constData(), 0755);
    start();
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, m_config.socketPath.c_str());
    int ready[2];
    int hold[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(hold), 0);

    // Only raw system calls after fork: the test program has threads.
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::close(ready[0]);
        ::close(hold[1]);
        if (::syscall(SYS_setgid, 65534) != 0 || ::syscall(SYS_setuid, 65534) != 0)
            ::_exit(2);
        const char half[] = "{\"id\":1,\"op\":\"getVer";
        for (int i = 0; i < 70; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
                ::_exit(3);
            if (i % 2)
                ::send(fd, half, sizeof half - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        }
        char byte = 1;
        if (::write(ready[1], &byte, 1) != 1)
            ::_exit(4);
        [[maybe_unused]] const auto n = ::read(hold[0], &byte, 1); // until the test lets go
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(hold[0]);
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);

    // This connection waits in the listen queue behind all 70.
    const auto asked = std::chrono::steady_clock::now();
    RawClient other(m_config.socketPath);
    const auto reply = other.call(opRequest(1, HelperOp::getVersion));
    EXPECT_TRUE(reply && reply->ok);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
    EXPECT_EQ(m_server->connectionCount(), m_config.maxConnectionsPerUser + 1);

    for (int i = 0; i < 100 && m_server->connectionCount() > 0; ++i)
        std::this_thread::sleep_for(100ms);
    EXPECT_EQ(m_server->connectionCount(), 0u);

    ::close(hold[1]);
    int status = 0;
    ::waitpid(holder, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// With every slot taken, root and a user holding none still get in, in place of the longest-idle
// connection of the user holding most; a user who already holds one waits for a free slot.
TEST_F(HelperServerTest, FullTableKeepsRoomForRootAndForAUserWithoutAConnection)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to connect under other accounts";
    ::chmod(m_dir.path().toLocal8Bit().constData(), 0755);
    m_config.maxConnections = 2;
    m_config.maxConnectionsPerUser = 2;
    start();
    const sockaddr_un to = address();
    const ForkedChild holder([&to] {
        if (::syscall(SYS_setgid, 65534) != 0 || ::syscall(SYS_setuid, 65534) != 0)
            return false;
        for (int i = 0; i < 2; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
                return false;
        }
        return true;
    });
    ASSERT_TRUE(holder.ready());
    for (int i = 0; i < 200 && m_server->connectionCount() < 2; ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_EQ(m_server->connectionCount(), 2u);

    RawClient root(m_config.socketPath);
    const auto rootsReply = root.call(opRequest(1, HelperOp::getVersion));
    EXPECT_TRUE(rootsReply && rootsReply->ok);
    EXPECT_EQ(m_server->connectionCount(), 2u);
    EXPECT_EQ(replyAsUid(65534, opRequest(2, HelperOp::getVersion)), "");
    const auto othersReply = platform::decodeHelperReply(replyAsUid(65533, opRequest(3, HelperOp::getVersion)));
    EXPECT_TRUE(othersReply && othersReply->ok);
    // Root's connection, the newer of the two, is still served.
    EXPECT_TRUE(root.call(opRequest(4, HelperOp::getVersion)));
}

// A full table never closes a connection while a request on it is carried out: the stop would be
// sent and listed with its reply lost, and the program would take it for a failure it never resumes.
TEST_F(HelperServerTest, ConnectionWithARequestInFlightIsNotEvicted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to connect under another account";
    ::chmod(m_dir.path().toLocal8Bit().constData(), 0755);
    m_config.maxConnections = 1;
    // The audit line of the stop, written after the signal and before the reply, waits for a reader.
    std::filesystem::create_directories(std::filesystem::path(m_config.auditLogPath).parent_path());
    ASSERT_EQ(::mkfifo(m_config.auditLogPath.c_str(), 0600), 0);
    start();
    SleepingChild child;
    RawClient client(m_config.socketPath);
    client.sendRaw(platform::encodeHelperRequest(signalRequest(1, SIGSTOP, child.pid())));
    ASSERT_TRUE(waitForState(child.pid(), 'T'));

    // Another user finds the table full, with no idle connection to take the place of.
    EXPECT_EQ(replyAsUid(65534, opRequest(2, HelperOp::getVersion)), "");
    const platform::UniqueFd reader(::open(m_config.auditLogPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    const auto reply = client.reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, 1);
    EXPECT_TRUE(reply->ok);
}

// Each user holds a bounded number of processes stopped, so the list rewritten on every change stays
// small. Stops beyond it are refused before they are sent or counted; a resume, or the end of a
// stopped process, frees a place.
TEST_F(HelperServerTest, StopsBeyondTheUsersBoundAreRefused)
{
    m_config.maxSuspendedPerUser = 2;
    m_config.signalsPerMinute = 4;
    start();
    auto first = std::make_unique<SleepingChild>();
    SleepingChild second;
    SleepingChild third;
    RawClient client(m_config.socketPath);
    std::int64_t id = 0;
    ASSERT_TRUE(client.call(signalRequest(++id, SIGSTOP, first->pid()))->ok);
    ASSERT_TRUE(client.call(signalRequest(++id, SIGSTOP, second.pid()))->ok);
    for (int i = 0; i < 5; ++i) {
        ++id;
        expectError(client.call(signalRequest(id, SIGSTOP, third.pid())), id, "QVHelperError", 429,
            "Refusing to stop pid " + std::to_string(third.pid())
                + ": this user already has 2 processes stopped by the helper; resume some first.");
    }
    EXPECT_NE(processState(third.pid()), 'T');
    ASSERT_TRUE(client.call(signalRequest(++id, SIGCONT, second.pid()))->ok);
    ASSERT_TRUE(client.call(signalRequest(++id, SIGSTOP, third.pid()))->ok);
    first.reset();
    ASSERT_TRUE(client.call(signalRequest(++id, SIGSTOP, second.pid()))->ok);
    EXPECT_EQ(m_server->context().suspended().processes().size(), 2u);

    const auto records = auditRecords();
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[2]["action"], "suspend_limit_reached");
    EXPECT_EQ(records[2]["targetPID"], third.pid());
    EXPECT_EQ(records[2]["success"], false);
}

// Callers that hung up before their turn cost no thread, so a loop of them cannot hold up the next.
TEST_F(HelperServerTest, ConnectionsClosedBeforeTheirTurnAreNotServed)
{
    std::atomic<int> judged {0};
    m_config.judgeCaller = [&judged](int fd, const platform::TrustedCallers& callers) {
        ++judged;
        return platform::judgeConnectedCaller(fd, callers);
    };
    bind();
    const sockaddr_un to = address();
    for (int i = 0; i < 200; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
        ::close(fd);
    }
    RawClient waiting(m_config.socketPath);
    serve();
    EXPECT_TRUE(waiting.call(opRequest(1, HelperOp::getVersion)));
    EXPECT_EQ(judged.load(), 1);
}

TEST_F(HelperServerTest, ConcurrentClientsWriteWholeAuditLines)
{
    // Every client runs as the test's user, within its limits.
    m_config.maxConnectionsPerUser = 16;
    m_config.maxSlowRequestsPerUser = 16;
    m_config.signalsPerMinute = 1000;
    start();
    SleepingChild child;
    constexpr int kClients = 16;
    constexpr int kRequests = 50;
    std::atomic<int> answered {0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            RawClient client(m_config.socketPath);
            for (int i = 0; i < kRequests; ++i) {
                const auto request = (i % 10 == 0) ? opRequest(i, HelperOp::getPowerMetrics)
                                                   : signalRequest(i, SIGCONT, c % 2 ? child.pid() : vanishedPid());
                const auto reply = client.call(request);
                if (reply && reply->id == i)
                    ++answered;
            }
        });
    }
    for (auto& t : clients)
        t.join();
    EXPECT_EQ(answered, kClients * kRequests);

    const auto lines = readLines(m_config.auditLogPath);
    ASSERT_EQ(lines.size(), std::size_t(kClients * kRequests));
    for (const auto& line : lines) {
        const auto record = nlohmann::json::parse(line, nullptr, false);
        ASSERT_TRUE(record.is_object()) << line;
        EXPECT_EQ(record.size(), 8u);
    }
}

} // namespace
