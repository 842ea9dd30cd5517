#include "BuildTimeTracker.h"

#include "core/FiniteOrZero.h"
#include "core/Saturating.h"

using jsoncodec::require;

BuildTimeTracker::BuildTimeTracker(UserDefaults& defaults)
    : m_defaults(defaults)
{
    if (const auto stored = m_defaults.data(userDefaultsKey)) {
        if (auto stats = jsoncodec::decodeText<BuildStats>(*stored))
            m_stats = *stats;
    }
    // When the totals are erased from the store (privacy erasure), the next build starts from zero
    // instead of writing the old totals back.
    m_erasedWatch = QObject::connect(&m_defaults, &UserDefaults::valueChanged, [this](const QString& key) {
        if (key != userDefaultsKey || m_defaults.contains(key))
            return;
        std::lock_guard lock(m_mutex);
        if (!m_defaults.contains(key))
            m_stats = BuildStats {};
    });
}

BuildTimeTracker::~BuildTimeTracker()
{
    QObject::disconnect(m_erasedWatch);
}

void BuildTimeTracker::recordBuild(double given, bool ollamaLoaded)
{
    // A non-finite duration would make the totals unwritable from then on: the build counts, its time not.
    const double duration = finiteOrZero(given, "build duration");
    std::lock_guard lock(m_mutex);
    m_stats.totalBuilds = saturatingAdd(m_stats.totalBuilds, 1);
    m_stats.totalDuration = saturatingAdd(m_stats.totalDuration, duration);
    if (ollamaLoaded) {
        m_stats.buildsWithOllama = saturatingAdd(m_stats.buildsWithOllama, 1);
        m_stats.durationWithOllama = saturatingAdd(m_stats.durationWithOllama, duration);
    } else {
        m_stats.buildsWithoutOllama = saturatingAdd(m_stats.buildsWithoutOllama, 1);
        m_stats.durationWithoutOllama = saturatingAdd(m_stats.durationWithoutOllama, duration);
    }
    save();
}

BuildTimeTracker::BuildStats BuildTimeTracker::getStats() const
{
    std::lock_guard lock(m_mutex);
    return m_stats;
}

double BuildTimeTracker::correlationFactor() const
{
    std::lock_guard lock(m_mutex);
    const double avgWith = m_stats.buildsWithOllama >= 1
        ? m_stats.durationWithOllama / static_cast<double>(m_stats.buildsWithOllama)
        : 0.0;
    if (m_stats.buildsWithoutOllama < 1)
        return 0.0;
    const double avgWithout = m_stats.durationWithoutOllama / static_cast<double>(m_stats.buildsWithoutOllama);
    if (!(avgWithout > 0.0))
        return 0.0;
    // With no build under a model, avgWith is 0 and the raw factor -100; it clamps to 0.
    const double factor = (avgWith - avgWithout) / avgWithout * 100.0;
    return factor >= 0.0 ? factor : 0.0;
}

void BuildTimeTracker::reset()
{
    std::lock_guard lock(m_mutex);
    m_stats = BuildStats {};
    save();
}

// Called with the mutex held.
void BuildTimeTracker::save()
{
    if (const auto text = jsoncodec::encodeText(m_stats))
        m_defaults.setData(userDefaultsKey, *text);
}

void to_json(Json& j, const BuildTimeTracker::BuildStats& s)
{
    j = Json {{"totalBuilds", s.totalBuilds}, {"totalDuration", s.totalDuration},
        {"buildsWithOllama", s.buildsWithOllama}, {"durationWithOllama", s.durationWithOllama},
        {"buildsWithoutOllama", s.buildsWithoutOllama}, {"durationWithoutOllama", s.durationWithoutOllama}};
}

void from_json(const Json& j, BuildTimeTracker::BuildStats& s)
{
    s.totalBuilds = require<std::int64_t>(j, "totalBuilds");
    s.totalDuration = require<double>(j, "totalDuration");
    s.buildsWithOllama = require<std::int64_t>(j, "buildsWithOllama");
    s.durationWithOllama = require<double>(j, "durationWithOllama");
    s.buildsWithoutOllama = require<std::int64_t>(j, "buildsWithoutOllama");
    s.durationWithoutOllama = require<double>(j, "durationWithoutOllama");
}
