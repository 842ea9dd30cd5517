#pragma once

#include "PrivacyLocations.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {
class HelperServiceProbe;
}

// The helper daemon as the helper inspector shows it: installed, answering, its binary's ownership and
// what its service unit lets it do.
struct HelperStatus
{
    static inline const std::string helperBundleID = "com.quorvane.helper";
    static inline const std::string helperSocketUnit = "com.quorvane.helper.socket";
    static inline const std::string helperServiceUnit = "com.quorvane.helper.service";

    // Where the entitlements were read.
    enum class EntitlementSource {
        none, // not installed, or no unit to read
        systemd, // the values the running systemd applies, drop-ins included
        unitFile, // one unit file, because systemd could not be asked: drop-ins are not seen
    };

    bool isInstalled = false;
    bool isConnected = false;
    std::optional<std::string> version;
    std::string bundleID = helperBundleID;
    std::string teamID;
    // The installed helper binary is root-owned and writable by nobody else.
    bool isRootOwned = false;
    // The capability and sandbox settings of the installed service unit ("Key=value"); empty when
    // the helper is not installed.
    std::vector<std::string> entitlements;
    EntitlementSource entitlementSource = EntitlementSource::none;
    // The files they come from: the unit file first, then systemd's drop-ins.
    std::vector<std::string> entitlementFiles;

    // Asks systemd and the helper's socket (through `probe`, when there is one) and reads the helper's
    // files in `locations`; blocks on the bus and the socket.
    static HelperStatus read(const PrivacyLocations& locations, platform::HelperServiceProbe* probe);

    std::vector<std::pair<std::string, std::string>> entitlementDescriptions() const;

    bool operator==(const HelperStatus&) const = default;

private:
    // From systemd through `probe` where it answers, else from the unit file in `locations`.
    void readEntitlements(const PrivacyLocations& locations, platform::HelperServiceProbe* probe);
};
