#include "helper/src/RaplReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace helper {

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

std::variant<RaplReader::Sample, std::string> RaplReader::sample(std::chrono::milliseconds window) const
{
    const auto found = domains();
    if (std::none_of(found.begin(), found.end(), [](const Domain& d) { return !d.gpu; }))
        return std::string("No RAPL energy counters under " + m_root + "/class/powercap");

    std::string error;
    std::vector<std::uint64_t> before;
    for (const auto& domain : found) {
        const auto energy = readEnergy(domain, &error);
        if (!energy)
            return error;
        before.push_back(*energy);
    }
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(window);

    std::uint64_t packageMicrojoules = 0;
    std::uint64_t gpuMicrojoules = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const auto energy = readEnergy(found[i], &error);
        if (!energy)
            return error;
        const auto used = energyDelta(before[i], *energy, found[i].maxEnergyRange);
        (found[i].gpu ? gpuMicrojoules : packageMicrojoules) += used;
    }
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    const double seconds = std::max(1e-6, double(micros.count()) / 1e6);

    Sample result;
    result.gpuMilliwatts = std::uint64_t(double(gpuMicrojoules) / 1000.0 / seconds + 0.5);
    const auto cpuMicrojoules = packageMicrojoules > gpuMicrojoules ? packageMicrojoules - gpuMicrojoules : 0;
    result.cpuMilliwatts = std::uint64_t(double(cpuMicrojoules) / 1000.0 / seconds + 0.5);
    return result;
}

std::string RaplReader::format(const Sample& sample)
{
    std::ostringstream out;
    out << "CPU Power: " << sample.cpuMilliwatts << " mW\n"
        << "GPU Power: " << sample.gpuMilliwatts << " mW\n";
    return out.str();
}

} // namespace helper
