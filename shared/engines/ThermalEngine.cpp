#include "ThermalEngine.h"

#include <algorithm>
#include <limits>

namespace {

using Level = QVThermalState::Level;

// No reading ranks below every reading, so any zone that can be judged decides.
int severity(Level level)
{
    switch (level) {
    case Level::unknown:
        return -1;
    case Level::balanced:
        return 0;
    case Level::warm:
        return 1;
    case Level::throttling:
        return 2;
    case Level::critical:
        return 3;
    }
    return 0;
}

// Unknown for a zone without a critical, hot or passive trip: its temperature alone says nothing about
// how near the machine is to throttling.
Level levelForZone(const platform::ThermalZone& zone)
{
    constexpr double none = std::numeric_limits<double>::infinity();
    double critical = none;
    double passive = none;
    for (const auto& trip : zone.trips) {
        if (trip.type == "critical" || trip.type == "hot")
            critical = std::min(critical, trip.celsius);
        else if (trip.type == "passive")
            passive = std::min(passive, trip.celsius);
    }
    double throttle = passive;
    if (throttle == none && critical != none)
        throttle = critical - ThermalEngine::throttleMarginWithoutPassive;
    if (throttle == none)
        return Level::unknown;

    if (zone.celsius >= critical)
        return Level::critical;
    if (zone.celsius >= throttle)
        return Level::throttling;
    if (zone.celsius >= throttle - ThermalEngine::warmMargin)
        return Level::warm;
    return Level::balanced;
}

} // namespace

QVThermalState QVThermalState::fromProcessInfo()
{
    return forLevel(ThermalEngine::levelForZones(platform::ThermalZones().read()));
}

ThermalEngine::ThermalEngine(std::string sysRoot, std::chrono::milliseconds pollInterval)
    : m_zones(std::move(sysRoot))
    , m_pollInterval(pollInterval)
{
}

ThermalEngine::~ThermalEngine()
{
    m_loop.stop();
}

QVThermalState::Level ThermalEngine::levelForZones(const std::vector<platform::ThermalZone>& zones)
{
    Level worst = Level::unknown;
    for (const auto& zone : zones) {
        const Level level = levelForZone(zone);
        if (severity(level) > severity(worst))
            worst = level;
    }
    return worst;
}

void ThermalEngine::registerOnUpdate(UpdateHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_onUpdate = std::move(handler);
}

QVThermalState ThermalEngine::currentState() const
{
    return QVThermalState::forLevel(levelForZones(m_zones.read()));
}

void ThermalEngine::startMonitoring()
{
    m_loop.start([this](std::stop_token stop) {
        QVThermalState last = currentState();
        while (EngineLoop::sleepFor(stop, m_pollInterval)) {
            const QVThermalState state = currentState();
            if (state == last)
                continue;
            last = state;
            UpdateHandler handler;
            {
                std::lock_guard lock(m_mutex);
                handler = m_onUpdate;
            }
            if (handler && !stop.stop_requested())
                handler(state);
        }
    });
}

void ThermalEngine::stopMonitoring()
{
    m_loop.stop();
}

bool ThermalEngine::isMonitoring() const
{
    return m_loop.isRunning();
}

std::variant<PowerMetrics, ThermalEngineError> ThermalEngine::powerMetrics() const
{
    return ThermalEngineError {
        "QVErrorDomain", 403, "Power metrics are only available in Quorvane-Pro via XPC helper."};
}
