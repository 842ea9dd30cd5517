#pragma once

#include "EngineLoop.h"
#include "PowerMetrics.h"
#include "QVThermalState.h"

#include "platform/thermal/ThermalZones.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <variant>

struct ThermalEngineError
{
    std::string domain;
    int code = 0;
    std::string localizedDescription;
};

// Follows the machine's thermal state. Linux sends no notification when a thermal zone crosses a trip
// point, so monitoring polls the zones and calls the handler (on its own thread) only when the level
// changes; nothing is delivered when monitoring starts.
class ThermalEngine
{
public:
    using UpdateHandler = std::function<void(const QVThermalState&)>;

    static constexpr std::chrono::seconds defaultPollInterval {5};

    explicit ThermalEngine(std::string sysRoot = "/sys", std::chrono::milliseconds pollInterval = defaultPollInterval);
    ~ThermalEngine();

    void registerOnUpdate(UpdateHandler handler);
    QVThermalState currentState() const;
    void startMonitoring();
    void stopMonitoring();
    bool isMonitoring() const;
    // Power readings come only from the privileged helper; this always fails with code 403.
    std::variant<PowerMetrics, ThermalEngineError> powerMetrics() const;

    // The worst level over all zones, each judged against its own trip points:
    //   critical    at or above its lowest critical or hot trip
    //   throttling  at or above its lowest passive trip (where the kernel starts to throttle), or
    //               without one, within throttleMarginWithoutPassive of the critical trip
    //   warm        within warmMargin below that throttling point
    //   balanced    otherwise
    // and unknown when no zone has a critical, hot or passive trip (or the machine has no zones): a
    // temperature without a limit to measure it against is no evidence of any level.
    static constexpr double throttleMarginWithoutPassive = 10.0;
    static constexpr double warmMargin = 15.0;
    static QVThermalState::Level levelForZones(const std::vector<platform::ThermalZone>& zones);

private:
    platform::ThermalZones m_zones;
    const std::chrono::milliseconds m_pollInterval;
    mutable std::mutex m_mutex;
    UpdateHandler m_onUpdate;
    EngineLoop m_loop; // last: the loop ends before the state it uses goes away
};
