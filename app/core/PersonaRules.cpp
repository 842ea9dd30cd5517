#include "PersonaRules.h"

#include "SessionWindowManagers.h"

#include "platform/power/PowerSupplies.h"

#include <algorithm>

#include <unistd.h>

namespace {

using Change = PersonaRules::Decision::Change;

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

PersonaRules::PersonaRules(std::string procRoot, std::string sysRoot, platform::SessionEnvironment session)
    : m_sysRoot(std::move(sysRoot))
    , m_exclusions(std::move(procRoot), ::getpid(), ::getuid(), session, sessionWindowManagers(session))
{
}

std::vector<std::string> PersonaRules::freezeList(AutoPersona persona, const PersonaConfiguration& configuration)
{
    // Each persona's own names, then the Linux programs of the same kinds. dockerd is on no list:
    // stopping it stops every container with it.
    switch (persona) {
    case AutoPersona::compileMode: {
        std::vector<std::string> names {"ollama", "ollama_llama_server", "com.docker.hyperkit", "UTM",
            "Parallels Desktop", "postgres", "mysql", "redis-server", "mongod", "com.apple.MobileDevice",
            "qemu-system-x86_64", "qemu-system-aarch64", "VirtualBoxVM", "mysqld", "mariadbd"};
        names.insert(names.end(), configuration.customFreezeList.begin(), configuration.customFreezeList.end());
        return names;
    }
    case AutoPersona::aiFirstMode:
        return {"com.apple.backupd", "mds_stores", "tracker-miner-fs-3", "baloo_file", "deja-dup", "restic"};
    case AutoPersona::batteryMode:
        return {"ollama", "ollama_llama_server", "com.docker.hyperkit", "UTM", "postgres", "mysql", "redis-server",
            "qemu-system-x86_64", "qemu-system-aarch64", "VirtualBoxVM", "mysqld", "mariadbd"};
    }
    return {};
}

std::function<bool(AutoPersona, const std::string&)> PersonaRules::freezeLists(PersonaConfiguration configuration)
{
    return [configuration = std::move(configuration)](AutoPersona persona, const std::string& name) {
        return contains(freezeList(persona, configuration), name);
    };
}

PersonaRules::Decision PersonaRules::compileRule(
    bool active, const std::vector<RunningProcess>& snapshot, const std::vector<std::string>& triggers)
{
    const auto first = std::find_if(
        snapshot.begin(), snapshot.end(), [&](const RunningProcess& p) { return contains(triggers, p.name); });
    if (first == snapshot.end())
        return {active ? Change::deactivate : Change::none, {}};
    if (active)
        return {};
    return {Change::activate, first->name};
}

PersonaRules::Decision PersonaRules::batteryRule(bool active) const
{
    const bool onBattery = isOnBattery();
    if (onBattery && !active)
        return {Change::activate, "power disconnected"};
    if (!onBattery && active)
        return {Change::deactivate, {}};
    return {};
}

PersonaRules::Decision PersonaRules::aiFirstRule(bool active, bool modelLoaded, bool compileModeOn) const
{
    if (compileModeOn || !modelLoaded)
        return {active ? Change::deactivate : Change::none, {}};
    // On battery it is not started, and one that is on stays on.
    if (isOnBattery() || active)
        return {};
    return {Change::activate, "model loaded"};
}

std::vector<RunningProcess> PersonaRules::overdueProcesses(const std::vector<RunningProcess>& snapshot, Date now,
    const PersonaConfiguration& configuration, const std::function<bool(std::int32_t)>& isSuspended)
{
    prepare(snapshot, configuration);
    std::vector<RunningProcess> overdue;
    for (const auto& process : snapshot) {
        {
            std::lock_guard lock(m_mutex);
            if (!(process.cpuPercent > cpuThreshold)) {
                m_busySince.erase(process.pid);
                continue;
            }
            const auto seen = m_busySince.find(process.pid);
            if (seen == m_busySince.end()) {
                m_busySince.emplace(process.pid, now);
                continue;
            }
            if (!(now.timeIntervalSince(seen->second) > sustainedSeconds))
                continue;
        }
        if (isSuspended(process.pid) || contains(configuration.customFreezeList, process.name) || spares(process))
            continue;
        overdue.push_back(process);
    }
    return overdue;
}

void PersonaRules::forgetBusyProcesses()
{
    std::lock_guard lock(m_mutex);
    m_busySince.clear();
}

std::map<std::int32_t, Date> PersonaRules::sustainedCPUStartTimes() const
{
    std::lock_guard lock(m_mutex);
    return m_busySince;
}

std::vector<RunningProcess> PersonaRules::freezeCandidates(AutoPersona persona, std::vector<RunningProcess> snapshot,
    const PersonaConfiguration& configuration, const std::function<bool(std::int32_t)>& stoppedElsewhere)
{
    const auto names = freezeList(persona, configuration);
    prepare(snapshot, configuration);
    std::vector<RunningProcess> candidates;
    for (auto& process : snapshot) {
        if (contains(names, process.name) && !spares(process) && !(stoppedElsewhere && stoppedElsewhere(process.pid)))
            candidates.push_back(std::move(process));
    }
    return candidates;
}

void PersonaRules::prepare(const std::vector<RunningProcess>& snapshot, const PersonaConfiguration& configuration)
{
    m_exclusions.prepare(snapshot, configuration.neverPauseWhitelist);
}

std::optional<bool> PersonaRules::onBatteryPower() const
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mockIsOnBattery)
            return *m_mockIsOnBattery;
    }
    const auto battery = platform::PowerSupplies(m_sysRoot).internalBattery();
    if (!battery)
        return std::nullopt;
    return battery->onBattery;
}

void PersonaRules::setMockIsOnBattery(std::optional<bool> onBattery)
{
    std::lock_guard lock(m_mutex);
    m_mockIsOnBattery = onBattery;
}
