#pragma once

#include "DashboardFigures.h"
#include "DashboardSampler.h"
#include "FigureEstimator.h"

#include <optional>

// Turns one tick's sample into the figures the dashboard model publishes, starting from the figures of the
// tick before (a figure the sample has no new reading for keeps its value). Keeps what spans ticks: the
// last network totals, which the rates are taken from, and the estimator of figures without a source.
class DashboardFigureReader
{
public:
    // The CPU's efficiency and performance core counts, and whether the machine names efficiency cores.
    void setCoreCounts(int efficiencyCores, int performanceCores, bool hasEfficiencyCores);

    // `processesPaused`: the process lists keep what they show, whatever the sample read.
    DashboardFigures read(DashboardFigures figures, const DashboardSample& sample, bool processesPaused);

private:
    void readCpu(DashboardFigures& figures, const DashboardSample& sample) const;
    void readTemperatures(DashboardFigures& figures, const DashboardSample& sample);
    static void readPower(DashboardFigures& figures, const DashboardSample& sample);
    static void readBattery(DashboardFigures& figures, const DashboardSample& sample);
    void readNetworkRates(DashboardFigures& figures, const DashboardSample& sample);
    static void readDisk(DashboardFigures& figures, const DashboardSample& sample);
    void readEstimates(DashboardFigures& figures, const DashboardSample& sample);

    int m_eCoreCount = 0;
    int m_pCoreCount = 0;
    bool m_hasEfficiencyCores = false;
    std::optional<platform::ByteTotals> m_lastNetworkStats;
    FigureEstimator m_estimator;
};
