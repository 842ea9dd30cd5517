#include "PersonaTally.h"

#include <algorithm>
#include <cmath>
#include <utility>

PersonaTally::PersonaTally(SavedYouMetrics metrics)
    : m_metrics(std::move(metrics))
{
}

void PersonaTally::resetMetrics()
{
    m_metrics = SavedYouMetrics::fresh();
}

void PersonaTally::activated(
    AutoPersona persona, const std::string& trigger, Date at, std::int64_t suspended, double gigabytesFreed)
{
    m_history.push_back({persona, trigger, at, std::nullopt, suspended});
    if (persona == AutoPersona::compileMode)
        m_buildSeen = false;
    m_metrics.totalGBFreed += gigabytesFreed;
    m_metrics.autonomousActionsCount += suspended;
}

void PersonaTally::suspendedOne(bool forTheBuild)
{
    m_metrics.autonomousActionsCount += 1;
    if (forTheBuild)
        m_buildProtected = true;
}

bool PersonaTally::deactivated(AutoPersona persona, Date at)
{
    const auto open = std::find_if(m_history.rbegin(), m_history.rend(),
        [&](const PersonaEvent& e) { return e.persona == persona && !e.deactivated; });
    if (open == m_history.rend())
        return false;
    open->deactivated = at;
    return open->processesAffected > 0;
}

bool PersonaTally::buildDetected() const
{
    const auto newest = std::find_if(m_history.rbegin(), m_history.rend(),
        [](const PersonaEvent& e) { return e.persona == AutoPersona::compileMode; });
    return newest != m_history.rend() && (m_buildSeen || newest->trigger != PersonaEvent::manualOverrideTrigger);
}

std::optional<PersonaTally::BuildSaving> PersonaTally::endBuild(Date at)
{
    const bool counted = std::exchange(m_buildProtected, false) && buildDetected();
    m_buildSeen = false;
    if (!counted)
        return std::nullopt;
    m_metrics.buildsProtected += 1;
    const auto newest = std::find_if(m_history.rbegin(), m_history.rend(),
        [](const PersonaEvent& e) { return e.persona == AutoPersona::compileMode; });
    const double duration = at.timeIntervalSince(newest->activated);
    BuildSaving saving;
    saving.seconds = std::max<std::int64_t>(static_cast<std::int64_t>(std::trunc(duration * 0.5)), 5);
    saving.hours = duration / 3600.0 * 0.5;
    m_metrics.totalHoursSaved += saving.hours;
    return saving;
}
