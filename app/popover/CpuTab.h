#pragma once

#include "ui/Palette.h"

#include <QList>
#include <QWidget>

class AppDirectory;
class ColorDot;
class CoreRingGrid;
class DashboardViewModel;
class LargeRingGauge;
class PersonaViewModel;
class ProcessListView;
class QLabel;
class SparklineView;
class ThemeManager;

// The popover's default tab: the CPU section (clock and temperature, history, user and system share,
// core rings, cluster load), the GPU section (frame rate, four gauges) and the process list. Every
// figure is updated in place on each tick.
class CpuTab : public QWidget
{
    Q_OBJECT
public:
    CpuTab(DashboardViewModel& dashboardVM, ThemeManager& themes, AppDirectory* apps = nullptr,
        PersonaViewModel* personaVM = nullptr, QWidget* parent = nullptr);

    QString headerText() const;
    QString fpsText() const;
    // "User", "System", "Efficiency Cores", "Performance Cores" values as shown.
    QStringList shareTexts() const;
    CoreRingGrid* coreGrid() const { return m_cores; }
    const QList<LargeRingGauge*>& gauges() const { return m_gauges; }
    ProcessListView* processList() const { return m_processes; }

private:
    struct ValueRow
    {
        ColorDot* dot;
        QLabel* label;
        QLabel* value;
    };
    QWidget* cpuSection();
    QWidget* gpuSection();
    ValueRow valueRow(QWidget* parent, QLayout* into, const QString& label, bool spacerInside);
    void refresh();
    void applyTheme();

    DashboardViewModel& m_dashboardVM;
    Palette m_palette;
    QLabel* m_cpuLabel;
    QLabel* m_header;
    SparklineView* m_history;
    QWidget* m_historyFrame;
    QList<ValueRow> m_rows; // user, system, efficiency, performance
    CoreRingGrid* m_cores;
    QLabel* m_gpuLabel;
    QLabel* m_fps;
    QList<LargeRingGauge*> m_gauges;
    ProcessListView* m_processes;
};
