#include "PowerProfiles.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {

// The daemon's first name; newer releases answer on both.
const QString kService = QStringLiteral("net.hadess.PowerProfiles");
const QString kPath = QStringLiteral("/net/hadess/PowerProfiles");
const QString kInterface = QStringLiteral("net.hadess.PowerProfiles");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kActiveProfile = QStringLiteral("ActiveProfile");
constexpr int kTimeoutMs = 2000;

void whenAnswered(const QDBusMessage& call, QObject* context, std::function<void(const QDBusMessage&)> done)
{
    auto bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        QMetaObject::invokeMethod(
            context, [done] { done(QDBusMessage::createError(QStringLiteral("NoBus"), QString())); },
            Qt::QueuedConnection);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [done](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        done(w->reply());
    });
}

} // namespace

PowerProfiles& PowerProfiles::system()
{
    static DBusPowerProfiles profiles;
    return profiles;
}

void DBusPowerProfiles::activeProfile(QObject* context, std::function<void(std::optional<QString>)> done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    call << kInterface << kActiveProfile;
    whenAnswered(call, context, [done](const QDBusMessage& reply) {
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            done(std::nullopt);
            return;
        }
        const QString profile = qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toString();
        done(profile.isEmpty() ? std::nullopt : std::optional<QString>(profile));
    });
}

void DBusPowerProfiles::setActiveProfile(const QString& profile, QObject* context, std::function<void(bool)> done)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Set"));
    call << kInterface << kActiveProfile << QVariant::fromValue(QDBusVariant(profile));
    whenAnswered(
        call, context, [done](const QDBusMessage& reply) { done(reply.type() == QDBusMessage::ReplyMessage); });
}
