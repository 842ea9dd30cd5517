#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "engines/RunningProcess.h"
#endif
#include "ui/Palette.h"

#include <QList>
#include <QWidget>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class AppDirectory;
class DashboardViewModel;
class PersonaViewModel;
class QLabel;
class SymbolButton;
class ThemeManager;

// "PROCESSES": the busiest processes by CPU share, four at most, each with its application's icon
// where it belongs to an installed application, then every frozen process that is not among them,
// and every process whose freeze was just refused, until its reason has been read. Rows are reused
// on each tick; while the pointer is over the list each row keeps its process and only its figures
// change, so that nothing moves under a click.
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

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Row;
    struct Refusal
    {
        QString why;
        std::string name;
    };
    Row* addRow();
    // A press on a row's control chooses the process the row shows then; the click acts on that one.
    void choose(Row& row);
    void act(Row& row);
    void noteRefusal(std::int32_t pid, const std::string& name, const QString& why);
    void stopHolding();
    // The processes to show, top to bottom.
    std::vector<RunningProcess> listed() const;
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
    std::map<std::int32_t, Refusal> m_refusals; // by pid
    std::vector<RunningProcess> m_shown; // what the rows show, top to bottom
    bool m_holding = false; // the pointer is over the list: each row keeps its process
    int m_figureWidth = 0;
};
