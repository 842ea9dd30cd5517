#include "LogindSleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kCallTimeoutMs = 2000;

} // namespace

LogindSleepInhibitor::LogindSleepInhibitor(std::string who, std::string why)
    : m_who(std::move(who))
    , m_why(std::move(why))
{
}

LogindSleepInhibitor::~LogindSleepInhibitor()
{
    release();
}

bool LogindSleepInhibitor::acquire()
{
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        return true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        std::printf("Idle-sleep inhibitor unavailable: no system bus\n");
        std::fflush(stdout);
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"),
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("Inhibit"));
    call << QStringLiteral("idle:sleep") << QString::fromStdString(m_who) << QString::fromStdString(m_why)
         << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        std::printf("Idle-sleep inhibitor unavailable: %s\n", qPrintable(reply.errorMessage()));
        std::fflush(stdout);
        return false;
    }
    const auto descriptor = reply.arguments().constFirst().value<QDBusUnixFileDescriptor>();
    // The reply's descriptor closes with the message; our own copy keeps the inhibitor.
    const int fd = descriptor.isValid() ? ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0) : -1;
    if (fd < 0) {
        std::printf("Idle-sleep inhibitor unavailable: no descriptor in the reply\n");
        std::fflush(stdout);
        return false;
    }
    m_fd = fd;
    return true;
}

void LogindSleepInhibitor::release()
{
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace platform
