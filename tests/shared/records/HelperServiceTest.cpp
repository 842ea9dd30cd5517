#include "records/HelperService.h"
#include "support/RootBecomingProgram.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <future>

namespace {

// A setup program that records its argument and exits with the given status.
QString script(const QTemporaryDir& dir, int status)
{
    const QString path = dir.filePath(QString("setup-%1").arg(status));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QString("#!/bin/sh\necho \"$1\" >> '%1'\necho 'units could not be copied'\nexit %2\n")
                   .arg(dir.filePath("calls"))
                   .arg(status)
                   .toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString calls(const QTemporaryDir& dir)
{
    QFile file(dir.filePath("calls"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(HelperServiceTest, ExitStatusesBecomeOutcomes)
{
    EXPECT_TRUE(SystemdHelperService::outcomeOf(0, "").ok);
    // A dismissed dialog is not a refusal: pkexec tells the two apart, and so does the text.
    EXPECT_FALSE(SystemdHelperService::outcomeOf(126, "").ok);
    EXPECT_EQ(SystemdHelperService::outcomeOf(126, "").error, "authorization cancelled");
    const auto refused
        = SystemdHelperService::outcomeOf(127, "Error executing command as another user: Not authorized\n");
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, "authorization failed");
    EXPECT_EQ(SystemdHelperService::outcomeOf(3, "copying\nno systemd here\n").error, "no systemd here (code 3)");
    EXPECT_EQ(SystemdHelperService::outcomeOf(2, "").error, "the setup program ended with code 2");
}

TEST(HelperServiceTest, RunsTheSetupProgramAndResumesBeforeRemoving)
{
    QTemporaryDir dir;
    PrivacyMetricsEngine engine({}, PrivacyLocations::under(dir.path(), dir.path()), nullptr);
    QStringList order;
    // /usr/bin/env stands in for pkexec: it runs the program it is given.
    SystemdHelperService ok(
        engine, [&] { order << calls(dir); }, script(dir, 0), "/usr/bin/env");
    EXPECT_TRUE(ok.install().ok);
    EXPECT_TRUE(ok.uninstall().ok);
    EXPECT_EQ(order, QStringList {"install\n"});
    EXPECT_EQ(calls(dir), "install\nuninstall\n");

    SystemdHelperService refused(engine, {}, script(dir, 126), "/usr/bin/env");
    EXPECT_EQ(refused.install().error, "authorization cancelled");
    SystemdHelperService broken(engine, {}, script(dir, 4), "/usr/bin/env");
    EXPECT_EQ(broken.install().error, "units could not be copied (code 4)");
    SystemdHelperService missing(engine, {}, dir.filePath("absent"), "/usr/bin/env");
    EXPECT_FALSE(missing.install().ok);
}

TEST(HelperServiceTest, AnAuthorisationLeftUnansweredIsGivenUp)
{
    QTemporaryDir dir;
    PrivacyMetricsEngine engine({}, PrivacyLocations::under(dir.path(), dir.path()), nullptr);
    // A password prompt nobody answers, as the setup program that never ends.
    const QString prompt = dir.filePath("prompt");
    QFile file(prompt);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexec sleep 30\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    SystemdHelperService waiting(engine, {}, prompt, "/usr/bin/env", std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    const auto outcome = waiting.install();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error, "timed out before the setup program finished");
}

TEST(HelperServiceTest, AnAuthorisedSetupPastTheDeadlineIsSaidToRunOn)
{
    // Once authorised, the setup program runs as root, beyond the reach of this user's kill.
    const RootBecomingProgram root;
    if (!root.usable())
        GTEST_SKIP() << "needs root and a file system that honours setuid";
    QTemporaryDir dir;
    PrivacyMetricsEngine engine({}, PrivacyLocations::under(dir.path(), dir.path()), nullptr);
    const std::string pidFile = root.folder() + "/sleeper";
    const QString setup = QString::fromStdString(root.folder() + "/setup");
    QFile file(setup);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QString("#!/bin/sh\nexec '%1' --reuid=0 /bin/sh -c 'echo $$ > %2; exec sleep 30'\n")
                   .arg(QString::fromStdString(root.program()), QString::fromStdString(pidFile))
                   .toUtf8());
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::ExeOther);
    SystemdHelperService authorised(engine, {}, setup, "/usr/bin/env", std::chrono::seconds(1));
    HelperService::Outcome outcome;
    auto install = asNobody([&] { outcome = authorised.install(); });
    const bool onTime = install.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    pid_t sleeper = 0;
    std::ifstream(pidFile) >> sleeper;
    ASSERT_GT(sleeper, 0) << outcome.error.toStdString();
    ::kill(sleeper, SIGKILL); // this thread is still root
    ASSERT_TRUE(install.get());
    EXPECT_TRUE(onTime);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.error, "the setup program did not finish within 1 s and may still be running");
}
