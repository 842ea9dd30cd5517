#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

// Power drawn by the processor, from the RAPL energy counters under /sys/class/powercap.
// CPU power is the package domains minus their "uncore" part (the integrated graphics), GPU power
// that "uncore" part; a package reached through both the MSR and the MMIO interface is counted once.
// Since Linux 5.10 the counters are readable by root only, unless the machine's policy opens them.
class RaplReader
{
public:
    struct Domain
    {
        std::string folder;
        bool gpu = false; // an "uncore" subdomain rather than a whole package
        std::uint64_t maxEnergyRange = 0; // microjoules at which the counter wraps to 0
        bool operator==(const Domain&) const = default;
    };
    struct Sample
    {
        std::uint64_t cpuMilliwatts = 0;
        std::uint64_t gpuMilliwatts = 0;
    };
    // Every counter read once, with the moment of the reading.
    struct Reading
    {
        std::vector<Domain> domains;
        std::vector<std::uint64_t> microjoules; // one per domain
        std::chrono::steady_clock::time_point at;
    };

    explicit RaplReader(std::string sysRoot = "/sys");

    std::vector<Domain> domains() const;
    // An error text when there are no counters or one cannot be read.
    std::variant<Reading, std::string> read() const;
    // Two readings `window` apart.
    std::variant<Sample, std::string> sample(std::chrono::milliseconds window) const;

    // The power between two readings; nothing when they do not hold the same counters or no time passed.
    static std::optional<Sample> between(const Reading& before, const Reading& after);
    // Microjoules used between two readings of a counter that wraps at `maxRange`.
    static std::uint64_t energyDelta(std::uint64_t before, std::uint64_t after, std::uint64_t maxRange);
    // The lines the helper's client reads: "CPU Power: N mW" and "GPU Power: M mW".
    static std::string format(const Sample& sample);

private:
    std::optional<std::uint64_t> readEnergy(const Domain& domain, std::string* error) const;

    std::string m_root;
};

} // namespace platform
