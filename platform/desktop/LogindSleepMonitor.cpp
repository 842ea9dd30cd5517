#include "LogindSleepMonitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>

#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

LogindSleepMonitor::LogindSleepMonitor(QObject* parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    m_available = bus.connect(
        kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    if (m_available)
        takeDelay();
}

LogindSleepMonitor::~LogindSleepMonitor()
{
    releaseDelay();
}

void LogindSleepMonitor::releaseDelay()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void LogindSleepMonitor::onPrepareForSleep(bool start)
{
    if (start) {
        emit aboutToSleep();
        return;
    }
    takeDelay();
    emit resumed();
}

void LogindSleepMonitor::takeDelay()
{
    if (m_fd >= 0)
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Quorvane Pro")
         << QStringLiteral("Resuming paused processes before sleep") << QStringLiteral("delay");
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isError() || !reply.value().isValid() || m_fd >= 0)
            return;
        // The reply's descriptor closes with the message; our own copy keeps the inhibitor.
        m_fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    });
}

} // namespace platform
