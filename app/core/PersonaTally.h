#pragma once

#include "core/Date.h"
#include "records/AutoPersona.h"
#include "records/PersonaEvent.h"
#include "records/SavedYouMetrics.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The personas' events and the saved-you counters they earn: one event per activation, closed by
// its deactivation, and the processes suspended, memory freed, builds protected and time saved.
// A plain value; the persona engine guards it with its own lock.
class PersonaTally
{
public:
    // What a protected build saved: half its length, at least five seconds.
    struct BuildSaving
    {
        std::int64_t seconds = 0;
        double hours = 0;
    };

    explicit PersonaTally(SavedYouMetrics metrics);

    const std::vector<PersonaEvent>& history() const { return m_history; }
    const SavedYouMetrics& metrics() const { return m_metrics; }
    // The counters' store was erased: they start again from zero.
    void resetMetrics();

    // `suspended` processes were suspended for the persona now, freeing `gigabytesFreed`.
    void activated(
        AutoPersona persona, const std::string& trigger, Date at, std::int64_t suspended, double gigabytesFreed);
    // A process suspended on its own; `forTheBuild` when Compile Mode is on and keeps it suspended.
    void suspendedOne(bool forTheBuild);
    // Closes the newest open event of the persona; true when that event suspended anything.
    bool deactivated(AutoPersona persona, Date at);

    // Something was paused for the Compile Mode that is on: only then is its build protected.
    bool buildProtected() const { return m_buildProtected; }
    void setBuildProtected(bool isProtected) { m_buildProtected = isProtected; }
    // A trigger process runs while Compile Mode is on: one started by hand now covers a build too.
    void buildSeen() { m_buildSeen = true; }
    // The Compile Mode that is on has a build to its name: it was started for one (not by hand), or
    // one was seen since.
    bool buildDetected() const;
    // Compile Mode ends at `at`: a protected build is counted, with what it saved since its event
    // began. A build nothing was paused for, or no build at all, counts nothing.
    std::optional<BuildSaving> endBuild(Date at);

private:
    std::vector<PersonaEvent> m_history;
    SavedYouMetrics m_metrics;
    bool m_buildProtected = false;
    bool m_buildSeen = false;
};
