#pragma once

#include <QList>

#include <random>

// The numbers the dashboard model publishes for figures the machine gives no source for: fallback ranges
// for missing sensors and estimates derived from other figures. The model flags every one of them as not
// measured, so no view presents them as readings.
class FigureEstimator
{
public:
    struct Power
    {
        double cpu = 0;
        double gpu = 0;
        double total = 0;
    };
    struct Accelerators
    {
        double aneUsage = 0;
        double anePowerDraw = 0;
        double gpuUsage = 0;
    };

    FigureEstimator();

    // Neutral idle cores until the per-CPU counters give a load.
    static QList<double> idleCores(int count);
    double socTemperature();
    double gpuTemperature(double socTemperature);
    double ssdTemperature();
    static double cpuFrequencyGHz(double cpuUsage);
    static Power power(double cpuUsage, double gpuUsage);
    Accelerators accelerators(bool modelsLoaded);

private:
    double uniform(double low, double high);

    std::mt19937 m_random;
};
