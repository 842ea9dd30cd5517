#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers these pull in.
#ifndef Q_MOC_RUN
#include "ActionRunner.h"
#endif

#include "ui/Palette.h"
#include "views/dashboard/ActionCardView.h"

#include <QList>
#include <QWidget>

#include <vector>

class Clock;
class DashboardViewModel;
class QLabel;
class QVBoxLayout;
class ThemeManager;

// "Recommended Actions": the first two of the cards the corrective-action engine proposes for the
// latest memory sample. The list is rebuilt on each new sample while the section is shown. A card
// keeps its identity (and its view) for as long as the engine proposes the same action, and a card
// the user has acted on stays until it is dismissed, so a rebuild never resets a running action.
class RecommendedActionsSection : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kShownCards = 2;

    RecommendedActionsSection(DashboardViewModel& dashboardVM, ActionRunner runner, ThemeManager& themes, Clock& clock,
        QWidget* parent = nullptr);

    // Asks the engine for a new list for the current memory sample; nothing before the first sample.
    // While one request runs, a newer one waits for it, and a result older than the list shown is dropped.
    void refreshActionCards();

    // The whole list, in order.
    QList<ActionCardView::CardInfo> actionCards() const;
    // The card views shown, top first.
    QList<ActionCardView*> cardViews() const;
    bool showsEmptyText() const;

    static ActionCardView::CardInfo::Urgency urgencyFor(Urgency urgency);

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Entry
    {
        ActionCard card;
        ActionCardView::CardInfo info;
        ActionCardView* view = nullptr;
    };

    void apply(quint64 generation, const std::vector<ActionCard>& cards);
    ActionCardView::CardInfo makeCardInfo(const ActionCard& card);
    QFuture<ActionCardView::Result> executeCard(const ActionCard& card);
    void dismissCard(const Uuid& id);
    void layoutCards();
    void applyTheme();

    DashboardViewModel& m_dashboardVM;
    ActionRunner m_runner;
    ThemeManager& m_themes;
    Clock& m_clock;
    Palette m_palette;
    QVBoxLayout* m_column;
    QLabel* m_heading;
    QLabel* m_empty;
    std::vector<Entry> m_entries;
    quint64 m_requested = 0;
    quint64 m_applied = 0;
    bool m_inFlight = false;
    bool m_pending = false;
};
