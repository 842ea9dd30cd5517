#include "LiveHelperActivityView.h"

#include "AuditEventText.h"
#include "FullAuditLogSheet.h"
#include "PrivacyStyle.h"

#include "core/PoolWork.h"
#include "records/HelperService.h"
#include "ui/Clock.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/Layouts.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QPointer>

#include <algorithm>

namespace {

QDateTime toDateTime(Date date)
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(date.timeIntervalSince1970() * 1000.0));
}

} // namespace

LiveHelperActivityView::LiveHelperActivityView(const PrivacyServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    auto* layout = fillWithCard(this, 14);

    auto* header = new QHBoxLayout;
    header->addWidget(cardTitle(tr("Live Helper Activity Timeline")));
    header->addStretch();
    auto* full = linkButton(tr("View full audit log"), Fonts::system(11, QFont::DemiBold));
    connect(full, &QAbstractButton::clicked, this, &LiveHelperActivityView::openFullAuditLog);
    header->addWidget(full);
    header->addWidget(new SymbolLabel(QStringLiteral("arrow.right"), ColorRole::blue, 11));
    layout->addLayout(header);

    m_empty = new RoundedBox(Qt::Vertical, 20, 8, 10);
    m_empty->setFill(ColorRole::shade, 0.02);
    m_empty->box()->addWidget(
        new SymbolLabel(QStringLiteral("clock.badge.checkmark"), ColorRole::secondary, 24), 0, Qt::AlignHCenter);
    m_empty->box()->addWidget(
        new ThemedLabel(tr("No privileged actions taken yet."), Fonts::system(12, QFont::Medium), ColorRole::text), 0,
        Qt::AlignHCenter);
    auto* hint = new ThemedLabel(tr("Actions will appear here in real time as Quorvane asks its helper to act."),
        Fonts::system(11), ColorRole::secondary);
    hint->setWordWrap(true);
    hint->setAlignment(Qt::AlignCenter);
    m_empty->box()->addWidget(hint);
    layout->addWidget(m_empty);

    m_rows = new QWidget;
    m_rowLayout = new QVBoxLayout(m_rows);
    m_rowLayout->setContentsMargins(0, 0, 0, 0);
    m_rowLayout->setSpacing(8);
    layout->addWidget(m_rows);

    m_status = new QWidget;
    auto* statusLayout = new QHBoxLayout(m_status);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(4);
    m_statusDot = new SymbolLabel(QStringLiteral("circle.fill"), ColorRole::green, 6);
    m_statusLabel = new ThemedLabel(QString(), Fonts::system(10, QFont::DemiBold), ColorRole::green);
    statusLayout->addWidget(m_statusDot);
    statusLayout->addWidget(m_statusLabel);
    statusLayout->addStretch();
    m_status->hide();
    layout->addWidget(m_status);
    refreshRows();
}

LiveHelperActivityView::~LiveHelperActivityView() = default;

QString LiveHelperActivityView::relativeTime(const QDateTime& now, const QDateTime& timestamp)
{
    const qint64 elapsed = (now.toMSecsSinceEpoch() - timestamp.toMSecsSinceEpoch()) / 1000;
    if (elapsed < 60)
        return tr("Just now");
    if (elapsed < 3600)
        return QString::number(elapsed / 60) + tr("m ago");
    if (elapsed < 86400)
        return QString::number(elapsed / 3600) + tr("h ago");
    return QLocale().toString(timestamp.toLocalTime().date(), QLocale::ShortFormat);
}

void LiveHelperActivityView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    PrivacyMetricsEngine* engine = m_services.engine;
    std::shared_ptr<HelperService> helper = m_services.helper;
    m_recentEvents = engine->recentHelperActions();
    if (m_recentEvents.size() > kMaxEvents)
        m_recentEvents.resize(kMaxEvents);
    refreshRows();
    // The engine calls back on the recording thread; the event comes home while this view lives. The stream
    // ends as the view hides.
    m_stream = engine->helperActivityStream(
        [guard = QPointer<QObject>(this), this](const AuditEvent& e) { deliverHome(guard, [this, e] { insert(e); }); });
    runOnPool(
        m_services.pool, this, [engine, helper] { return helper ? helper->status() : engine->helperStatus(); },
        [this](const PrivacyMetricsEngine::HelperStatus& status) {
            setHelperStatus(status);
            emit loaded();
        });
    ++m_showing;
    scheduleAgeRefresh();
}

void LiveHelperActivityView::hideEvent(QHideEvent* event)
{
    m_stream.reset();
    ++m_showing;
    QWidget::hideEvent(event);
}

void LiveHelperActivityView::scheduleAgeRefresh()
{
    m_services.clock->singleShot(kAgeRefreshMs, this, [this, showing = m_showing] {
        if (showing != m_showing)
            return;
        refreshAges();
        scheduleAgeRefresh();
    });
}

void LiveHelperActivityView::refreshAges()
{
    const QDateTime now = m_services.clock->now();
    const auto labels = m_rows->findChildren<ThemedLabel*>(QStringLiteral("time"));
    for (int i = 0; i < labels.size() && std::size_t(i) < m_recentEvents.size(); ++i)
        labels[i]->setText(relativeTime(now, toDateTime(m_recentEvents[std::size_t(i)].timestamp)));
}

void LiveHelperActivityView::insert(const AuditEvent& event)
{
    if (std::any_of(m_recentEvents.begin(), m_recentEvents.end(), [&](const auto& e) { return e.id == event.id; }))
        return;
    m_recentEvents.insert(m_recentEvents.begin(), event);
    if (m_recentEvents.size() > kMaxEvents)
        m_recentEvents.resize(kMaxEvents);
    refreshRows();
}

void LiveHelperActivityView::refreshRows()
{
    Layouts::clear(m_rowLayout);
    const QDateTime now = m_services.clock->now();
    const int shown = std::min<int>(kRowsShown, static_cast<int>(m_recentEvents.size()));
    for (int i = 0; i < shown; ++i) {
        const auto& e = m_recentEvents[std::size_t(i)];
        auto* row = new RoundedBox(Qt::Horizontal, 0, 6, 6);
        row->box()->setContentsMargins(10, 6, 10, 6);
        row->setFill(ColorRole::shade, 0.03);
        auto* time = new ThemedLabel(
            relativeTime(now, toDateTime(e.timestamp)), Fonts::monospaced(10, QFont::DemiBold), ColorRole::secondary);
        time->setFixedWidth(70);
        time->setObjectName(QStringLiteral("time"));
        // One line, cut with "…" where too long; the whole action in its tool tip.
        auto* action = new ElidedLabel(AuditEventText::action(e));
        action->setFont(Fonts::monospaced(11, QFont::Medium));
        action->setThemeColor(roleColor(ColorRole::text));
        action->setObjectName(QStringLiteral("action"));
        row->box()->addWidget(time);
        row->box()->addWidget(action, 1);
        row->box()->addWidget(
            new SymbolLabel(e.success ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("xmark.circle.fill"),
                e.success ? ColorRole::green : ColorRole::red, 12));
        m_rowLayout->addWidget(row);
    }
    m_empty->setVisible(m_recentEvents.empty());
    m_rows->setVisible(!m_recentEvents.empty());
}

QStringList LiveHelperActivityView::rowTimes() const
{
    QStringList out;
    for (auto* label : m_rows->findChildren<ThemedLabel*>(QStringLiteral("time")))
        out << label->text();
    return out;
}

QStringList LiveHelperActivityView::rowActions() const
{
    QStringList out;
    for (auto* label : m_rows->findChildren<ElidedLabel*>(QStringLiteral("action")))
        out << label->text();
    return out;
}

void LiveHelperActivityView::setHelperStatus(const PrivacyMetricsEngine::HelperStatus& status)
{
    ColorRole role = ColorRole::orange;
    QString text;
    if (!status.isInstalled) {
        text = tr("Helper not installed ⚠");
    } else if (!status.isConnected) {
        text = tr("Helper installed, not connected ⚠");
    } else {
        role = ColorRole::green;
        text = tr("Helper v") + QString::fromStdString(status.version.value_or("1.0.2")) + tr(" · Connected ✓");
    }
    m_statusDot->setSymbol(QStringLiteral("circle.fill"), role);
    m_statusLabel->setRole(role);
    m_statusLabel->setText(text);
    m_status->show();
}

QString LiveHelperActivityView::statusText() const
{
    return m_status->isHidden() ? QString() : m_statusLabel->text();
}

bool LiveHelperActivityView::isEmptyStateShown() const
{
    return !m_empty->isHidden();
}

void LiveHelperActivityView::openFullAuditLog()
{
    auto* sheet = new FullAuditLogSheet(m_services, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}
