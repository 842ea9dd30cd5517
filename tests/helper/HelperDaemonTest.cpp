#include "HelperTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

using namespace helpertest;

namespace {

// The installed program, started the way systemd does without socket activation.
TEST(HelperDaemonTest, ServesTheSocketFromTheEnvironmentAndStopsCleanly)
{
    QTemporaryDir dir;
    const std::string socket = dir.filePath("helper.sock").toStdString();
    const std::string audit = dir.filePath("audit.log").toStdString();
    HelperProcess daemon({{"QUORVANE_HELPER_SOCKET", socket}, {"QUORVANE_HELPER_AUDIT_LOG", audit},
        {"QUORVANE_HELPER_TRUSTED", "/nonexistent:" + trustedTestProgram()}});
    EXPECT_EQ(daemon.banner(), "QuorvaneHelper daemon XPC listener running...");

    SleepingChild child;
    RawClient client(socket);
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(client.call(opRequest(1, platform::HelperOp::getVersion))->version, "1.0.0");
    EXPECT_TRUE(client.call(signalRequest(2, SIGSTOP, child.pid()))->ok);
    EXPECT_TRUE(waitForState(child.pid(), 'T'));
    EXPECT_TRUE(client.call(signalRequest(3, SIGCONT, child.pid()))->ok);
    EXPECT_EQ(client.call(signalRequest(4, SIGSTOP, daemon.pid()))->error->code, 403);
    EXPECT_EQ(readLines(audit).size(), 3u);

    // A second daemon does not steal a socket that is in use.
    HelperProcess second({{"QUORVANE_HELPER_SOCKET", socket}});
    EXPECT_EQ(second.banner(), "");
    EXPECT_NE(second.stop(), 0);

    EXPECT_EQ(daemon.stop(), 0);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(socket)));
}

} // namespace
