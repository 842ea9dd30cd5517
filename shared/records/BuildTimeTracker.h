#pragma once

#include "core/JsonCodec.h"
#include "core/UserDefaults.h"

#include <cstdint>
#include <mutex>

// Running totals of build durations, split by whether a local model was loaded during the build,
// stored as JSON under "com.quorvane.buildtimetracker.stats". Safe from any thread.
class BuildTimeTracker
{
public:
    struct BuildStats
    {
        std::int64_t totalBuilds = 0;
        double totalDuration = 0;
        std::int64_t buildsWithOllama = 0;
        double durationWithOllama = 0;
        std::int64_t buildsWithoutOllama = 0;
        double durationWithoutOllama = 0;

        bool operator==(const BuildStats&) const = default;
    };

    static inline const QString userDefaultsKey = QStringLiteral("com.quorvane.buildtimetracker.stats");

    explicit BuildTimeTracker(UserDefaults& defaults = UserDefaults::standard());
    ~BuildTimeTracker();

    BuildTimeTracker(const BuildTimeTracker&) = delete;
    BuildTimeTracker& operator=(const BuildTimeTracker&) = delete;

    // Durations are summed as given; callers use one unit.
    void recordBuild(double duration, bool ollamaLoaded);
    BuildStats getStats() const;
    // How much slower, in percent, builds run with a model loaded; never below 0.
    double correlationFactor() const;
    void reset();

private:
    void save();

    UserDefaults& m_defaults;
    mutable std::mutex m_mutex;
    BuildStats m_stats;
    QMetaObject::Connection m_erasedWatch;
};

void to_json(Json& j, const BuildTimeTracker::BuildStats& s);
void from_json(const Json& j, BuildTimeTracker::BuildStats& s);
