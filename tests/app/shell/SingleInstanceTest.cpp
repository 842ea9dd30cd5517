// One running copy per user: a later start reaches the first one and leaves.
#include "shell/SingleInstance.h"

#include "support/ChildProcess.h"
#include "support/QtWarnings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// A Unix socket bound to `path`, not yet listening; -1 when the bind fails.
int boundSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path - 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    ::close(fd);
    return -1;
}

TEST(SingleInstanceTest, ASecondStartAsksTheFirstToShowItself)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("app.socket");
    SingleInstance first(path);
    ASSERT_TRUE(first.claim());
    QSignalSpy shown(&first, &SingleInstance::showRequested);

    SingleInstance second(path);
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(second.runningCopyAnswered());
    EXPECT_TRUE(second.message().isEmpty());
    EXPECT_TRUE(shown.count() == 1 || shown.wait(2000));
    EXPECT_EQ(shown.count(), 1);
}

TEST(SingleInstanceTest, ACopyThatHoldsTheSocketButNeverAnswersIsReported)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("app.socket");
    // Listening, but never reading: as a copy that hangs, whose connections the kernel still accepts.
    const int fd = boundSocket(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::listen(fd, 4), 0);

    SingleInstance second(path);
    EXPECT_FALSE(second.claim());
    EXPECT_FALSE(second.runningCopyAnswered());
    EXPECT_EQ(second.message(),
        QStringLiteral("Quorvane Pro is already running (PID %1) but does not answer; end it with \"kill %1\" to start "
                       "again.")
            .arg(::getpid()));
    ::close(fd);
}

TEST(SingleInstanceTest, TheSocketOfACopyThatDiedDoesNotKeepTheNextOneOut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("app.socket");
    // A socket file with nobody listening, as a killed copy leaves it.
    const int fd = boundSocket(path);
    ASSERT_GE(fd, 0);
    ::close(fd);

    SingleInstance next(path);
    EXPECT_TRUE(next.claim());
    SingleInstance later(path);
    EXPECT_FALSE(later.claim());
}

// Another user who takes the socket's name first and answers like a running copy sends no start away.
TEST(SingleInstanceTest, ASocketOfAnotherUserIsNoRunningCopy)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to listen as another user";
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777);
    const QString path = dir.filePath("app.socket");
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    const ForkedChild stranger(
        [&] {
            if (::syscall(SYS_setgid, 65534) != 0 || ::syscall(SYS_setuid, 65534) != 0)
                return false;
            fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address {};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
            return ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd, 4) == 0;
        },
        [&] {
            for (;;) {
                const int client = ::accept(fd, nullptr, nullptr);
                char request[64];
                if (::read(client, request, sizeof request) > 0 && ::write(client, "shown\n", 6) != 6)
                    ::_exit(3);
                ::close(client);
            }
        });
    ASSERT_TRUE(stranger.ready());

    SingleInstance mine(path);
    EXPECT_TRUE(mine.claim());
    EXPECT_FALSE(mine.runningCopyAnswered());
    EXPECT_TRUE(mine.message().isEmpty());
}

// Without a runtime folder, and with the shared one's fallback taken by another user, the socket goes
// to a folder only this user can write to, never to the shared temporary folder.
TEST(SingleInstanceTest, WithoutARuntimeFolderTheSocketStaysInAFolderOfTheUsersAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give a folder to another user";
    QTemporaryDir shared;
    QTemporaryDir home;
    ::chmod(QFile::encodeName(shared.path()).constData(), 01777);
    const QString taken = shared.filePath(QStringLiteral("runtime-") + qEnvironmentVariable("USER", "root"));
    ASSERT_TRUE(QDir().mkdir(taken));
    ::chmod(QFile::encodeName(taken).constData(), 0777);
    ASSERT_EQ(::chown(QFile::encodeName(taken).constData(), 65534, 65534), 0);

    const std::pair<const char*, QByteArray> changed[] = {{"XDG_RUNTIME_DIR", {}},
        {"TMPDIR", QFile::encodeName(shared.path())}, {"XDG_CACHE_HOME", QFile::encodeName(home.path())}};
    std::vector<std::pair<const char*, std::optional<QByteArray>>> before;
    for (const auto& [name, value] : changed) {
        before.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
    }
    // Qt says that the runtime folder is unset and that the fallback is another user's.
    const ExpectedQtWarning fallback(QStringLiteral("QStandardPaths: "));
    const QString socketPath = SingleInstance().socketPath();
    for (const auto& [name, value] : before)
        value ? qputenv(name, *value) : qunsetenv(name);

    ASSERT_FALSE(socketPath.isEmpty());
    const QString folder = QFileInfo(socketPath).path();
    struct stat st
    {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &st), 0) << folder.toStdString();
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, ::geteuid());
    EXPECT_EQ(st.st_mode & 077, 0u) << folder.toStdString();
}

} // namespace
