#include "NotificationPermission.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

bool DBusNotificationPermission::request()
{
    // A connection of this thread's own, so a worker never shares the GUI thread's bus connection.
    const QString name = QStringLiteral("qv-notification-permission");
    bool answered = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        if (bus.isConnected()) {
            QDBusInterface service(QStringLiteral("org.freedesktop.Notifications"),
                QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.freedesktop.Notifications"), bus);
            service.setTimeout(3000);
            const QDBusMessage reply = service.call(QStringLiteral("GetServerInformation"));
            answered = reply.type() == QDBusMessage::ReplyMessage;
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return answered;
}
