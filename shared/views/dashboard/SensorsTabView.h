#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "engines/RunningProcess.h"
#endif

#include <QList>
#include <QWidget>

#include <optional>
#include <vector>

class ActionTipsView;
class DashboardViewModel;
class ProcessRow;
class SensorCircle;
class SensorRow;
class SparklineView;
class ToneSymbol;
class ToneLabel;

// The live sensor page: chip temperature, load circles and sensor lines with a thermal status line on
// the left; the CPU history, the six busiest processes and two tips on the right. A figure the machine
// gives no source for shows "—"; the tips promise suspending only where the helper acts for this copy.
class SensorsTabView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kProcessRows = 6;
    static constexpr double kWarningTemperature = 80.0;

    // What the page shows; an absent figure was not measured.
    struct Figures
    {
        std::optional<double> socTemperature;
        std::optional<double> cpuUsage;
        std::optional<double> aneUsage;
        std::optional<double> pClusterUsage;
        std::optional<double> eClusterUsage;
        std::optional<double> powerDraw;
        QList<double> cpuHistory;
        std::vector<RunningProcess> topProcesses;

        static Figures of(const DashboardViewModel& stats);
    };

    explicit SensorsTabView(DashboardViewModel& stats, bool canPause = true, QWidget* parent = nullptr);

    void showFigures(const Figures& figures);
    // Whether processes can be suspended (the helper acts for this copy); the tips follow.
    void setCanPause(bool canPause);

    // Texts as shown now, for the accessibility tree and tests.
    QString socText() const;
    QStringList circleValues() const;
    QStringList rowValues() const;
    QString thermalText() const;
    QStringList processNames() const;
    QStringList tipTexts() const;

    static QString efficiencyText(std::optional<double> cpuUsage, std::optional<double> powerDraw);

private:
    // The SoC card, the circles, the sensor rows and the thermal note.
    QWidget* buildSensors();
    // The CPU history, the top processes and the tips.
    QWidget* buildProcesses();

    DashboardViewModel& m_stats;
    ToneLabel* m_socValue = nullptr;
    QList<SensorCircle*> m_circles;
    QList<SensorRow*> m_rows;
    ToneLabel* m_thermal = nullptr;
    SparklineView* m_sparkline = nullptr;
    QList<ProcessRow*> m_processes;
    ActionTipsView* m_tips = nullptr;
};
