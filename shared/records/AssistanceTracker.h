#pragma once

#include "AssistanceEvent.h"
#include "SavedYouMetrics.h"

#include <QString>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

// Owns the assistance history (newest first, at most 100 after any record) and the lifetime
// counters, kept in "assistance_history.json" and "saved_you_metrics.json". Safe from any thread;
// every operation blocks until its files are written. Storage failures are silent: the in-memory
// state stands and is written again at the next change.
class AssistanceTracker
{
public:
    static constexpr std::size_t kHistoryLimit = 100;

    // The tracker the whole program uses; loads the files on first use.
    static AssistanceTracker& shared();

    // Keeps its files in folder, or in the application-support folder when folder is empty.
    explicit AssistanceTracker(const QString& folder = {});

    AssistanceTracker(const AssistanceTracker&) = delete;
    AssistanceTracker& operator=(const AssistanceTracker&) = delete;

    // Adds an event and the deltas to the counters, saves, then posts "QuorvaneAssistanceEventAdded".
    // Text that is not UTF-8 is kept with replacement characters; a non-finite delta counts as 0.
    void record(AssistanceCategory category, const std::string& title, const std::string& detail,
        const std::string& impactValue, double hoursSavedDelta, double storageFreedGBDelta,
        std::int64_t buildsProtectedDelta);

    // Newest first; `all` means every category. A negative limit reads as 0.
    std::vector<AssistanceEvent> fetchEvents(AssistanceCategory category, int limit) const;
    SavedYouMetrics getMetrics() const;
    // Empties the history and resets every counter (both halves below), with one change notification.
    void clearHistory();
    // The privacy erasure's two halves: the history alone, the counters alone. Each removes its file and
    // any set-aside copy of it (the next record writes them again), posts the change notification and
    // returns whether no file is left.
    bool clearEvents();
    bool resetMetrics();

private:
    QString historyFilePath() const;
    QString metricsFilePath() const;
    QString filePath(const QString& name) const;
    bool save();

    const QString m_folder;
    mutable std::mutex m_mutex;
    std::vector<AssistanceEvent> m_events;
    SavedYouMetrics m_metrics;
};
