#pragma once

#include <QList>
#include <QString>

#include <optional>

class DashboardViewModel;

// What the CPU tab shows, read from the dashboard model in one place. A figure the machine gave no
// source for shows the dash, and its gauge draws no arc; nothing is made up.
struct CpuFigures
{
    struct Gauge
    {
        QString text;
        std::optional<double> fraction; // before the gauge's own 0.05 minimum; none without a figure
    };

    QString header; // "2.40 GHz, 47°"
    QString user; // "7%"
    QString system;
    QString efficiency;
    QString performance;
    QString fps; // "60 FPS"
    // Busy fraction per core; nothing before the first sample (the grid shows empty rings).
    std::optional<QList<double>> cores;
    Gauge gpu;
    Gauge aiMemory;
    Gauge temperature;
    Gauge power;

    static CpuFigures from(const DashboardViewModel& model);

    // The parts, each given whether its figure was measured.
    static QString headerText(std::optional<double> frequencyGHz, std::optional<double> temperature);
    static Gauge gpuGauge(std::optional<double> gpuUsage);
    static Gauge aiMemoryGauge(std::optional<double> aiModelsGB, double totalGB);
    static Gauge temperatureGauge(std::optional<double> celsius);
    static Gauge powerGauge(std::optional<double> watts);
};
