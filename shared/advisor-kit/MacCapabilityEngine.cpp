#include "MacCapabilityEngine.h"
#include "PlatformSysctlSource.h"

#include "core/Units.h"
#include "engines/MemoryEngine.h"
#include "engines/ThermalEngine.h"

#include <sys/statvfs.h>

namespace {

bool has(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

MacCapabilityEngine::MacCapabilityEngine()
    : MacCapabilityEngine(std::make_shared<PlatformSysctlSource>())
{
}

MacCapabilityEngine::MacCapabilityEngine(std::shared_ptr<const SysctlSource> sysctl, std::string volumePath)
    : m_sysctl(std::move(sysctl))
    , m_volumePath(std::move(volumePath))
{
}

std::optional<std::int64_t> MacCapabilityEngine::positiveInteger(std::string_view key) const
{
    if (!m_sysctl)
        return std::nullopt;
    const auto value = m_sysctl->integer(key);
    if (!value || *value < 1)
        return std::nullopt;
    return value;
}

ChipClass MacCapabilityEngine::detectChipClass() const
{
    const std::string model = m_sysctl ? m_sysctl->string("hw.model").value_or("") : "";
    const std::string brand = m_sysctl ? m_sysctl->string("machdep.cpu.brand_string").value_or("") : "";

    // The order matters: an "M4" brand wins over every model-identifier rule of older chips, and
    // "M4 Pro" must be tested before plain "M4".
    if (has(brand, "M4 Max") || has(model, "Mac16,6"))
        return ChipClass::m4Max;
    if (has(brand, "M4 Pro") || has(model, "Mac16,5"))
        return ChipClass::m4Pro;
    if (has(brand, "M4"))
        return ChipClass::m4Base;
    if (has(model, "Mac15,9") || has(model, "Mac15,11"))
        return ChipClass::m3Max;
    if (has(model, "Mac15,6") || has(model, "Mac15,8"))
        return ChipClass::m3Pro;
    if (has(brand, "M3"))
        return ChipClass::m3Base;
    if (has(model, "Mac13,2")) {
        const auto physical = positiveInteger("hw.physicalcpu");
        if (physical && *physical >= 13)
            return ChipClass::m2Ultra;
    }
    if (has(model, "Mac14,6") || has(model, "Mac14,8"))
        return ChipClass::m2Max;
    if (has(brand, "M2 Pro"))
        return ChipClass::m2Pro;
    if (has(brand, "M2"))
        return ChipClass::m2Base;
    if (has(model, "Mac13,2"))
        return ChipClass::m1Ultra;
    if (has(model, "MacBookPro18,1") || has(model, "MacBookPro18,2"))
        return ChipClass::m1Max;
    if (has(brand, "M1 Pro"))
        return ChipClass::m1Pro;
    return ChipClass::m1Base;
}

bool MacCapabilityEngine::detectsAppleSilicon() const
{
    const auto brand = m_sysctl ? m_sysctl->string("machdep.cpu.brand_string") : std::nullopt;
    return brand && brand->rfind("Apple ", 0) == 0;
}

std::string MacCapabilityEngine::processorName() const
{
    const auto brand = m_sysctl ? m_sysctl->processorName() : std::nullopt;
    if (!brand)
        return {};
    const auto first = brand->find_first_not_of(" \t\n");
    const auto last = brand->find_last_not_of(" \t\n");
    return first == std::string::npos ? std::string() : brand->substr(first, last - first + 1);
}

double MacCapabilityEngine::freeDiskSpaceGB() const
{
    struct statvfs info
    {
    };
    if (statvfs(m_volumePath.c_str(), &info) != 0)
        return 0;
    // f_bavail excludes the blocks reserved for root: what this user can still write.
    return static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize) / kBytesPerGB;
}

MacCapabilityProfile::ThermalHeadroom MacCapabilityEngine::thermalHeadroom(QVThermalState::Level level)
{
    switch (level) {
    case QVThermalState::Level::balanced:
        return MacCapabilityProfile::ThermalHeadroom::excellent;
    case QVThermalState::Level::warm:
        return MacCapabilityProfile::ThermalHeadroom::adequate;
    case QVThermalState::Level::unknown:
        // Without a reading the margin is neither known to be wide nor known to be used up.
        return MacCapabilityProfile::ThermalHeadroom::adequate;
    case QVThermalState::Level::throttling:
    case QVThermalState::Level::critical:
        return MacCapabilityProfile::ThermalHeadroom::tight;
    }
    return MacCapabilityProfile::ThermalHeadroom::tight;
}

MacCapabilityProfile MacCapabilityEngine::currentProfile(
    MemoryEngine& memoryEngine, const ThermalEngine& thermalEngine) const
{
    return currentProfile(
        [&memoryEngine] { return memoryEngine.snapshot(); }, [&thermalEngine] { return thermalEngine.currentState(); });
}

MacCapabilityProfile MacCapabilityEngine::currentProfile(
    const MemorySnapshot& memorySnapshot, const ThermalReading& thermalState) const
{
    const ChipClass chip = detectChipClass();
    const SystemMemoryState memory = memorySnapshot ? memorySnapshot() : SystemMemoryState {};
    const QVThermalState thermal
        = thermalState ? thermalState() : QVThermalState::forLevel(QVThermalState::Level::unknown);
    const double freeDisk = freeDiskSpaceGB();
    const auto cpuCores = positiveInteger("hw.perflevel0.logicalcpu");
    const auto gpuCores = positiveInteger("hw.gpu.count");

    // Free for a model is what the kernel can hand out now (MemAvailable), the figure the tray shows,
    // not only the pages no one uses (MemFree).
    const double available = memory.headroomGB();
    return {
        .chipClass = chip,
        .totalMemoryGB = memory.totalGB,
        .cpuCores = cpuCores.value_or(8),
        .gpuCores = gpuCores.value_or(30),
        .neuralEngineCores = neuralEngineCores(chip),
        .memoryBandwidthGBs = memoryBandwidthGBs(chip),
        .availableMemoryGB = available,
        .typicalFreeHeadroomGB = available,
        .thermalHeadroom = thermalHeadroom(thermal.level),
        .storageFreeSSD = freeDisk,
        .appleSilicon = detectsAppleSilicon(),
        .processorName = processorName(),
    };
}
