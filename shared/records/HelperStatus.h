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

    // Asks systemd and the helper's socket (through `probe`, when there is one) and reads the helper's
    // files in `locations`; blocks on the bus and the socket.
    static HelperStatus read(const PrivacyLocations& locations, platform::HelperServiceProbe* probe);

    std::vector<std::pair<std::string, std::string>> entitlementDescriptions() const;

    bool operator==(const HelperStatus&) const = default;
};
