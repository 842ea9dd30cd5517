#pragma once

#include "WatchdogExclusions.h"

#include "core/Date.h"
#include "engines/RunningProcess.h"
#include "records/AutoPersona.h"
#include "records/PersonaConfiguration.h"

#include "platform/proc/SessionEnvironment.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Which personas what the machine is doing calls for, and which processes a persona may suspend:
// Compile Mode while a trigger runs, Battery Mode on battery with its watchdog of busy processes,
// AI First Mode while a model is loaded and no build or battery stands against it; the freeze lists
// less what nothing may suspend (WatchdogExclusions). It only decides; the persona engine acts.
//
// The exclusions are prepared for one run at a time, so the engine calls all but the readers of
// the start times and of the power source under its operation lock.
class PersonaRules
{
public:
    // A process counts as busy above this load and is suspended once busy for longer than this.
    static constexpr double cpuThreshold = 15.0;
    static constexpr double sustainedSeconds = 60.0;

    // What a rule asks of one persona, with the trigger its event is to carry.
    struct Decision
    {
        enum class Change { none, activate, deactivate };
        Change change = Change::none;
        std::string trigger;

        bool operator==(const Decision&) const = default;
    };

    PersonaRules(std::string procRoot, std::string sysRoot, platform::SessionEnvironment session);

    // The persona's freeze list: the built-in names, then (Compile Mode) the configuration's own.
    static std::vector<std::string> freezeList(AutoPersona persona, const PersonaConfiguration& configuration);
    // Whether a persona's freeze list in (a copy of) the configuration names a process.
    static std::function<bool(AutoPersona, const std::string&)> freezeLists(PersonaConfiguration configuration);

    // Compile Mode while a process of the snapshot is named as a trigger; the first one names the event.
    static Decision compileRule(
        bool active, const std::vector<RunningProcess>& snapshot, const std::vector<std::string>& triggers);
    Decision batteryRule(bool active) const;
    Decision aiFirstRule(bool active, bool modelLoaded, bool compileModeOn) const;

    // Battery Mode's watchdog, for one run at `now`: notes when each busy process was first seen
    // busy and forgets the calm ones, and returns, in snapshot order, those busy for longer than
    // sustainedSeconds that are not suspended yet, not on the custom freeze list and not spared.
    std::vector<RunningProcess> overdueProcesses(const std::vector<RunningProcess>& snapshot, Date now,
        const PersonaConfiguration& configuration, const std::function<bool(std::int32_t)>& isSuspended);
    // Battery Mode is off: the busy processes' start times go.
    void forgetBusyProcesses();
    std::map<std::int32_t, Date> sustainedCPUStartTimes() const;

    // The running processes on the persona's freeze list, in snapshot order, less those spared and
    // those stoppedElsewhere says were stopped by someone else (Ctrl-Z, kill -STOP, a debugger): the
    // user's own pause is left as it is, never listed and later continued.
    std::vector<RunningProcess> freezeCandidates(AutoPersona persona, std::vector<RunningProcess> snapshot,
        const PersonaConfiguration& configuration, const std::function<bool(std::int32_t)>& stoppedElsewhere = {});
    // Works out what is spared for this snapshot; spares() and whySpared() then answer for it.
    void prepare(const std::vector<RunningProcess>& snapshot, const PersonaConfiguration& configuration);
    bool spares(const RunningProcess& process) const { return m_exclusions.excludes(process); }
    WatchdogExclusions::Reason whySpared(const RunningProcess& process) const
    {
        return m_exclusions.reasonFor(process);
    }

    // The power source, unless a stand-in reading is set: whether the machine runs on its battery, and
    // nothing for a machine without one.
    std::optional<bool> onBatteryPower() const;
    bool isOnBattery() const { return onBatteryPower().value_or(false); }
    void setMockIsOnBattery(std::optional<bool> onBattery);

private:
    const std::string m_sysRoot;
    WatchdogExclusions m_exclusions;
    mutable std::mutex m_mutex; // guards the two below
    std::map<std::int32_t, Date> m_busySince;
    std::optional<bool> m_mockIsOnBattery;
};
