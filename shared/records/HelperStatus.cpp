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
    if (status.isInstalled)
        status.readEntitlements(locations, probe);
    return status;
}

void HelperStatus::readEntitlements(const PrivacyLocations& locations, platform::HelperServiceProbe* probe)
{
    // What the helper may do is what systemd applies to it: its unit with every drop-in
    // (`systemctl edit`) on top.
    if (probe) {
        if (const auto shown = probe->unitProperties(helperServiceUnit, HelperHardening::propertyNames())) {
            if (auto effective = HelperHardening::effectiveSettingsOf(*shown)) {
                entitlements = std::move(effective->settings);
                entitlementSource = EntitlementSource::systemd;
                if (!effective->fragmentPath.empty())
                    entitlementFiles.push_back(effective->fragmentPath);
                for (auto& dropIn : effective->dropInPaths)
                    entitlementFiles.push_back(std::move(dropIn));
                return;
            }
        }
    }
    // Without systemd's answer, the unit file alone: the one an administrator (or an older install)
    // put in /etc wins over the package's, as it does for systemd.
    for (const QString& folder : {locations.systemUnitFolder, locations.packageUnitFolder}) {
        const QString path = folder + QStringLiteral("/") + QString::fromStdString(helperServiceUnit);
        if (const auto unit = jsonfile::readAll(path)) {
            entitlements = HelperHardening::settingsOf(*unit);
            entitlementSource = EntitlementSource::unitFile;
            entitlementFiles = {path.toStdString()};
            return;
        }
    }
}

std::vector<std::pair<std::string, std::string>> HelperStatus::entitlementDescriptions() const
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& entitlement : entitlements)
        out.emplace_back(entitlement, HelperHardening::describe(entitlement).value_or(entitlement));
    return out;
}
