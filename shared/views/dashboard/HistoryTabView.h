#pragma once

#include <QWidget>

class Clock;
class DashboardViewModel;
class Desktop;
class QPushButton;
class ToneLabel;

// The recorded-history page: the current time and CPU load, and a button that writes the CPU history
// to a CSV file and shows it selected in the file manager.
class HistoryTabView : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryTabView(DashboardViewModel& stats, QWidget* parent = nullptr);
    HistoryTabView(DashboardViewModel& stats, Desktop& desktop, Clock& clock, QWidget* parent = nullptr);

    bool isExporting() const { return m_isExporting; }
    QPushButton* exportButton() const { return m_export; }
    QString timeText() const;
    QString cpuText() const;

    // Writes the file and reveals it; does nothing further when the write failed.
    void exportReport();

private:
    void refresh();
    void setExporting(bool exporting);

    DashboardViewModel& m_stats;
    Desktop& m_desktop;
    Clock& m_clock;
    bool m_isExporting = false;
    ToneLabel* m_time = nullptr;
    ToneLabel* m_cpu = nullptr;
    QPushButton* m_export = nullptr;
};
