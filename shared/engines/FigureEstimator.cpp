#include "FigureEstimator.h"

#include <algorithm>

FigureEstimator::FigureEstimator()
    : m_random(std::random_device {}())
{
}

double FigureEstimator::uniform(double low, double high)
{
    return std::uniform_real_distribution<double>(low, high)(m_random);
}

QList<double> FigureEstimator::idleCores(int count)
{
    return QList<double>(std::max(count, 0), 0.0);
}

double FigureEstimator::socTemperature()
{
    return 42.0 + uniform(-1.5, 2.5);
}

double FigureEstimator::gpuTemperature(double socTemperature)
{
    return socTemperature * 0.9 + uniform(-1.0, 1.0);
}

double FigureEstimator::ssdTemperature()
{
    return 34.0 + uniform(-0.5, 1.0);
}

double FigureEstimator::cpuFrequencyGHz(double cpuUsage)
{
    return 1.89 + cpuUsage / 100.0 * 1.5;
}

FigureEstimator::Power FigureEstimator::power(double cpuUsage, double gpuUsage)
{
    Power p;
    p.cpu = std::max(cpuUsage * 0.35, 0.5);
    p.gpu = std::max(gpuUsage * 0.45, 0.5);
    p.total = p.cpu + p.gpu;
    return p;
}

FigureEstimator::Accelerators FigureEstimator::accelerators(bool modelsLoaded)
{
    if (modelsLoaded)
        return {uniform(35, 75), 3.5, uniform(25, 65)};
    return {uniform(0.0, 0.5), 0.02, uniform(0.5, 2.5)};
}
