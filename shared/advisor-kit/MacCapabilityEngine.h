#pragma once

#include "MacCapabilityProfile.h"
#include "SysctlSource.h"

#include "engines/QVThermalState.h"
#include "engines/SystemMemoryState.h"

#include <functional>
#include <memory>
#include <string>

class MemoryEngine;
class ThermalEngine;

// Builds the capability profile of the machine it runs on from kernel values, one memory
// sample, the thermal state and the free space of the root volume. Holds no mutable state, so
// calls from any thread are independent.
class MacCapabilityEngine
{
public:
    using MemorySnapshot = std::function<SystemMemoryState()>;
    using ThermalReading = std::function<QVThermalState()>;

    // Reads this machine: /proc, /sys and the root volume.
    MacCapabilityEngine();
    // Reads the given source and measures free space on the volume holding volumePath.
    explicit MacCapabilityEngine(std::shared_ptr<const SysctlSource> sysctl, std::string volumePath = "/");

    // Never fails: every figure has a fallback.
    MacCapabilityProfile currentProfile(MemoryEngine& memoryEngine, const ThermalEngine& thermalEngine) const;
    MacCapabilityProfile currentProfile(const MemorySnapshot& memorySnapshot, const ThermalReading& thermalState) const;

    ChipClass detectChipClass() const;
    // Whether the chip is an Apple one. Elsewhere the chip class is only the fallback, and the figures
    // derived from it (neural cores, memory bandwidth) are not measurements of this machine.
    bool detectsAppleSilicon() const;
    // The processor's brand text, trimmed; empty when the kernel gives none.
    std::string processorName() const;
    // Space an unprivileged user may still write, in GiB; 0 when the volume cannot be asked.
    double freeDiskSpaceGB() const;
    static MacCapabilityProfile::ThermalHeadroom thermalHeadroom(QVThermalState::Level level);

private:
    // The value when it is at least 1; anything else is unavailable.
    std::optional<std::int64_t> positiveInteger(std::string_view key) const;

    std::shared_ptr<const SysctlSource> m_sysctl;
    std::string m_volumePath;
};
