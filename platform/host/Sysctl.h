#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Answers the sysctl keys the program asks about, from /proc and /sys:
//   hw.memsize                 MemTotal of /proc/meminfo, in bytes
//   hw.ncpu                    CPUs present; hw.logicalcpu: CPUs online
//   hw.physicalcpu             distinct (package, core) pairs of the online CPUs
//   hw.perflevel0.logicalcpu   performance CPUs (every online CPU on a machine of one core kind)
//   hw.perflevel1.logicalcpu   efficiency CPUs; no answer on a machine of one core kind
//   hw.gpu.count               DRM cards in /sys/class/drm; no answer without DRM
//   machdep.cpu.brand_string   the CPU's model name of /proc/cpuinfo
//   hw.model                   device-tree model, else the DMI product name
// Every other key has no answer.
class Sysctl
{
public:
    explicit Sysctl(std::string procRoot = "/proc", std::string sysRoot = "/sys");

    std::optional<std::int64_t> integer(std::string_view key) const;
    std::optional<std::string> string(std::string_view key) const;

    // The online CPU numbers of each kind, ascending. On Intel hybrid parts the efficiency cores are not
    // simply the last ones, so callers keep these lists rather than counts. On ARM the CPUs of the highest
    // cpu_capacity are the performance CPUs and all others efficiency CPUs.
    std::vector<int> performanceCpus() const;
    std::vector<int> efficiencyCpus() const;
    std::vector<int> onlineCpus() const;

    // "0-3,8,10-11" as the kernel writes CPU lists; nullopt for text that is not such a list.
    static std::optional<std::vector<int>> parseCpuList(std::string_view text);
    // The value of the first "key<tab>: value" line of /proc/cpuinfo among the given keys, in key order.
    static std::optional<std::string> cpuinfoValue(
        std::string_view cpuinfo, std::initializer_list<std::string_view> keys);

private:
    struct Levels
    {
        std::vector<int> performance;
        std::vector<int> efficiency;
    };
    Levels levels() const;
    std::optional<std::vector<int>> cpuListFile(const std::string& path) const;
    std::optional<std::int64_t> physicalCpuCount() const;
    std::optional<std::int64_t> gpuCount() const;
    std::optional<std::int64_t> memorySize() const;

    std::string m_proc;
    std::string m_sys;
};

} // namespace platform
