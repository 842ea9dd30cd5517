#include "GranularClearView.h"

#include "InventoryRefresh.h"
#include "PrivacyPageState.h"
#include "PrivacyStyle.h"

#include "core/HomeRelativePath.h"
#include "core/PoolWork.h"
#include "ui/Clock.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"

#include <QHBoxLayout>
#include <QPointer>

#include <algorithm>

namespace {

// The status lines of an erasure: what went and what could not.
PrivacyPageState::Erasure outcomeOf(
    const std::set<GranularClearView::Type>& asked, const std::vector<GranularClearView::Type>& failed, bool everything)
{
    std::vector<GranularClearView::Type> done;
    for (const auto type : asked) {
        if (std::find(failed.begin(), failed.end(), type) == failed.end())
            done.push_back(type);
    }
    PrivacyPageState::Erasure outcome;
    if (everything && failed.empty())
        outcome.cleared = GranularClearView::tr("All Quorvane data successfully cleared.");
    else if (!done.empty())
        outcome.cleared = GranularClearView::tr("Cleared: ") + GranularClearView::joinedLabels(done);
    if (!failed.empty())
        outcome.failed = GranularClearView::tr("Could not clear: ") + GranularClearView::joinedLabels(failed);
    return outcome;
}

} // namespace

GranularClearView::GranularClearView(const PrivacyServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_state(services.pageState ? services.pageState : new PrivacyPageState(this))
    , m_refresh(new InventoryRefresh(services, this, [this](const PrivacyMetricsEngine::DataInventory& inventory) {
        m_inventory = inventory;
        refreshRows();
        emit inventoryLoaded();
    }))
{
    auto* layout = fillWithCard(this);
    layout->addWidget(cardTitle(tr("Granular Data Erasure")));

    auto* list = new QVBoxLayout;
    list->setSpacing(10);
    for (const Type type : allCases<Type>()) {
        Row row {type, new RoundedBox(Qt::Vertical, 8, 4, 6), nullptr, nullptr, nullptr};
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        row.check = privacyButton(QString(), QStringLiteral("square"), Fonts::system(14));
        row.check->setPadding(0, 0);
        row.check->setAccessibleName(labelOf(type));
        connect(row.check, &QAbstractButton::clicked, this, [this, type] { toggle(type); });
        line->addWidget(row.check);
        line->addWidget(new ThemedLabel(labelOf(type), Fonts::system(12, QFont::Bold), ColorRole::text));
        line->addStretch();
        row.amount = new ThemedLabel(QString(), Fonts::monospaced(10), ColorRole::secondary);
        line->addWidget(row.amount);
        row.box->box()->addLayout(line);
        const auto warning = PrivacyMetricsEngine::warningMessage(type);
        row.warning = new ThemedLabel(
            QStringLiteral("⚠ ") + QString::fromStdString(warning.value_or("")), Fonts::system(10), ColorRole::orange);
        row.warning->setWordWrap(true);
        row.warning->setContentsMargins(22, 0, 0, 0);
        row.warning->hide();
        row.box->box()->addWidget(row.warning);
        list->addWidget(row.box);
        m_rows.push_back(row);
    }
    layout->addLayout(list);

    const auto statusLine = [](ColorRole role, const QString& symbol, ThemedLabel*& label) {
        auto* box = new RoundedBox(Qt::Horizontal, 10, 6, 8);
        box->setFill(role, 0.1);
        box->box()->addWidget(new SymbolLabel(symbol, role, 13));
        label = new ThemedLabel(QString(), Fonts::system(11, QFont::DemiBold), role);
        label->setWordWrap(true);
        box->box()->addWidget(label, 1);
        box->hide();
        return box;
    };
    m_status = statusLine(ColorRole::green, QStringLiteral("checkmark.circle.fill"), m_statusLabel);
    m_failure = statusLine(ColorRole::red, QStringLiteral("xmark.circle.fill"), m_failureLabel);
    layout->addWidget(m_status);
    layout->addWidget(m_failure);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(12);
    m_clearSelected = privacyButton(tr("Clear Selected"), QString(), Fonts::system(11, QFont::Bold));
    connect(m_clearSelected, &QAbstractButton::clicked, this, &GranularClearView::requestClearSelected);
    auto* everything = privacyButton(tr("Clear Everything"), QString(), Fonts::system(11, QFont::Bold));
    everything->setColors(roleColor(ColorRole::red), roleColor(ColorRole::red, 0.15));
    connect(everything, &QAbstractButton::clicked, this, &GranularClearView::requestClearEverything);
    actions->addWidget(m_clearSelected);
    actions->addStretch();
    actions->addWidget(everything);
    layout->addLayout(actions);
    connect(m_state, &PrivacyPageState::erased, this, &GranularClearView::takeErasure);
    connect(m_state, &PrivacyPageState::erasureChanged, this, &GranularClearView::showStatusLines);
    refreshRows();
    showStatusLines();
}

void GranularClearView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_refresh->shown();
}

void GranularClearView::hideEvent(QHideEvent* event)
{
    m_refresh->hidden();
    QWidget::hideEvent(event);
}

void GranularClearView::toggle(Type type)
{
    if (!m_selected.erase(type))
        m_selected.insert(type);
    refreshRows();
}

QString GranularClearView::amountText(Type type) const
{
    if (!m_inventory)
        return {};
    const auto& i = *m_inventory;
    switch (type) {
    case Type::auditLog:
        return QStringLiteral("%1 entries (%2)").arg(i.auditLogEntries).arg(NumberText::byteText(i.auditLogSizeBytes));
    case Type::memoryHistory:
        return (i.memoryHistoryDays == 1 ? QStringLiteral("%1 day (%2)") : QStringLiteral("%1 days (%2)"))
            .arg(i.memoryHistoryDays)
            .arg(NumberText::byteText(i.memoryHistorySizeBytes));
    case Type::buildHistory:
        return QStringLiteral("%1 sessions (%2)")
            .arg(i.buildHistorySessions)
            .arg(NumberText::byteText(i.buildHistorySizeBytes));
    case Type::weeklyDigests:
        return QStringLiteral("%1 weeks (%2)")
            .arg(i.weeklyDigestCount)
            .arg(NumberText::byteText(i.weeklyDigestSizeBytes));
    case Type::savedYouMetrics:
        return tr("Lifetime counters");
    case Type::settings:
        return QStringLiteral("App preferences (%1)").arg(NumberText::byteText(i.settingsSizeBytes));
    }
    return {};
}

bool GranularClearView::isWarningShown(Type type) const
{
    for (const auto& row : m_rows) {
        if (row.type == type)
            return !row.warning->isHidden();
    }
    return false;
}

QString GranularClearView::clearSelectedLabel() const
{
    return m_selected.empty() ? tr("Clear Selected") : QStringLiteral("Clear %1 items").arg(m_selected.size());
}

bool GranularClearView::canClearSelected() const
{
    return !m_selected.empty();
}

QString GranularClearView::statusText() const
{
    return m_status->isHidden() ? QString() : m_statusLabel->text();
}

QString GranularClearView::failureText() const
{
    return m_failure->isHidden() ? QString() : m_failureLabel->text();
}

void GranularClearView::refreshRows()
{
    for (auto& row : m_rows) {
        const bool ticked = m_selected.count(row.type) > 0;
        row.box->setFill(ticked ? ColorRole::blue : ColorRole::shade, ticked ? 0.08 : 0.02);
        row.check->setLabel(QString(), ticked ? QStringLiteral("checkmark.square.fill") : QStringLiteral("square"));
        row.check->setColors(
            roleColor(ticked ? ColorRole::blue : ColorRole::secondary), roleColor(ColorRole::shade, 0));
        row.amount->setText(amountText(row.type));
        row.warning->setVisible(ticked && PrivacyMetricsEngine::warningMessage(row.type).has_value());
    }
    m_clearSelected->setLabel(clearSelectedLabel());
    m_clearSelected->setEnabled(canClearSelected());
    if (canClearSelected())
        m_clearSelected->setColors(roleColor(ColorRole::text), roleColor(ColorRole::blue));
    else
        m_clearSelected->setColors(roleColor(ColorRole::secondary), roleColor(ColorRole::secondary, 0.2));
}

QString GranularClearView::clearEverythingMessage(const QString& dataDirectory)
{
    // The helper's own log is root's; only purging the package takes it away.
    return tr("This removes all audit logs in %1, assistance history, build history, weekly digests, and lifetime "
              "metrics, and resets all settings to their defaults. The helper's audit log "
              "(/var/log/quorvane/audit.log) belongs to root and stays until the package is purged "
              "(sudo apt purge quorvane-pro).")
        .arg(homeRelativePath(dataDirectory));
}

QString GranularClearView::labelOf(Type type)
{
    // The category erases the assistance history (assistance_history.json), and is named for it.
    if (type == Type::memoryHistory)
        return tr("Assistance History");
    return QString::fromStdString(std::string(rawValue(type)));
}

QString GranularClearView::joinedLabels(const std::vector<Type>& types)
{
    QStringList names;
    for (const auto type : types)
        names << labelOf(type);
    return names.join(QStringLiteral(", "));
}

void GranularClearView::requestClearSelected()
{
    if (m_selected.empty())
        return;
    const Dialogs::Confirmation question {tr("Clear Selected Items?"),
        tr("This will permanently remove the selected data categories from this computer."),
        QStringLiteral("Clear %1 Items").arg(m_selected.size()), true};
    m_services.dialogs->confirm(this, question, [guard = QPointer<GranularClearView>(this)](bool yes) {
        if (guard && yes)
            guard->clear(guard->m_selected, false);
    });
}

void GranularClearView::requestClearEverything()
{
    const Dialogs::Confirmation question {
        tr("Clear all Quorvane data?"), clearEverythingMessage(m_services.dataDirectory), tr("Clear Everything"), true};
    m_services.dialogs->confirm(this, question, [guard = QPointer<GranularClearView>(this)](bool yes) {
        if (guard && yes) {
            const auto every = allCases<Type>();
            guard->clear(std::set<Type>(every.begin(), every.end()), true);
        }
    });
}

void GranularClearView::clear(const std::set<Type>& types, bool everything)
{
    PrivacyMetricsEngine* engine = m_services.engine;
    Clock* clock = m_services.clock;
    PrivacyPageState* state = m_state;
    // Erasing the settings may rebuild the whole page (the theme falls back): the outcome goes to the
    // page state, which outlives this card.
    runOnPool(
        m_services.pool, state,
        [engine, types, everything] {
            const auto failed = engine->clearData(types);
            PrivacyPageState::Erasure outcome = outcomeOf(types, failed, everything);
            outcome.inventory = engine->calculateDataInventory();
            return outcome;
        },
        [state, clock](const PrivacyPageState::Erasure& outcome) {
            state->finishErasure(outcome);
            clock->singleShot(kStatusMs, state, [state] { state->hideErasureLines(); });
        });
}

void GranularClearView::takeErasure()
{
    m_selected.clear();
    if (const auto& measured = m_state->erasure().inventory) {
        m_refresh->took(*measured);
        m_inventory = measured;
    }
    refreshRows();
    emit cleared();
}

void GranularClearView::showStatusLines()
{
    const auto& erasure = m_state->erasure();
    m_statusLabel->setText(erasure.cleared);
    m_status->setVisible(!erasure.cleared.isEmpty());
    m_failureLabel->setText(erasure.failed);
    m_failure->setVisible(!erasure.failed.isEmpty());
}
