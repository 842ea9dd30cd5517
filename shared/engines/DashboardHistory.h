#pragma once

#include "SystemMemoryState.h"

#include "core/Date.h"

#include <QList>
#include <QString>

#include <optional>

// The dashboard's last minute: the CPU load and the memory shares, one entry a tick, oldest first, and the
// CSV file the history page exports of it.
struct DashboardHistory
{
    static constexpr int kLength = 60;

    QList<double> cpu = QList<double>(kLength, 0.0);
    QList<double> memory = QList<double>(kLength, 0.0); // programs and models, % of the memory
    QList<double> aiMemory = QList<double>(kLength, 0.0); // models, % of the memory
    QList<bool> cpuMeasured = QList<bool>(kLength, false); // per entry of cpu: a reading stands behind it

    // The history one tick on: each list drops its oldest entry and takes this tick's.
    DashboardHistory next(
        double cpuUsage, bool cpuIsMeasured, const std::optional<SystemMemoryState>& memoryState) const;

    // The CPU history with every entry no reading stands behind as NaN, which the charts leave undrawn.
    QList<double> measuredCpu() const;

    // Writes the CPU history to Quorvane_History_<unix time>.csv in the temporary folder, atomically.
    // The file's path, or nothing when the write failed.
    std::optional<QString> exportCSV() const;
    // The same text written to `path`, atomically: the path, or nothing when the write failed.
    std::optional<QString> exportCSV(const QString& path) const;
    // "Quorvane_History_" + the time in seconds since 1970 + ".csv".
    static QString fileName(Date now);
};
