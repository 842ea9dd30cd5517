#include "core/XPCConnection.h"

#include "FakeHelper.h"
#include "helper/HelperTestSupport.h"
#include "helper/src/HelperServer.h"
#include "platform/ipc/HelperVersionQuery.h"
#include "platform/proc/ProcessTable.h"
#include "support/doubles/RecordingXPCConnection.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <cmath>
#include <functional>
#include <poll.h>
#include <sys/socket.h>

using namespace helpertest;
using platform::HelperOp;
using platform::HelperReply;
using platform::HelperRequest;

namespace {

class XPCConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_socket = m_dir.filePath("helper.sock").toStdString();
        ::setenv(platform::kHelperSocketEnvironment, m_socket.c_str(), 1);
    }
    void TearDown() override { ::unsetenv(platform::kHelperSocketEnvironment); }

    static HelperReply failed(std::int64_t id, std::optional<platform::DomainError> error = std::nullopt)
    {
        HelperReply reply;
        reply.id = id;
        reply.error = std::move(error);
        return reply;
    }

    QTemporaryDir m_dir;
    std::string m_socket;
};

TEST_F(XPCConnectionTest, TheRecordingClientRecordsSignalsAndSendsNothing)
{
    FakeHelper fake(m_socket, [](const HelperRequest& r) { return platform::successReply(r.id); });
    RecordingXPCConnection connection;
    EXPECT_TRUE(connection.freezeProcess(42).ok());
    EXPECT_TRUE(connection.resumeProcess(42).ok());
    EXPECT_EQ(connection.mockSignalsSent(),
        (std::vector<std::pair<std::int32_t, std::int32_t>> {{42, SIGSTOP}, {42, SIGCONT}}));
    connection.clearMockSignals();
    EXPECT_TRUE(connection.mockSignalsSent().empty());

    EXPECT_TRUE(connection.pauseFileIndexer().ok());
    EXPECT_TRUE(connection.resumeFileIndexer().ok());
    EXPECT_TRUE(connection.purgeMemory().ok());
    EXPECT_EQ(connection.getVersion().value(), "1.0.0");
    const auto power = connection.getPowerMetrics();
    ASSERT_TRUE(power.ok());
    EXPECT_EQ(power.value().cpuWatts, 1.5);
    EXPECT_EQ(power.value().gpuWatts, 0.5);
    EXPECT_NEAR(power.value().timestamp.timeIntervalSince(Date::now()), 0, 5);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(fake.accepted(), 0);
}

TEST_F(XPCConnectionTest, ReplyAfterTheTimeOutIsDropped)
{
    FakeHelper fake(m_socket, [](const HelperRequest& r) {
        HelperReply reply = platform::successReply(r.id);
        reply.version = "late-" + std::to_string(r.id);
        return reply;
    });
    // Late enough that a loaded machine still tells the time-out from the reply.
    fake.delay = 2200ms;
    XPCConnection connection;
    const auto start = std::chrono::steady_clock::now();
    const auto late = connection.getVersion();
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(late.ok());
    EXPECT_EQ(late.error(), (platform::DomainError {"QVXPCError", -2, "XPC call timed out"}));
    EXPECT_GE(waited, 1500ms);
    EXPECT_LT(waited, 2200ms);

    // The stale reply comes in while the next request waits; that request still gets its own.
    fake.delay = 0ms;
    const auto next = connection.getVersion();
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.value(), "late-2");
}

TEST_F(XPCConnectionTest, FailuresWithoutErrorGetTheirOwnText)
{
    FakeHelper fake(m_socket, [](const HelperRequest& r) { return failed(r.id); });
    XPCConnection connection;
    const auto expectText = [](const XPCConnection::Result<void>& result, const char* text) {
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error(), (platform::DomainError {"QVXPCError", -1, text}));
    };
    expectText(connection.freezeProcess(5), "Failed to send SIGSTOP");
    expectText(connection.resumeProcess(5), "Failed to send SIGCONT");
    expectText(connection.pauseFileIndexer(), "Failed to suppress Spotlight");
    expectText(connection.resumeFileIndexer(), "Failed to restore Spotlight");
    expectText(connection.purgeMemory(), "Failed to purge memory");
}

TEST_F(XPCConnectionTest, HelperErrorsPassUnchangedAndPowerNeedsData)
{
    const platform::DomainError refused {"QVHelperError", 403, "Unauthorized caller"};
    FakeHelper fake(m_socket, [&](const HelperRequest& r) -> std::optional<HelperReply> {
        if (r.op == HelperOp::getPowerMetrics)
            return platform::successReply(r.id);
        if (r.op == HelperOp::purgeMemory)
            return failed(r.id, platform::DomainError {"QVHelperError", 503, "busy"});
        return failed(r.id, refused);
    });
    XPCConnection connection;
    EXPECT_EQ(connection.purgeMemory().error(),
        (platform::DomainError {
            "QVHelperError", 503, "The Quorvane Pro helper is busy with another request; try again in a moment."}));
    EXPECT_EQ(connection.freezeProcess(5).error(), refused);
    EXPECT_EQ(connection.pauseFileIndexer().error(), refused);
    EXPECT_EQ(connection.getVersion().error(), refused);
    EXPECT_EQ(connection.getPowerMetrics().error(),
        (platform::DomainError {"QVXPCError", -1, "Power metrics returned nil data"}));
}

TEST_F(XPCConnectionTest, NoHelperEndsQuicklyAndSilentHelperTimesOut)
{
    XPCConnection connection;
    const auto start = std::chrono::steady_clock::now();
    const auto missing = connection.freezeProcess(5);
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().domain, "NSPOSIXErrorDomain");
    EXPECT_EQ(missing.error().code, ENOENT);
    // Well short of the 1.5 s a silent helper is given, however loaded the machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);

    FakeHelper silent(m_socket, [](const HelperRequest&) { return std::nullopt; });
    EXPECT_EQ(connection.getPowerMetrics().error().code, -2);
}

TEST_F(XPCConnectionTest, ManyThreadsShareOneConnection)
{
    FakeHelper fake(m_socket, [](const HelperRequest& r) {
        HelperReply reply = platform::successReply(r.id);
        reply.data = "CPU Power: " + std::to_string(r.id) + " mW";
        return reply;
    });
    XPCConnection connection;
    connection.setActionRecorder(nullptr);
    std::atomic<int> matched {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                const auto power = connection.getPowerMetrics();
                // Ids are handed out in order, so every request's figure is unique and positive.
                if (power.ok() && power.value().cpuWatts > 0)
                    ++matched;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(matched, 800);
    EXPECT_EQ(fake.accepted(), 1);
}

TEST_F(XPCConnectionTest, EveryRequestIsRecordedAsAHelperActionWithItsOutcome)
{
    FakeHelper fake(m_socket, [](const HelperRequest& r) -> std::optional<HelperReply> {
        if (r.op == HelperOp::sendSignal && r.signal == SIGCONT)
            return platform::failureReply(r.id, {"QVHelperError", 403, "Unauthorized caller"});
        HelperReply reply = platform::successReply(r.id);
        reply.data = "CPU Power: 100 mW";
        reply.version = "1.0.0";
        return reply;
    });
    XPCConnection connection;
    std::vector<AuditEvent> recorded;
    connection.setActionRecorder([&](const AuditEvent& e) { recorded.push_back(e); });
    const std::int32_t self = ::getpid();
    EXPECT_TRUE(connection.freezeProcess(self).ok());
    EXPECT_FALSE(connection.resumeProcess(self).ok());
    EXPECT_TRUE(connection.pauseFileIndexer().ok());
    EXPECT_TRUE(connection.resumeFileIndexer().ok());
    EXPECT_TRUE(connection.getPowerMetrics().ok());
    EXPECT_TRUE(connection.purgeMemory().ok());
    EXPECT_TRUE(connection.getVersion().ok());

    std::vector<std::string> categories;
    for (const auto& e : recorded)
        categories.push_back(e.category);
    EXPECT_EQ(categories,
        (std::vector<std::string> {"SIGSTOP", "SIGCONT", "Spotlight", "Spotlight", "Power", "System", "System"}));
    ASSERT_EQ(recorded.size(), 7u);
    EXPECT_TRUE(recorded[0].success);
    EXPECT_EQ(recorded[0].targetPid, self);
    EXPECT_EQ(recorded[0].targetProcess, "test_app_core");
    EXPECT_FALSE(recorded[1].success);
    EXPECT_NE(recorded[1].actionDescription.find("Unauthorized caller"), std::string::npos);
    EXPECT_FALSE(recorded[2].targetPid.has_value());

    // Nothing reaches the helper from the recording client, so nothing is recorded.
    RecordingXPCConnection testMode;
    testMode.setActionRecorder([&](const AuditEvent& e) { recorded.push_back(e); });
    EXPECT_TRUE(testMode.freezeProcess(self).ok());
    EXPECT_EQ(recorded.size(), 7u);
}

TEST_F(XPCConnectionTest, MissingHelperIsNamedNotReportedAsAMissingFile)
{
    XPCConnection connection;
    for (const auto& failure : {connection.freezeProcess(::getpid()), connection.purgeMemory()}) {
        ASSERT_FALSE(failure.ok());
        EXPECT_NE(failure.error().message.find("helper is not installed"), std::string::npos)
            << failure.error().message;
    }
    // A socket file that nobody listens on (a stopped helper left it behind) reads the same.
    ASSERT_TRUE(platform::listenUnixSocket(m_socket, 0600).ok());
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(m_socket)));
    const auto refused = connection.purgeMemory();
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("helper is not installed"), std::string::npos);
}

TEST_F(XPCConnectionTest, VersionQueryMakesItsOwnRoundTrip)
{
    EXPECT_FALSE(platform::queryHelperVersion(m_socket, 200ms));
    {
        FakeHelper fake(m_socket, [](const HelperRequest& r) {
            HelperReply reply = platform::successReply(r.id);
            reply.version = r.op == HelperOp::getVersion ? "2.4.1" : "wrong";
            return reply;
        });
        EXPECT_EQ(platform::queryHelperVersion(m_socket, 1500ms), "2.4.1");
    }
    FakeHelper silent(m_socket, [](const HelperRequest&) { return std::nullopt; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::queryHelperVersion(m_socket, 300ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

class XPCConnectionWithDaemonTest : public XPCConnectionTest
{
protected:
    std::map<std::string, std::string> environment() const
    {
        return {{"QUORVANE_HELPER_SOCKET", m_socket},
            {"QUORVANE_HELPER_AUDIT_LOG", m_dir.filePath("audit.log").toStdString()},
            {"QUORVANE_HELPER_TRUSTED", trustedTestProgram()},
            {"QUORVANE_HELPER_POWER_TOOL",
                writeScript(
                    m_dir.filePath("power").toStdString(), "echo 'CPU Power: 2450 mW'; echo 'GPU Power: 1.2 W'")}};
    }
};

TEST_F(XPCConnectionWithDaemonTest, SuspendsAndResumesThroughTheRealHelper)
{
    HelperProcess daemon(environment());
    SleepingChild child;
    XPCConnection connection;
    ASSERT_TRUE(connection.freezeProcess(child.pid()).ok());
    EXPECT_TRUE(waitForState(child.pid(), 'T'));
    ASSERT_TRUE(connection.resumeProcess(child.pid()).ok());
    EXPECT_TRUE(waitForState(child.pid(), 'S'));
    // Chosen when it started at another time: a later process has the pid, and it is left running.
    const auto started = platform::ProcessTable("/proc").info(child.pid());
    ASSERT_TRUE(started);
    EXPECT_EQ(
        connection.freezeProcess(child.pid(), started->startTimeTicks + 1).error().code, platform::kHelperConflict);
    EXPECT_EQ(processState(child.pid()), 'S');
    ASSERT_TRUE(connection.freezeProcess(child.pid(), started->startTimeTicks).ok());
    EXPECT_TRUE(waitForState(child.pid(), 'T'));
    ASSERT_TRUE(connection.resumeProcess(child.pid()).ok());
    EXPECT_EQ(connection.freezeProcess(1).error().code, 403);
    EXPECT_EQ(connection.freezeProcess(vanishedPid()).error(), platform::posixError(ESRCH));

    const auto power = connection.getPowerMetrics();
    ASSERT_TRUE(power.ok());
    EXPECT_DOUBLE_EQ(power.value().cpuWatts, 2.45);
    // The GPU line says W, but the "m" of the CPU line's "mW" is not after it, so watts it is.
    EXPECT_DOUBLE_EQ(power.value().gpuWatts, 1.2);
}

TEST_F(XPCConnectionWithDaemonTest, ReconnectsAfterTheHelperRestarts)
{
    XPCConnection connection;
    {
        HelperProcess daemon(environment());
        EXPECT_EQ(connection.getVersion().value(), "1.0.0");
    }
    HelperProcess restarted(environment());
    const auto again = connection.getVersion();
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_EQ(again.value(), "1.0.0");
}

TEST_F(XPCConnectionWithDaemonTest, RoundTripRate)
{
    helper::HelperConfig config;
    config.socketPath = m_socket;
    config.auditLogPath = m_dir.filePath("audit.log").toStdString();
    config.trustedExecutables = {trustedTestProgram()};
    helper::HelperServer server(config);
    ASSERT_TRUE(server.listen().ok());
    std::thread serving([&] { server.run(); });

    SleepingChild child;
    XPCConnection connection;
    connection.setActionRecorder(nullptr); // the rate of the link itself, not of the audit file
    constexpr int kRequests = 5000;
    const auto start = std::chrono::steady_clock::now();
    int ok = 0;
    for (int i = 0; i < kRequests; ++i)
        ok += connection.getVersion().ok() ? 1 : 0;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    server.stop();
    serving.join();
    EXPECT_EQ(ok, kRequests);
    std::printf("%d version round trips in %.3f s: %.0f per second\n", kRequests, seconds, kRequests / seconds);
}

TEST(XPCConnectionParseTest, PowerText)
{
    const auto parse = [](std::string_view text) {
        const auto m = XPCConnection::parsePowerMetrics(text);
        return std::pair {m.cpuWatts, m.gpuWatts};
    };
    EXPECT_EQ(parse("CPU Power: 2450 mW\nGPU Power: 120 mW\n"), (std::pair {2.45, 0.12}));
    EXPECT_EQ(parse("GPU Power: 1.2 W"), (std::pair {0.0, 1.2}));
    EXPECT_EQ(parse("no figures here"), (std::pair {0.0, 0.0}));
    EXPECT_EQ(parse("CPU Power: abc mW"), (std::pair {0.0, 0.0}));
    // The first "m" after the label ends the number, even on a later line.
    EXPECT_EQ(parse("CPU Power: 3 W\nGPU Power: 120 mW"), (std::pair {0.0, 0.12}));
    EXPECT_EQ(parse("CPU Power:\n\t 2450\n mW"), (std::pair {2.45, 0.0}));
    EXPECT_EQ(parse("CPU Power: 12 W"), (std::pair {12.0, 0.0}));
    EXPECT_EQ(parse("CPU Power: 12"), (std::pair {0.0, 0.0}));
    EXPECT_EQ(parse("cpu power: 12 mW"), (std::pair {0.0, 0.0}));
    EXPECT_EQ(parse("CPU Power: 1,5 W"), (std::pair {0.0, 0.0})); // a point, never a comma
    EXPECT_EQ(parse("CPU Power: 12 34 mW"), (std::pair {0.0, 0.0}));
    EXPECT_EQ(parse("CPU Power: +500 mW"), (std::pair {0.5, 0.0}));
    EXPECT_EQ(parse("CPU Power: -500 mW"), (std::pair {-0.5, 0.0}));
    // Figures that would poison every later sum and cannot be stored as JSON read as nothing.
    EXPECT_EQ(parse("CPU Power: inf W"), (std::pair {0.0, 0.0}));
    EXPECT_EQ(parse("CPU Power: nan W"), (std::pair {0.0, 0.0}));
    EXPECT_EQ(parse("CPU Power: 1e999 W"), (std::pair {0.0, 0.0}));
    // Text that is not UTF-8 is read as empty.
    EXPECT_EQ(parse("CPU Power: 2450 mW\xff"), (std::pair {0.0, 0.0}));
    EXPECT_EQ(parse("CPU Power: 2450 mW \xc3\xa9"), (std::pair {2.45, 0.0}));
}

} // namespace
