#include "CpuFigures.h"

#include "engines/DashboardViewModel.h"
#include "ui/NumberText.h"

#include <algorithm>
#include <cmath>

using NumberText::dash;
using NumberText::numberText;

namespace {

std::optional<double> when(bool measured, double value)
{
    return measured ? std::optional<double>(value) : std::nullopt;
}

QString percent(double value)
{
    return numberText("%.0f%%", value);
}

double clamped(double value, double low, double high)
{
    return std::isfinite(value) ? std::clamp(value, low, high) : 0.0;
}

} // namespace

QString CpuFigures::headerText(std::optional<double> frequencyGHz, std::optional<double> temperature)
{
    const QString frequency = frequencyGHz ? numberText("%.2f", *frequencyGHz) : dash;
    const QString degrees = temperature ? NumberText::wholeText(*temperature) : dash;
    return frequency + QStringLiteral(" GHz, ") + degrees + QStringLiteral("°");
}

CpuFigures::Gauge CpuFigures::gpuGauge(std::optional<double> gpuUsage)
{
    if (!gpuUsage || !std::isfinite(*gpuUsage))
        return {dash, std::nullopt};
    const double v = std::max(*gpuUsage, 1.0);
    return {percent(v), v / 100};
}

CpuFigures::Gauge CpuFigures::aiMemoryGauge(std::optional<double> aiModelsGB, double totalGB)
{
    if (!aiModelsGB || !(totalGB > 0))
        return {dash, std::nullopt};
    const double v = *aiModelsGB / totalGB * 100;
    return {percent(v), clamped(v / 100, 0, 1)};
}

CpuFigures::Gauge CpuFigures::temperatureGauge(std::optional<double> celsius)
{
    if (!celsius || !(*celsius > 0))
        return {dash, std::nullopt};
    return {numberText("%.0f°C", *celsius), clamped(*celsius / 100, 0.1, 1.0)};
}

CpuFigures::Gauge CpuFigures::powerGauge(std::optional<double> watts)
{
    if (!watts || !(*watts > 0))
        return {dash, std::nullopt};
    return {numberText("%.1fW", *watts), clamped(*watts / 30, 0.08, 1.0)};
}

CpuFigures CpuFigures::from(const DashboardViewModel& m)
{
    // A figure the last tick had no source for shows the dash (the model keeps its stand-in number).
    const MeasuredFigures& measured = m.measured();
    const bool cpuMeasured = measured.cpuUsage;
    const bool frequencyMeasured = measured.cpuFrequency;
    const bool temperatureMeasured = measured.socTemperature;
    const bool gpuMeasured = measured.gpuUsage;
    const bool powerMeasured = measured.powerDraw;
    const bool fpsMeasured = measured.displayFPS;
    CpuFigures f;
    f.header = headerText(when(frequencyMeasured, m.cpuFrequencyGHz()), when(temperatureMeasured, m.socTemperature()));
    f.user = cpuMeasured ? percent(m.userCpuPercent()) : dash;
    f.system = cpuMeasured ? percent(m.systemCpuPercent()) : dash;
    f.efficiency = measured.efficiencyCluster ? percent(m.eClusterUsage()) : dash;
    f.performance = measured.performanceCluster ? percent(m.pClusterUsage()) : dash;
    f.fps = (fpsMeasured ? QString::number(m.displayFPS()) : dash) + QStringLiteral(" FPS");
    if (measured.perCoreUsage && !m.perCoreUsage().isEmpty())
        f.cores = m.perCoreUsage();
    f.gpu = gpuGauge(when(gpuMeasured, m.gpuUsage()));
    const auto& memory = m.memoryState();
    f.aiMemory
        = memory && measured.memory ? aiMemoryGauge(memory->aiModelsGB, memory->totalGB) : Gauge {dash, std::nullopt};
    f.temperature = temperatureGauge(when(temperatureMeasured, m.socTemperature()));
    f.power = powerGauge(when(powerMeasured, m.powerDraw()));
    return f;
}
