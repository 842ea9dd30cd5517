#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The kernel values capability detection reads, by their sysctl key ("hw.model",
// "machdep.cpu.brand_string", "hw.physicalcpu", "hw.perflevel0.logicalcpu", "hw.gpu.count").
// A key the machine cannot answer is no value.
class SysctlSource
{
public:
    virtual ~SysctlSource() = default;
    virtual std::optional<std::int64_t> integer(std::string_view key) const = 0;
    virtual std::optional<std::string> string(std::string_view key) const = 0;
    // The processor's own name on any machine, where the brand key may answer for Apple chips only.
    virtual std::optional<std::string> processorName() const { return string("machdep.cpu.brand_string"); }
};
