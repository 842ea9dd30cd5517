// The program itself, started as a child process with no desktop: it keeps running, samples the
// machine, lets no second copy start, continues a first copy that was stopped, and ends with 0 soon
// after SIGTERM or SIGINT, also one that comes while it starts.
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "support/SignalChild.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fstream>
#include <optional>
#include <string>

namespace {

using namespace std::chrono_literals;

const QString kProgram = QStringLiteral(QV_BINARY_DIR "/app/quorvane-pro");

// Bytes the process has read so far (its /proc files, the model server): grows while it samples.
long long bytesRead(qint64 pid)
{
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return -1;
}

char processState(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() ? '?' : line[close + 2];
}

class ProgramTest : public ::testing::Test
{
protected:
    // A runtime folder of this test's own (private, or Qt falls back to a shared one), so that no
    // other copy of the program answers for this one.
    void SetUp() override
    {
        const QString runtime = m_dir.filePath("runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // True once the process runs; a test that cannot start it stops there (ASSERT_TRUE(start(...))).
    [[nodiscard]] bool start(QProcess& process, const QString& program = kProgram)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", m_dir.filePath("runtime"));
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        env.insert("QUORVANE_HELPER_SOCKET", m_dir.filePath("no-helper.sock"));
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        process.setProcessEnvironment(env);
        process.setProgram(program);
        process.start();
        return process.waitForStarted(5000);
    }
    QString socketPath() const { return m_dir.filePath("runtime/quorvane-pro.socket"); }
    // The program's own sign that its event loop runs: its socket answers a show request.
    bool waitUntilAnswering(QProcess& process)
    {
        return QTest::qWaitFor(
                   [&] {
                       if (process.state() != QProcess::Running)
                           return true;
                       QLocalSocket socket;
                       socket.connectToServer(socketPath());
                       if (!socket.waitForConnected(200))
                           return false;
                       socket.write("show\n");
                       return socket.waitForReadyRead(1000) && socket.readLine() == "shown\n";
                   },
                   20000)
            && process.state() == QProcess::Running;
    }
    // Sends the signal to the started program and waits for a normal exit; the time it took. Nothing when
    // the program never started: nothing is sent then.
    std::optional<std::chrono::milliseconds> stop(QProcess& process, int signalNumber)
    {
        const auto sent = std::chrono::steady_clock::now();
        if (!signalChild(process.processId(), signalNumber))
            return std::nullopt;
        EXPECT_TRUE(process.waitForFinished(10000));
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent);
    }

    QTemporaryDir m_dir;
};

TEST_F(ProgramTest, RunsSamplesRefusesASecondCopyAndEndsCleanlyOnSigterm)
{
    QProcess program;
    ASSERT_TRUE(start(program));
    // Until it answers, the first copy may not yet hold the socket, and a second would run on as well.
    ASSERT_TRUE(waitUntilAnswering(program)) << program.readAllStandardError().toStdString();
    ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
    const long long before = bytesRead(program.processId());
    QTest::qWait(2500);
    EXPECT_EQ(program.state(), QProcess::Running);
    EXPECT_GT(bytesRead(program.processId()), before);

    // A start takes seconds on a machine this busy, the more under the sanitizers: as long as the first's.
    QProcess second;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(start(second));
    EXPECT_TRUE(second.waitForFinished(20000))
        << "after "
        << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count()
        << " ms: " << second.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(program.state(), QProcess::Running);

    EXPECT_LT(stop(program, SIGTERM).value_or(1h), 5s);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(ProgramTest, EndsCleanlyOnSigint)
{
    QProcess program;
    ASSERT_TRUE(start(program));
    ASSERT_TRUE(waitUntilAnswering(program)) << program.readAllStandardError().toStdString();
    EXPECT_LT(stop(program, SIGINT).value_or(1h), 5s);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(ProgramTest, ASignalWhileStartingIsHeldUntilTheProgramCanEndCleanly)
{
    QProcess program;
    ASSERT_TRUE(start(program));
    // The socket appears before the object graph is built: a signal now comes in the middle of it.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return QFile::exists(socketPath()) || program.state() != QProcess::Running; }, 20000));
    ASSERT_TRUE(signalChild(program.processId(), SIGTERM));
    EXPECT_TRUE(program.waitForFinished(15000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(ProgramTest, ASecondStartContinuesAStoppedFirstCopy)
{
    QProcess program;
    ASSERT_TRUE(start(program));
    ASSERT_TRUE(waitUntilAnswering(program));
    const auto pid = static_cast<pid_t>(program.processId());
    ASSERT_TRUE(signalChild(pid, SIGSTOP));
    ASSERT_TRUE(QTest::qWaitFor([&] { return processState(pid) == 'T'; }, 5000));

    QProcess second;
    ASSERT_TRUE(start(second));
    EXPECT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_NE(processState(pid), 'T');
    EXPECT_NE(second.readAllStandardError().indexOf("had been stopped"), -1);
    EXPECT_TRUE(waitUntilAnswering(program));
    EXPECT_LT(stop(program, SIGTERM).value_or(1h), 5s);
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(ProgramTest, AProgramThatNeverStartedIsNeverSignalled)
{
    // SIGURG is ignored unless handled: it reaches this handler only if the stop goes to this test's own
    // process group (pid 0) instead of a started child, and harms nothing else in that group.
    static std::atomic<int> caught {0};
    struct sigaction handled
    {
    };
    struct sigaction before
    {
    };
    handled.sa_handler = [](int) { ++caught; };
    ::sigaction(SIGURG, &handled, &before);
    QProcess missing;
    EXPECT_FALSE(start(missing, m_dir.filePath("no-such-program")));
    EXPECT_FALSE(stop(missing, SIGURG));
    QTest::qWait(50);
    ::sigaction(SIGURG, &before, nullptr);
    EXPECT_EQ(caught.load(), 0);
}

} // namespace
