#include "MachineReader.h"

#include "Sysctl.h"
#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <vector>

#include <sys/utsname.h>

namespace platform {

namespace {

std::string trimmedFile(const std::string& path)
{
    return procfiles::readTrimmed(path, 64 * 1024);
}

// The running kernel's machine type, where /proc/sys does not give it.
std::string unameMachine()
{
    utsname names {};
    if (::uname(&names) != 0)
        return {};
    return names.machine;
}

} // namespace

MachineReader::MachineReader(std::string procRoot, std::string sysRoot, std::string etcRoot)
    : m_proc(std::move(procRoot))
    , m_sys(std::move(sysRoot))
    , m_etc(std::move(etcRoot))
{
}

std::map<std::string, std::string> MachineReader::parseOsRelease(std::string_view text)
{
    std::map<std::string, std::string> fields;
    while (!text.empty()) {
        const auto line = asciiTrimmed(textfields::takeLine(text));
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos || equals == 0)
            continue;
        std::string_view value = line.substr(equals + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        fields[std::string(line.substr(0, equals))] = std::string(value);
    }
    return fields;
}

std::string MachineReader::modelIdentifier() const
{
    // readText keeps the NULs the device tree ends its strings with; trimmed() drops them.
    if (auto model = trimmedFile(m_sys + "/firmware/devicetree/base/model"); !model.empty())
        return model;
    const std::string vendor = trimmedFile(m_sys + "/class/dmi/id/sys_vendor");
    const std::string product = trimmedFile(m_sys + "/class/dmi/id/product_name");
    if (vendor.empty() || product.rfind(vendor, 0) == 0)
        return product;
    return product.empty() ? vendor : vendor + " " + product;
}

std::string MachineReader::cpuBrand() const
{
    const auto cpuinfo = procfiles::readText(m_proc + "/cpuinfo");
    if (cpuinfo) {
        if (auto name = Sysctl::cpuinfoValue(*cpuinfo, {"model name"}))
            return *name;
    }
    if (auto model = trimmedFile(m_sys + "/firmware/devicetree/base/model"); !model.empty())
        return model;
    if (cpuinfo) {
        if (auto other = Sysctl::cpuinfoValue(*cpuinfo, {"Hardware", "cpu model", "Processor"}))
            return *other;
    }
    return {};
}

std::uint64_t MachineReader::gpuMemoryBytes() const
{
    std::uint64_t largest = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_sys + "/class/drm", ec)) {
        const std::string name = entry.path().filename().string();
        // "card0" is a device; "card0-DP-1" one of its connectors.
        if (name.rfind("card", 0) != 0 || name.find('-') != std::string::npos)
            continue;
        const std::string text = trimmedFile(entry.path().string() + "/device/mem_info_vram_total");
        std::uint64_t bytes = 0;
        const auto [end, parsed] = std::from_chars(text.data(), text.data() + text.size(), bytes);
        if (parsed == std::errc() && end == text.data() + text.size())
            largest = std::max(largest, bytes);
    }
    return largest;
}

bool MachineReader::isPlaceholderSerial(std::string_view text)
{
    text = asciiTrimmed(text);
    if (text.empty())
        return true;
    // Firmware that was never given a serial fills the field with one character ("0", "FFFFFFFF")...
    if (std::all_of(text.begin(), text.end(), [&](char c) { return c == text.front(); }))
        return true;
    // ...or with one of the makers' stock texts, whole: a real serial may well contain "none" or "1234".
    const std::string lower = asciiLower(text);
    if (lower.rfind("to be filled", 0) == 0) // "To Be Filled By O.E.M."
        return true;
    for (const char* stock : {"system serial number", "default string", "not specified", "not applicable", "n/a",
             "none", "0123456789", "123456789"}) {
        if (lower == stock)
            return true;
    }
    return false;
}

std::string MachineReader::serialNumber() const
{
    // product_serial is mode 0400: an ordinary user reads nothing, and the page shows "—".
    for (const char* path : {"/class/dmi/id/product_serial", "/firmware/devicetree/base/serial-number"}) {
        if (std::string serial = trimmedFile(m_sys + path); !isPlaceholderSerial(serial))
            return serial;
    }
    return {};
}

std::string MachineReader::gpuDriver() const
{
    std::vector<std::pair<int, std::string>> cards;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_sys + "/class/drm", ec)) {
        const std::string name = entry.path().filename().string();
        // "card0" only: connectors ("card0-DP-1") and render nodes have no driver of their own here.
        if (name.size() <= 4 || name.rfind("card", 0) != 0)
            continue;
        int number = 0;
        const auto [end, parsed] = std::from_chars(name.data() + 4, name.data() + name.size(), number);
        if (parsed != std::errc() || end != name.data() + name.size())
            continue;
        std::error_code linkError;
        const auto driver = std::filesystem::read_symlink(entry.path() / "device/driver", linkError);
        if (!linkError && !driver.filename().empty())
            cards.emplace_back(number, driver.filename().string());
    }
    std::sort(cards.begin(), cards.end());
    std::vector<std::string> seen;
    for (const auto& [number, driver] : cards) {
        if (std::find(seen.begin(), seen.end(), driver) == seen.end())
            seen.push_back(driver);
    }
    return joined(seen, ", ");
}

MachineFacts MachineReader::read() const
{
    MachineFacts facts;
    facts.modelIdentifier = modelIdentifier();
    facts.cpuBrand = cpuBrand();

    const Sysctl sysctl(m_proc, m_sys);
    facts.logicalCpus = static_cast<int>(sysctl.onlineCpus().size());
    facts.performanceCpus = static_cast<int>(sysctl.performanceCpus().size());
    facts.efficiencyCpus = static_cast<int>(sysctl.efficiencyCpus().size());
    facts.memoryBytes = static_cast<std::uint64_t>(sysctl.integer("hw.memsize").value_or(0));

    std::optional<std::string> release = procfiles::readText(m_etc + "/os-release");
    if (!release)
        release = procfiles::readText(m_etc + "/../usr/lib/os-release");
    if (release) {
        const auto fields = parseOsRelease(*release);
        for (const char* key : {"VERSION_ID", "BUILD_ID"}) {
            if (const auto it = fields.find(key); it != fields.end() && !it->second.empty()) {
                facts.osVersion = it->second;
                break;
            }
        }
    }

    facts.kernelRelease = trimmedFile(m_proc + "/sys/kernel/osrelease");
    facts.kernelName = trimmedFile(m_proc + "/sys/kernel/ostype");
    facts.architecture = trimmedFile(m_proc + "/sys/kernel/arch");
    // Older kernels have no /proc/sys/kernel/arch; the running one answers for itself.
    if (facts.architecture.empty() && m_proc == "/proc")
        facts.architecture = unameMachine();
    facts.machineId = trimmedFile(m_etc + "/machine-id");
    facts.hostName = trimmedFile(m_proc + "/sys/kernel/hostname");
    if (facts.hostName == "(none)") // the kernel's word for a name never set
        facts.hostName.clear();
    facts.gpuMemoryBytes = gpuMemoryBytes();
    facts.serialNumber = serialNumber();
    facts.gpuDriver = gpuDriver();
    return facts;
}

} // namespace platform
