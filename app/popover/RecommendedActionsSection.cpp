#include "RecommendedActionsSection.h"

#include "PopoverStyle.h"

#include "core/PoolWork.h"
#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/Fonts.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPromise>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

namespace {

// The actions running now, in every popover of the program: a destructive action is never started
// twice while its first run is still going. GUI thread only.
std::vector<ActionType>& runningActions()
{
    static std::vector<ActionType> running;
    return running;
}

ActionCardView::Result resultOf(QFuture<ActionResult> future)
{
    try {
        future.waitForFinished(); // rethrows what the work threw
        if (future.isCanceled() || future.resultCount() == 0)
            return {false, RecommendedActionsSection::tr("The action was cancelled.")};
        const ActionResult r = future.result();
        return {r.success, QString::fromStdString(r.message)};
    } catch (const std::exception& e) {
        return {false, QString::fromUtf8(e.what())};
    } catch (...) {
        return {false, RecommendedActionsSection::tr("The action failed.")};
    }
}

} // namespace

RecommendedActionsSection::RecommendedActionsSection(
    DashboardViewModel& dashboardVM, ActionRunner runner, ThemeManager& themes, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_runner(std::move(runner))
    , m_themes(themes)
    , m_clock(clock)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(6);
    m_heading = PopoverStyle::label(tr("Recommended Actions"), Fonts::system(11, QFont::Bold), this);
    m_empty = PopoverStyle::label(tr("No recommendations. Everything is optimal."), Fonts::system(10), this);
    m_empty->setContentsMargins(0, 4, 0, 4);
    m_column->addWidget(m_heading);
    m_column->addWidget(m_empty);
    connect(&m_dashboardVM, &DashboardViewModel::memoryStateChanged, this, [this] {
        if (isVisible())
            refreshActionCards();
    });
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        applyTheme();
    });
    applyTheme();
}

ActionCardView::CardInfo::Urgency RecommendedActionsSection::urgencyFor(Urgency urgency)
{
    switch (urgency) {
    case Urgency::warning:
        return ActionCardView::CardInfo::Urgency::warning;
    case Urgency::critical:
        return ActionCardView::CardInfo::Urgency::critical;
    case Urgency::info:
        break;
    }
    return ActionCardView::CardInfo::Urgency::info;
}

QList<ActionCardView::CardInfo> RecommendedActionsSection::actionCards() const
{
    QList<ActionCardView::CardInfo> cards;
    for (const Entry& e : m_entries)
        cards << e.info;
    return cards;
}

QList<ActionCardView*> RecommendedActionsSection::cardViews() const
{
    QList<ActionCardView*> views;
    for (std::size_t i = 0; i < m_entries.size() && i < std::size_t(kShownCards); ++i)
        views << m_entries[i].view;
    return views;
}

bool RecommendedActionsSection::showsEmptyText() const
{
    return !m_empty->isHidden();
}

void RecommendedActionsSection::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshActionCards();
}

void RecommendedActionsSection::refreshActionCards()
{
    const auto& memoryState = m_dashboardVM.memoryState();
    if (!memoryState || !m_runner)
        return;
    if (m_inFlight) {
        // One request at a time: the newest sample is asked for once this one is back.
        m_pending = true;
        return;
    }
    m_inFlight = true;
    m_pending = false;
    const quint64 generation = ++m_requested;
    whenFinished(m_runner.generate(*memoryState, m_dashboardVM.loadedModels()), this,
        [this, generation](const QFuture<std::vector<ActionCard>>& future) {
            m_inFlight = false;
            try {
                if (!future.isCanceled() && future.resultCount() > 0)
                    apply(generation, future.result());
            } catch (...) {
                // The engine's errors never reach the user; the list shown stays.
            }
            if (m_pending)
                refreshActionCards();
        });
}

void RecommendedActionsSection::apply(quint64 generation, const std::vector<ActionCard>& cards)
{
    if (generation <= m_applied)
        return;
    m_applied = generation;
    std::vector<Entry> old = std::move(m_entries);
    m_entries.clear();
    // Cards the user has acted on (running, done, failed) keep their place until they are dismissed.
    std::vector<std::pair<std::size_t, Entry>> pinned;
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (old[i].view && old[i].view->state() != ActionCardView::State::ready) {
            pinned.emplace_back(i, std::move(old[i]));
            old[i] = Entry {};
        }
    }
    auto pinnedFor = [&](const ActionType& action) {
        return std::any_of(pinned.begin(), pinned.end(), [&](const auto& p) { return p.second.card.action == action; });
    };
    std::vector<bool> taken(old.size(), false);
    for (const ActionCard& card : cards) {
        if (pinnedFor(card.action))
            continue;
        Entry entry;
        entry.card = card;
        // The same action keeps its card (and its view): identity is the action, not the engine's id.
        for (std::size_t i = 0; i < old.size(); ++i) {
            if (taken[i] || old[i].card.action != card.action || old[i].card.id.isNull())
                continue;
            taken[i] = true;
            entry.card.id = old[i].card.id;
            entry.view = std::exchange(old[i].view, nullptr);
            break;
        }
        entry.info = makeCardInfo(entry.card);
        if (entry.view)
            entry.view->setContent(entry.info);
        m_entries.push_back(std::move(entry));
    }
    for (auto& [index, entry] : pinned)
        m_entries.insert(m_entries.begin() + std::min(index, m_entries.size()), std::move(entry));
    for (Entry& e : old) {
        if (e.view)
            e.view->deleteLater();
    }
    layoutCards();
}

ActionCardView::CardInfo RecommendedActionsSection::makeCardInfo(const ActionCard& card)
{
    ActionCardView::CardInfo info;
    info.id = card.id;
    info.title = QString::fromStdString(card.title);
    info.description = QString::fromStdString(card.description);
    info.estimatedImpact = QString::fromStdString(card.estimatedImpact);
    info.urgency = urgencyFor(card.urgency);
    info.unavailable = QString::fromStdString(card.unavailableReason.value_or(std::string()));
    QPointer<RecommendedActionsSection> self(this);
    info.onExecute = [self, card]() -> QFuture<ActionCardView::Result> {
        if (!self)
            return QtFuture::makeReadyFuture(ActionCardView::Result {false, tr("The popover has closed.")});
        return self->executeCard(card);
    };
    const Uuid id = card.id;
    info.onDismiss = [self, id] {
        if (self)
            self->dismissCard(id);
    };
    return info;
}

QFuture<ActionCardView::Result> RecommendedActionsSection::executeCard(const ActionCard& card)
{
    auto& running = runningActions();
    if (std::find(running.begin(), running.end(), card.action) != running.end())
        return QtFuture::makeReadyFuture(ActionCardView::Result {false, tr("This action is already running.")});
    QFuture<ActionResult> work;
    try {
        work = m_runner.execute(card.action);
    } catch (const std::exception& e) {
        return QtFuture::makeReadyFuture(ActionCardView::Result {false, QString::fromUtf8(e.what())});
    }
    running.push_back(card.action);
    // The bookkeeping lives on the application, not on this view: the action is released and the
    // dashboard refreshed even when the popover has gone in the meantime.
    auto promise = std::make_shared<QPromise<ActionCardView::Result>>();
    QFuture<ActionCardView::Result> outcome = promise->future();
    promise->start();
    QPointer<DashboardViewModel> dashboard(&m_dashboardVM);
    whenFinished(work, QCoreApplication::instance(),
        [promise, dashboard, action = card.action](const QFuture<ActionResult>& finished) {
            auto& running = runningActions();
            running.erase(std::remove(running.begin(), running.end(), action), running.end());
            if (dashboard)
                dashboard->updateAll();
            promise->addResult(resultOf(finished));
            promise->finish();
        });
    return outcome;
}

void RecommendedActionsSection::dismissCard(const Uuid& id)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.card.id == id; });
    if (it == m_entries.end())
        return; // already replaced or dismissed
    if (it->view)
        it->view->deleteLater(); // the dismissal may come from the view's own button
    m_entries.erase(it);
    layoutCards();
}

void RecommendedActionsSection::layoutCards()
{
    int shown = 0;
    for (Entry& e : m_entries) {
        if (shown < kShownCards) {
            if (!e.view)
                e.view = new ActionCardView(e.info, m_themes, m_clock, this);
            // After the heading, in list order.
            m_column->removeWidget(e.view);
            m_column->insertWidget(1 + shown, e.view);
            e.view->show();
            ++shown;
        } else if (e.view) {
            e.view->hide();
        }
    }
    m_empty->setVisible(m_entries.empty());
}

void RecommendedActionsSection::applyTheme()
{
    PopoverStyle::setLabelColor(m_heading, m_palette.secondaryText);
    PopoverStyle::setLabelColor(m_empty, m_palette.secondaryText);
}
