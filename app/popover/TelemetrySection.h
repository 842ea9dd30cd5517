#pragma once

#include "ui/Palette.h"

#include <QWidget>

class DashboardViewModel;
class QLabel;
class SparklineView;
class ThemeManager;

// "Real-time Telemetry": CPU, RAM and AI memory as three small live charts with their current
// percentages, side by side.
class TelemetrySection : public QWidget
{
    Q_OBJECT
public:
    TelemetrySection(DashboardViewModel& dashboardVM, ThemeManager& themes, QWidget* parent = nullptr);

    // The value texts as shown ("42%"; empty for RAM and AI VRAM before the first memory sample).
    QString cpuText() const;
    QString ramText() const;
    QString aiText() const;

    // Whole percentages of a memory snapshot: RAM in use and the share held by models.
    static QString percentText(double percent);

private:
    struct Block
    {
        QLabel* caption;
        QLabel* value;
        SparklineView* chart;
        QWidget* frame;
    };
    Block makeBlock(const QString& caption);
    void refresh();
    void applyTheme();

    DashboardViewModel& m_dashboardVM;
    Palette m_palette;
    QLabel* m_heading;
    Block m_cpu;
    Block m_ram;
    Block m_ai;
};
