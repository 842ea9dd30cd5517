#pragma once

#include <QWidget>

class Clock;
class DashboardViewModel;
class Desktop;
class Dialogs;
class QPushButton;
class ToneLabel;

// The recorded-history page: the current time and CPU load, and a button that asks where to save the CPU
// history as a CSV file (in the Documents folder unless the user picks another), writes it there, says
// where it went and shows it selected in the file manager.
class HistoryTabView : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryTabView(DashboardViewModel& stats, QWidget* parent = nullptr);
    HistoryTabView(DashboardViewModel& stats, Desktop& desktop, Clock& clock, QWidget* parent = nullptr);
    HistoryTabView(
        DashboardViewModel& stats, Desktop& desktop, Clock& clock, Dialogs& dialogs, QWidget* parent = nullptr);

    bool isExporting() const { return m_isExporting; }
    QPushButton* exportButton() const { return m_export; }
    QString subtitleText() const;
    QString timeText() const;
    QString cpuText() const;
    // Where the last report went, or why it could not be written; empty before the first export.
    QString statusText() const;
    // The folder the save dialog starts in: Documents when it exists, else the home folder.
    static QString exportFolder();

    // Asks where to save, writes the file there and reveals it; a cancelled dialog writes nothing.
    void exportReport();

private:
    void refresh();
    void setExporting(bool exporting);
    void writeReport(const QString& path);
    // Shows the written file in the file manager; says so where none answers.
    void reveal(const QString& file, const QString& shown);

    DashboardViewModel& m_stats;
    Desktop& m_desktop;
    Clock& m_clock;
    Dialogs& m_dialogs;
    bool m_isExporting = false;
    int m_reports = 0; // reports written, so that only the latest one's reveal speaks
    ToneLabel* m_subtitle = nullptr;
    ToneLabel* m_time = nullptr;
    ToneLabel* m_cpu = nullptr;
    QPushButton* m_export = nullptr;
    ToneLabel* m_status = nullptr;
};
