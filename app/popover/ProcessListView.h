#pragma once

#include "ui/Palette.h"

#include <QHash>
#include <QList>
#include <QWidget>

#include <cstdint>

class AppDirectory;
class DashboardViewModel;
class PersonaViewModel;
class QLabel;
struct RunningProcess;
class SymbolButton;
class ThemeManager;

// "PROCESSES": the busiest processes by CPU share, four at most, each with its application's icon
// where it belongs to an installed application, then every frozen process that is not among them.
// Rows are reused on each tick.
class ProcessListView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxRows = 4;
    // How long a row says why its freeze was refused.
    static constexpr int kRefusalMs = 6000;
    // The freeze / resume control's side: a target a pointer can hit.
    static constexpr int kToggleSide = 24;

    // With a persona view model each row's snowflake freezes its process and a frozen row resumes it.
    ProcessListView(DashboardViewModel& dashboardVM, AppDirectory* apps, ThemeManager& themes,
        PersonaViewModel* personaVM = nullptr, QWidget* parent = nullptr);

    int rowCount() const;
    bool showsEmptyText() const;
    // Name and CPU text of row `index`.
    QStringList rowTexts(int index) const;
    // Whether row `index` draws an application icon (else the cpu symbol).
    bool rowHasAppIcon(int index) const;
    // Row `index`'s freeze or resume control.
    SymbolButton* rowToggle(int index) const;
    // The line under row `index` saying why its freeze was refused, or why its process has not
    // resumed yet; empty when there is none.
    QString rowNote(int index) const;

private:
    class Row;
    Row* addRow();
    void toggle(const Row& row);
    void refresh();
    void showProcess(Row& row, const RunningProcess& process);
    // Widens the figure column of every row when `text` needs more room; it never narrows, so the
    // controls beside it stay put as the figures change.
    void fitFigure(const QString& text);
    void applyTheme();

    DashboardViewModel& m_dashboardVM;
    AppDirectory* m_apps;
    PersonaViewModel* m_personaVM;
    Palette m_palette;
    QLabel* m_title;
    QLabel* m_empty;
    QList<Row*> m_rows;
    QHash<std::int32_t, QString> m_refusals; // by pid
    int m_figureWidth = 0;
};
