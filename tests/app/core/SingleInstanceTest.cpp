// One running copy per user: a later start reaches the first one and leaves.
#include "core/SingleInstance.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

} // namespace
