#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace platform {

// What the machine says about itself, as the system information page describes it. Empty texts and
// zero counts mean the source is absent.
struct MachineFacts
{
    std::string modelIdentifier; // device-tree model, else DMI vendor and product name
    std::string cpuBrand; // "model name" of /proc/cpuinfo; on ARM boards the device-tree model
    int logicalCpus = 0; // online CPUs
    int performanceCpus = 0;
    int efficiencyCpus = 0; // 0 on a CPU of one core kind
    std::uint64_t memoryBytes = 0; // MemTotal
    std::string osVersion; // VERSION_ID of os-release, else its BUILD_ID
    std::string kernelRelease; // as `uname -r` prints it
    std::string kernelName; // as `uname -s`
    std::string architecture; // as `uname -m`
    std::string machineId; // /etc/machine-id
    std::string hostName; // as `uname -n`
    std::uint64_t gpuMemoryBytes = 0; // the largest mem_info_vram_total of the DRM cards
    std::string serialNumber; // DMI product_serial (readable by root only), else the device tree's
    std::string gpuDriver; // the kernel drivers of the DRM cards, e.g. "i915" or "amdgpu, nouveau"
};

// Reads MachineFacts from /proc, /sys and /etc (each root replaceable, for fixture trees).
class MachineReader
{
public:
    explicit MachineReader(std::string procRoot = "/proc", std::string sysRoot = "/sys", std::string etcRoot = "/etc");

    MachineFacts read() const;

    // "KEY=value" lines with optional quotes, as os-release writes them.
    static std::map<std::string, std::string> parseOsRelease(std::string_view text);
    // The device-tree model without its trailing NULs, else "vendor product" from DMI.
    std::string modelIdentifier() const;
    std::string cpuBrand() const;
    // Dedicated video memory as the GPU driver reports it (amdgpu does); 0 without such a card.
    std::uint64_t gpuMemoryBytes() const;
    // The machine's own serial number; empty where it is unreadable or a maker's placeholder
    // ("To Be Filled By O.E.M.", "System Serial Number"...).
    std::string serialNumber() const;
    // The distinct drivers of the DRM cards, by card number, joined with ", "; empty without DRM.
    std::string gpuDriver() const;
    static bool isPlaceholderSerial(std::string_view text);

private:
    std::string m_proc;
    std::string m_sys;
    std::string m_etc;
};

} // namespace platform
