#include "NetworkActivityView.h"

#include "PrivacyStyle.h"

#include "core/PoolWork.h"
#include "engines/PublicAddressFetcher.h"
#include "records/PrivacyMetricsEngine.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Fonts.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QUrl>

namespace {

QWidget* targetRow(const QString& symbol, const QString& address, const QString& description, const QString& status,
    ThemedLabel** statusLabel = nullptr)
{
    auto* row = new RoundedBox(Qt::Horizontal, 8, 8, 8);
    row->setFill(ColorRole::shade, 0.02);
    row->box()->addWidget(new SymbolLabel(symbol, ColorRole::blue, 14, 20));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(new ThemedLabel(address, Fonts::monospaced(11, QFont::Bold), ColorRole::text));
    texts->addWidget(new ThemedLabel(description, Fonts::system(10), ColorRole::secondary));
    row->box()->addLayout(texts);
    row->box()->addStretch();
    auto* label = new ThemedLabel(status, Fonts::monospaced(9, QFont::DemiBold), ColorRole::green);
    row->box()->addWidget(label);
    if (statusLabel)
        *statusLabel = label;
    return row;
}

QFont roundedFigure()
{
    return Fonts::system(28, QFont::Bold);
}

} // namespace

NetworkActivityView::NetworkActivityView(const PrivacyServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
{
    auto* layout = fillWithCard(this);
    layout->addWidget(cardTitle(tr("Quorvane Network Activity Monitor")));
    layout->addLayout(buildCounters());

    auto* targets = new QVBoxLayout;
    targets->setSpacing(10);
    targets->addWidget(
        new ThemedLabel(tr("Allowed Connection Targets"), Fonts::system(12, QFont::Bold), ColorRole::text));
    targets->addWidget(targetRow(QStringLiteral("cpu"), QStringLiteral("localhost:11434"),
        tr("Ollama API (Local Inference & Model List)"), tr("Local Network Only"), &m_modelServerStatus));
    targets->addWidget(targetRow(QStringLiteral("brain"), QStringLiteral("localhost:1234"),
        tr("LM Studio API (Local Models)"), tr("Local Network Only")));
    targets->addWidget(buildDiagnostics());
    layout->addLayout(targets);

    layout->addWidget(buildVerification());
    setCounters(0, 0);
}

QLayout* NetworkActivityView::buildCounters()
{
    auto* counters = new QHBoxLayout;
    counters->setSpacing(16);
    auto* callsTile = new RoundedBox(Qt::Vertical, 12, 4, 10);
    callsTile->setFill(ColorRole::shade, 0.03);
    m_calls = new ThemedLabel(QStringLiteral("0"), roundedFigure(), ColorRole::blue);
    callsTile->box()->addWidget(m_calls);
    callsTile->box()->addWidget(
        new ThemedLabel(tr("Total Outbound Calls Today"), Fonts::system(11, QFont::DemiBold), ColorRole::secondary));
    counters->addWidget(callsTile, 1);

    m_airGapTile = new RoundedBox(Qt::Vertical, 12, 4, 10);
    m_airGap = new QWidget;
    auto* airGap = new QVBoxLayout(m_airGap);
    airGap->setContentsMargins(0, 0, 0, 0);
    airGap->setSpacing(4);
    auto* shieldLine = new QHBoxLayout;
    shieldLine->setSpacing(4);
    shieldLine->addWidget(new SymbolLabel(QStringLiteral("checkmark.shield.fill"), ColorRole::green, 16));
    m_airGapLabel = new ThemedLabel(tr("0 External Calls ✓"), Fonts::system(14, QFont::Bold), ColorRole::green);
    shieldLine->addWidget(m_airGapLabel);
    shieldLine->addStretch();
    airGap->addStretch();
    airGap->addLayout(shieldLine);
    airGap->addWidget(
        new ThemedLabel(tr("100% Localhost Air-Gapped"), Fonts::system(11, QFont::DemiBold), ColorRole::secondary));
    m_external = new QWidget;
    auto* external = new QVBoxLayout(m_external);
    external->setContentsMargins(0, 0, 0, 0);
    external->setSpacing(4);
    m_externalCount = new ThemedLabel(QString(), roundedFigure(), ColorRole::orange);
    external->addWidget(m_externalCount);
    external->addWidget(new ThemedLabel(
        tr("Calls to non-local addresses today"), Fonts::system(11, QFont::DemiBold), ColorRole::secondary));
    m_airGapTile->box()->addWidget(m_airGap);
    m_airGapTile->box()->addWidget(m_external);
    counters->addWidget(m_airGapTile, 1);
    return counters;
}

QWidget* NetworkActivityView::buildDiagnostics()
{
    auto* diagnostics = new RoundedBox(Qt::Vertical, 8, 6, 8);
    diagnostics->setFill(ColorRole::shade, 0.02);
    auto* diagLine = new QHBoxLayout;
    diagLine->setSpacing(8);
    diagLine->addWidget(new SymbolLabel(QStringLiteral("globe"), ColorRole::secondary, 14, 20));
    auto* diagTexts = new QVBoxLayout;
    diagTexts->setSpacing(2);
    diagTexts->addWidget(
        new ThemedLabel(tr("Public Address Lookup (Network Tab)"), Fonts::system(11, QFont::Bold), ColorRole::text));
    auto* when = new ThemedLabel(tr("%1 · only while the Network view is open, at most every %2 minutes")
                                     .arg(publicAddressHost())
                                     .arg(PublicAddressFetcher::refreshInterval.count()),
        Fonts::system(10), ColorRole::secondary);
    when->setWordWrap(true);
    diagTexts->addWidget(when);
    diagLine->addLayout(diagTexts, 1);
    diagLine->addStretch();
    m_expander = linkButton(tr("What does it send? →"), Fonts::system(10, QFont::DemiBold));
    connect(m_expander, &QAbstractButton::clicked, this, &NetworkActivityView::toggleDetails);
    diagLine->addWidget(m_expander);
    diagnostics->box()->addLayout(diagLine);
    m_details = new RoundedBox(Qt::Vertical, 8, 0, 6);
    m_details->setFill(ColorRole::shade, 0.04);
    auto* detailText = new ThemedLabel(tr("The echo service sees only the request itself and your public address. "
                                          "No personal data, process names or code contents are sent."),
        Fonts::system(10), ColorRole::secondary);
    detailText->setWordWrap(true);
    m_details->box()->addWidget(detailText);
    m_details->hide();
    diagnostics->box()->addWidget(m_details);
    return diagnostics;
}

QWidget* NetworkActivityView::buildVerification()
{
    auto* verify = new RoundedBox(Qt::Vertical, 12, 8, 10);
    verify->setFill(ColorRole::shade, 0.03);
    verify->box()->addWidget(
        new ThemedLabel(tr("Verify this yourself"), Fonts::system(12, QFont::Bold), ColorRole::text));
    auto* explain = new ThemedLabel(tr("To independently verify Quorvane's network behavior using standard Linux "
                                       "tools, run this command in a terminal:"),
        Fonts::system(11), ColorRole::secondary);
    explain->setWordWrap(true);
    verify->box()->addWidget(explain);
    auto* commandLine = new RoundedBox(Qt::Horizontal, 8, 8, 6);
    commandLine->setFill(ColorRole::black, 0.4);
    commandLine->box()->addWidget(new ThemedLabel(verifyCommand, Fonts::monospaced(10, QFont::Bold), ColorRole::cyan));
    commandLine->box()->addStretch();
    commandLine->box()->addWidget(commandCopyButton([] { return verifyCommand; }, m_services));
    verify->box()->addWidget(commandLine);
    verify->box()->addWidget(
        new ThemedLabel(tr("Or inspect with OpenSnitch or Wireshark."), Fonts::system(10), ColorRole::secondary));
    return verify;
}

void NetworkActivityView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    PrivacyMetricsEngine* engine = m_services.engine;
    struct Loaded
    {
        int callsToday = 0;
        int nonLocalCalls = 0;
        bool modelServerActive = false;
    };
    runOnPool(
        m_services.pool, this,
        [engine] {
            return Loaded {engine->last24HourCallCount(), engine->outboundNonLocalCallCount(),
                engine->modelServerAnswered().value_or(false)};
        },
        [this](const Loaded& loaded) {
            setCounters(loaded.callsToday, loaded.nonLocalCalls);
            setModelServerActive(loaded.modelServerActive);
            emit countersLoaded();
        });
}

QString NetworkActivityView::publicAddressHost()
{
    return QUrl(QString::fromLatin1(PublicAddressFetcher::defaultServiceUrl)).host();
}

void NetworkActivityView::setModelServerActive(bool active)
{
    // Only a server that answered the last request is called active; nothing is probed for it.
    m_modelServerActive = active;
    m_modelServerStatus->setText(active ? tr("Active · Local Network Only") : tr("Local Network Only"));
}

QString NetworkActivityView::modelServerStatusText() const
{
    return m_modelServerStatus->text();
}

void NetworkActivityView::setCounters(int callsToday, int nonLocalCalls)
{
    m_callsToday = callsToday;
    m_nonLocalCalls = nonLocalCalls;
    const QLocale locale;
    m_calls->setText(locale.toString(callsToday));
    m_externalCount->setText(locale.toString(nonLocalCalls));
    m_airGap->setVisible(nonLocalCalls == 0);
    m_external->setVisible(nonLocalCalls != 0);
    m_airGapTile->setFill(nonLocalCalls == 0 ? ColorRole::green : ColorRole::orange, 0.05);
}

bool NetworkActivityView::isAirGapShown() const
{
    return !m_airGap->isHidden();
}

QString NetworkActivityView::airGapText() const
{
    return isAirGapShown() ? m_airGapLabel->text() : m_externalCount->text();
}

bool NetworkActivityView::isDetailsExpanded() const
{
    return !m_details->isHidden();
}

void NetworkActivityView::toggleDetails()
{
    const bool expand = m_details->isHidden();
    m_details->setVisible(expand);
    m_expander->setLabel(expand ? tr("Hide details") : tr("What does it send? →"));
}
