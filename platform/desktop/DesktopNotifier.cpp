#include "DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace platform {

DesktopNotifier::DesktopNotifier(std::string applicationName)
    : m_applicationName(std::move(applicationName))
{
}

void DesktopNotifier::post(const std::string& title, const std::string& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"), QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("Notify"));
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: the server's default)
    call << QString::fromStdString(m_applicationName) << 0u << QString() << QString::fromStdString(title)
         << QString::fromStdString(body) << QStringList() << QVariantMap() << -1;
    bus.send(call);
}

} // namespace platform
