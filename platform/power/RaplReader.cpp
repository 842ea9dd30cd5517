#include "RaplReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace platform {

namespace {

std::optional<std::string> readFirstLine(const std::string& path, int* error = nullptr)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) {
        if (error)
            *error = errno ? errno : EIO;
        return std::nullopt;
    }
    return line;
}

std::optional<std::uint64_t> parseUnsigned(const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    try {
        return std::stoull(text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

RaplReader::RaplReader(std::string sysRoot)
    : m_root(std::move(sysRoot))
{
}

std::vector<RaplReader::Domain> RaplReader::domains() const
{
    const std::string base = m_root + "/class/powercap";
    std::vector<std::string> entries;
    if (DIR* dir = ::opendir(base.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                entries.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    // "intel-rapl:0" sorts before "intel-rapl-mmio:0", so the MSR reading of a package wins.
    std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
        const bool aMmio = a.find("mmio") != std::string::npos;
        const bool bMmio = b.find("mmio") != std::string::npos;
        return aMmio != bMmio ? bMmio : a < b;
    });

    std::vector<Domain> result;
    std::set<std::string> packages;
    for (const auto& entry : entries) {
        const std::string folder = base + "/" + entry;
        const auto name = readFirstLine(folder + "/name");
        const auto range = readFirstLine(folder + "/max_energy_range_uj");
        if (!name || !range)
            continue;
        // A subdomain "<type>:<package>:<n>" belongs to the package named by its middle number.
        const auto parts = std::count(entry.begin(), entry.end(), ':');
        Domain domain {folder, false, parseUnsigned(*range).value_or(0)};
        if (parts == 1 && name->rfind("package-", 0) == 0) {
            if (!packages.insert(*name).second)
                continue;
        } else if (parts == 2 && *name == "uncore" && entry.find("mmio") == std::string::npos) {
            domain.gpu = true;
        } else {
            continue;
        }
        result.push_back(domain);
    }
    return result;
}

std::optional<std::uint64_t> RaplReader::readEnergy(const Domain& domain, std::string* error) const
{
    int readError = 0;
    errno = 0;
    const auto text = readFirstLine(domain.folder + "/energy_uj", &readError);
    const auto value = text ? parseUnsigned(*text) : std::nullopt;
    if (!value && error)
        *error = "Cannot read " + domain.folder + "/energy_uj: " + (text ? "not a number" : std::strerror(readError));
    return value;
}

std::uint64_t RaplReader::energyDelta(std::uint64_t before, std::uint64_t after, std::uint64_t maxRange)
{
    if (after >= before)
        return after - before;
    // The counter passed its maximum and started again at 0.
    return maxRange > before ? maxRange - before + after : after;
}

std::variant<RaplReader::Reading, std::string> RaplReader::read() const
{
    Reading reading;
    reading.domains = domains();
    if (std::none_of(reading.domains.begin(), reading.domains.end(), [](const Domain& d) { return !d.gpu; }))
        return std::string("No RAPL energy counters under " + m_root + "/class/powercap");
    std::string error;
    for (const auto& domain : reading.domains) {
        const auto energy = readEnergy(domain, &error);
        if (!energy)
            return error;
        reading.microjoules.push_back(*energy);
    }
    reading.at = std::chrono::steady_clock::now();
    return reading;
}

std::optional<RaplReader::Sample> RaplReader::between(const Reading& before, const Reading& after)
{
    if (before.domains != after.domains || before.microjoules.size() != before.domains.size()
        || after.microjoules.size() != after.domains.size())
        return std::nullopt;
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(after.at - before.at);
    if (micros.count() <= 0)
        return std::nullopt;
    const double seconds = double(micros.count()) / 1e6;

    std::uint64_t packageMicrojoules = 0;
    std::uint64_t gpuMicrojoules = 0;
    for (std::size_t i = 0; i < after.domains.size(); ++i) {
        const auto used = energyDelta(before.microjoules[i], after.microjoules[i], after.domains[i].maxEnergyRange);
        (after.domains[i].gpu ? gpuMicrojoules : packageMicrojoules) += used;
    }
    Sample result;
    result.gpuMilliwatts = std::uint64_t(double(gpuMicrojoules) / 1000.0 / seconds + 0.5);
    const auto cpuMicrojoules = packageMicrojoules > gpuMicrojoules ? packageMicrojoules - gpuMicrojoules : 0;
    result.cpuMilliwatts = std::uint64_t(double(cpuMicrojoules) / 1000.0 / seconds + 0.5);
    return result;
}

std::variant<RaplReader::Sample, std::string> RaplReader::sample(std::chrono::milliseconds window) const
{
    auto before = read();
    if (auto* error = std::get_if<std::string>(&before))
        return *error;
    std::this_thread::sleep_for(window);
    auto after = read();
    if (auto* error = std::get_if<std::string>(&after))
        return *error;
    auto& first = std::get<Reading>(before);
    auto& second = std::get<Reading>(after);
    // A window too short for the clock still gives a figure rather than a division by zero.
    if (second.at <= first.at)
        second.at = first.at + std::chrono::microseconds(1);
    if (auto power = between(first, second))
        return *power;
    return std::string("The RAPL energy counters under " + m_root + "/class/powercap changed while sampling");
}

std::string RaplReader::format(const Sample& sample)
{
    std::ostringstream out;
    out << "CPU Power: " << sample.cpuMilliwatts << " mW\n"
        << "GPU Power: " << sample.gpuMilliwatts << " mW\n";
    return out.str();
}

} // namespace platform
