#pragma once

#include "SysctlSource.h"

#include "platform/host/Sysctl.h"

#include <optional>
#include <string>
#include <string_view>

// The machine's own answers, from /proc and /sys. Chip detection only makes sense on Apple
// silicon, so the two text keys answer only there: Linux on Apple silicon names the machine
// in its device-tree model ("Apple MacBook Pro (14-inch, M2 Pro, 2023)") and has no brand line
// in /proc/cpuinfo, so the brand is taken from the chip named in that model. Elsewhere both keys
// have no answer, which keeps an Intel Mac's DMI name ("iMac13,2") or a board's SoC name
// ("SM4350") from matching a chip rule by accident.
class PlatformSysctlSource : public SysctlSource
{
public:
    explicit PlatformSysctlSource(std::string procRoot = "/proc", std::string sysRoot = "/sys");

    std::optional<std::int64_t> integer(std::string_view key) const override;
    std::optional<std::string> string(std::string_view key) const override;
    // /proc/cpuinfo's name of the processor ("AMD Ryzen 7 7840U"), on every machine.
    std::optional<std::string> processorName() const override;

    // "M2 Pro" for "Apple MacBook Pro (14-inch, M2 Pro, 2023)"; no value when no chip is named.
    static std::optional<std::string> chipNameInModel(std::string_view model);

private:
    std::optional<std::string> appleModel() const;

    platform::Sysctl m_sysctl;
};
