#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "engines/RunningProcess.h"
#endif

#include <QList>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class DashboardViewModel;
class PressureBar;
class QLayout;
class ProcessRow;
class ToneLabel;
struct SystemMemoryState;

// The memory page: three memory tiles (program, wired and compressed memory as the kernel counts them),
// the pressure bar and the five processes holding the most memory. A tile the machine gives no figure
// for (before the first sample; compressed memory without zswap or zram) shows "—", and before the first
// sample the pressure panel shows only its title.
class MemoryTabView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kProcessRows = 5;

    explicit MemoryTabView(DashboardViewModel& stats, QWidget* parent = nullptr);

    // View state of the page; nothing reads or changes them yet.
    bool isAnalyzing() const { return m_isAnalyzing; }
    bool analysisSuccess() const { return m_analysisSuccess; }

    // Used plus models over the total, in percent, with a total of 1 GB or less counted as 1 GB and the
    // result capped at 100; nothing for a figure that is not finite.
    static std::optional<double> pressurePercent(const SystemMemoryState& state);
    // The processes in descending order of memory, at most five.
    static std::vector<RunningProcess> memoryIntensive(const std::vector<RunningProcess>& processes);
    // "640 MB" below a gigabyte, "10.0 GB" from there on.
    static QString memoryText(std::int64_t megabytes);

    QStringList tileValues() const;
    bool isPressureShown() const;
    double pressureFraction() const;
    QColor pressureColor() const;
    QString pressureText() const;
    QString pressureTotalsText() const;
    QStringList processNames() const;
    QStringList processValues() const;

private:
    // The three memory tiles, the pressure section and the process section, parented to `content`.
    QLayout* buildTiles(QWidget* content);
    QWidget* buildPressure(QWidget* content);
    QWidget* buildProcesses(QWidget* content);
    void refresh();

    DashboardViewModel& m_stats;
    bool m_isAnalyzing = false;
    bool m_analysisSuccess = false;
    QList<ToneLabel*> m_tiles;
    QWidget* m_pressureBody = nullptr;
    PressureBar* m_bar = nullptr;
    ToneLabel* m_pressurePercent = nullptr;
    ToneLabel* m_pressureTotals = nullptr;
    QList<ProcessRow*> m_processes;
};
