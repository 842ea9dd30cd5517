#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What the privacy pages learn about the root helper from the system: whether its units are
// installed, what systemd applies to them and whether it answers. An interface so tests replace the
// system bus, systemctl and the socket.
class HelperServiceProbe
{
public:
    enum class UnitState {
        enabled,
        disabled, // installed but not enabled (also static, masked, linked...)
        notFound, // systemd knows no such unit
        unknown, // systemd could not be asked
    };

    virtual ~HelperServiceProbe() = default;
    virtual UnitState unitFileState(const std::string& unit) = 0;
    // The version the helper replies with; nothing when it does not answer within the time-out.
    virtual std::optional<std::string> helperVersion(std::chrono::milliseconds timeout) = 0;
    // The properties `names` of `unit` as the running systemd holds them, drop-ins applied, in the
    // "Key=value" lines of `systemctl show`; nothing when systemd cannot be asked (as here by default).
    virtual std::optional<std::string> unitProperties(const std::string& unit, const std::vector<std::string>& names)
    {
        (void)unit;
        (void)names;
        return std::nullopt;
    }
};

// systemd over the system bus (org.freedesktop.systemd1.Manager.GetUnitFileState), `systemctl show`
// for the unit's properties and a getVersion round trip on the helper's socket.
class SystemdHelperProbe : public HelperServiceProbe
{
public:
    UnitState unitFileState(const std::string& unit) override;
    std::optional<std::string> helperVersion(std::chrono::milliseconds timeout) override;
    std::optional<std::string> unitProperties(const std::string& unit, const std::vector<std::string>& names) override;

    // The state systemd names, read as one of ours.
    static UnitState fromSystemdText(const std::string& text);
};

} // namespace platform
