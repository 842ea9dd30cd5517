#include "HelperStatus.h"

#include "HelperHardening.h"

#include "core/JsonFile.h"
#include "platform/desktop/HelperServiceProbe.h"
#include "platform/security/TrustedCallers.h"

#include <sys/stat.h>

HelperStatus HelperStatus::read(const PrivacyLocations& locations, platform::HelperServiceProbe* probe)
{
    HelperStatus status;
    if (probe) {
        status.isInstalled = probe->unitFileState(helperSocketUnit) == platform::HelperServiceProbe::UnitState::enabled;
        status.version = probe->helperVersion(std::chrono::milliseconds(1500));
        status.isConnected = status.version.has_value();
    }
    if (!status.version)
        status.version = "unknown";
    struct stat st
    {
    };
    status.isRootOwned = ::lstat(locations.helperBinary.toLocal8Bit().constData(), &st) == 0
        && platform::TrustedCallers::isSafeExecutable(st, 0);
    // What the helper may do is what its unit lets it: the unit an administrator (or an older install)
    // put in /etc wins over the package's, as it does for systemd.
    if (status.isInstalled) {
        for (const QString& folder : {locations.systemUnitFolder, locations.packageUnitFolder}) {
            if (const auto unit = jsonfile::readAll(folder + QStringLiteral("/com.quorvane.helper.service"))) {
                status.entitlements = HelperHardening::settingsOf(*unit);
                break;
            }
        }
    }
    return status;
}

std::vector<std::pair<std::string, std::string>> HelperStatus::entitlementDescriptions() const
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& entitlement : entitlements)
        out.emplace_back(entitlement, HelperHardening::describe(entitlement).value_or(entitlement));
    return out;
}
