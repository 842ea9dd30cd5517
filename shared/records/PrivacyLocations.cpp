#include "PrivacyLocations.h"

#include "core/AppSupport.h"
#include "core/UserDefaults.h"

#include <QStandardPaths>

#ifndef QV_INSTALL_LIBEXECDIR
#define QV_INSTALL_LIBEXECDIR "/usr/local/libexec"
#endif

namespace {

PrivacyLocations systemPlaces(const QString& root)
{
    PrivacyLocations l;
    l.helperFolder = root + QStringLiteral(QV_INSTALL_LIBEXECDIR "/quorvane");
    l.helperBinary = l.helperFolder + QStringLiteral("/quorvane-helper");
    l.systemUnitFolder = root + QStringLiteral("/etc/systemd/system");
    l.packageUnitFolder = root + QStringLiteral("/usr/lib/systemd/system");
    l.helperLogFolder = root + QStringLiteral("/var/log/quorvane");
    return l;
}

} // namespace

PrivacyLocations PrivacyLocations::standard()
{
    PrivacyLocations l = systemPlaces(QString());
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // The folders the stores themselves write to, so that what is named, measured and erased is theirs.
    l.dataDirectory = appSupportDirectoryPath();
    l.settingsFile = UserDefaults::standardFilePath();
    l.autostartEntry = config + QStringLiteral("/autostart/quorvane-pro.desktop");
    return l;
}

PrivacyLocations PrivacyLocations::under(const QString& root, const QString& home)
{
    PrivacyLocations l = systemPlaces(root);
    l.dataDirectory = home + QStringLiteral("/.local/share/Quorvane");
    l.settingsFile = home + QStringLiteral("/.config/Quorvane/Quorvane Pro.conf");
    l.autostartEntry = home + QStringLiteral("/.config/autostart/quorvane-pro.desktop");
    return l;
}
