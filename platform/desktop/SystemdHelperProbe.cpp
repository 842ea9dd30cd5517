#include "HelperServiceProbe.h"
#include "SystemdUnitProperties.h"

#include "platform/ipc/HelperVersionQuery.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>

namespace platform {

HelperServiceProbe::UnitState SystemdHelperProbe::fromSystemdText(const std::string& text)
{
    // "enabled-runtime" counts: the unit is installed and starts on demand until the next boot.
    if (text == "enabled" || text == "enabled-runtime")
        return UnitState::enabled;
    if (text.empty())
        return UnitState::unknown;
    return UnitState::disabled;
}

HelperServiceProbe::UnitState SystemdHelperProbe::unitFileState(const std::string& unit)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return UnitState::unknown;
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.systemd1"),
        QStringLiteral("/org/freedesktop/systemd1"), QStringLiteral("org.freedesktop.systemd1.Manager"),
        QStringLiteral("GetUnitFileState"));
    call << QString::fromStdString(unit);
    constexpr int kTimeoutMs = 1500;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (reply.errorName() == QLatin1String("org.freedesktop.systemd1.NoSuchUnit"))
            return UnitState::notFound;
        return UnitState::unknown;
    }
    if (reply.arguments().isEmpty())
        return UnitState::unknown;
    return fromSystemdText(reply.arguments().constFirst().toString().toStdString());
}

std::optional<std::string> SystemdHelperProbe::helperVersion(std::chrono::milliseconds timeout)
{
    return queryHelperVersion(helperSocketPath(), timeout);
}

std::optional<std::string> SystemdHelperProbe::unitProperties(
    const std::string& unit, const std::vector<std::string>& names)
{
    return showUnitProperties(unit, names, std::chrono::milliseconds(3000));
}

} // namespace platform
