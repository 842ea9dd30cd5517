#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace platform {

// What the privacy pages learn about the root helper from the system: whether its units are
// installed and whether it answers. An interface so tests replace the system bus and the socket.
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
};

// systemd over the system bus (org.freedesktop.systemd1.Manager.GetUnitFileState) and a getVersion
// round trip on the helper's socket.
class SystemdHelperProbe : public HelperServiceProbe
{
public:
    UnitState unitFileState(const std::string& unit) override;
    std::optional<std::string> helperVersion(std::chrono::milliseconds timeout) override;

    // The state systemd names, read as one of ours.
    static UnitState fromSystemdText(const std::string& text);
};

} // namespace platform
