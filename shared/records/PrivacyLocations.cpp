#include "PrivacyLocations.h"

#include "core/AppSupport.h"
#include "core/UserDefaults.h"

#include <QFileInfo>
#include <QStandardPaths>

#ifndef QV_INSTALL_LIBEXECDIR
#define QV_INSTALL_LIBEXECDIR "/usr/local/libexec"
#endif

namespace {

// Where the Debian package puts the helper, whatever prefix this copy was built for.
constexpr const char* kPackageHelperBinary = "/usr/libexec/quorvane/quorvane-helper";

PrivacyLocations systemPlaces(const QString& root)
{
    PrivacyLocations l;
    l.helperFolder = root + QStringLiteral(QV_INSTALL_LIBEXECDIR "/quorvane");
    // A copy built for another prefix (a build folder's /usr/local) has no helper of its own there: the
    // helper it meets is the package's, and that is the one whose ownership is checked and named.
    const QString own = l.helperFolder + QStringLiteral("/quorvane-helper");
    l.helperBinary = QFileInfo::exists(own) ? own : root + QLatin1String(kPackageHelperBinary);
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
