#include "RecommendationCardView.h"

#include "AdvisorStyle.h"
#include "AdvisorTexts.h"
#include "CommandBox.h"
#include "RankedCardHeader.h"
#include "ui/RoundedFill.h"

#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Fonts.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>

using AdvisorStyle::TextStyle;

namespace {

QWidget* divider(const Palette& palette)
{
    auto* holder = new QWidget;
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(14, 0, 14, 0);
    auto* line = new QFrame;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, palette.divider);
    line->setPalette(pal);
    row->addWidget(line);
    return holder;
}

QLabel* smallHeading(const QString& text, const Palette& palette)
{
    auto* heading = new QLabel(text.toUpper());
    heading->setFont(Fonts::system(9));
    AdvisorStyle::setLabelColor(heading, palette.secondaryText);
    return heading;
}

} // namespace

RecommendationCardView::RecommendationCardView(const ModelRecommendation& recommendation, QWidget* parent)
    : RecommendationCardView(recommendation, Desktop::system(), Clock::system(), parent)
{
}

RecommendationCardView::RecommendationCardView(
    const ModelRecommendation& recommendation, Desktop& desktop, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_recommendation(recommendation)
    , m_palette(Palette::current())
{
    const auto& r = m_recommendation;
    m_frame = new RoundedFill(m_palette.card, 10);
    m_frame->setStroke(borderColor());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_frame);

    auto* column = new QVBoxLayout(m_frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_header = new RankedCardHeader(r.rank, QString::fromStdString(r.model.displayName),
        r.badge ? rawText(*r.badge) : QString(), QString::fromStdString(r.performanceSummary()));
    connect(m_header, &RankedCardHeader::toggled, this, &RecommendationCardView::toggleExpanded);
    column->addWidget(m_header);

    m_details = new QWidget;
    auto* details = new QVBoxLayout(m_details);
    details->setContentsMargins(0, 0, 0, 0);
    details->setSpacing(0);
    const auto addSection = [&](const QString& name, QWidget* section) {
        details->addWidget(divider(m_palette));
        details->addWidget(section);
        m_sections << name;
    };
    addSection(QStringLiteral("reasons"), reasonsSection());
    if (!r.tradeoffs.empty())
        addSection(QStringLiteral("tradeoffs"), tradeoffsSection());
    if (r.warning)
        addSection(QStringLiteral("warning"), warningSection());
    addSection(QStringLiteral("install"), installSection(desktop, clock));
    m_details->setVisible(false);
    column->addWidget(m_details);
}

QColor RecommendationCardView::borderColor() const
{
    return m_recommendation.rank == 1 ? withOpacity(m_palette.blue, 0.3) : withOpacity(m_palette.secondaryText, 0.1);
}

void RecommendationCardView::setExpanded(bool expanded)
{
    m_expanded = expanded;
    m_details->setVisible(expanded);
    m_header->setExpanded(expanded);
}

QWidget* RecommendationCardView::reasonsSection() const
{
    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(14, 10, 14, 10);
    column->setSpacing(6);
    for (const auto& point : m_recommendation.reasoning) {
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        row->addWidget(AdvisorStyle::symbolLabel(
            QString::fromStdString(point.icon), 11, point.isPositive ? m_palette.green : m_palette.orange, 16));
        row->addWidget(
            AdvisorStyle::wrappedLabel(QString::fromStdString(point.text), TextStyle::caption, m_palette.secondaryText),
            1);
        column->addLayout(row);
    }
    return section;
}

QWidget* RecommendationCardView::tradeoffsSection() const
{
    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(14, 8, 14, 8);
    column->setSpacing(4);
    column->addWidget(smallHeading(tr("Trade-offs"), m_palette));
    for (const auto& tradeoff : m_recommendation.tradeoffs) {
        const bool significant = tradeoff.severity == ModelRecommendation::Tradeoff::Severity::significant;
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(AdvisorStyle::symbolLabel(QString::fromStdString(tradeoff.severityIcon()), 10,
            significant ? m_palette.orange : m_palette.secondaryText, 12));
        row->addWidget(AdvisorStyle::wrappedLabel(
                           QString::fromStdString(tradeoff.description), TextStyle::caption, m_palette.secondaryText),
            1);
        column->addLayout(row);
    }
    return section;
}

QWidget* RecommendationCardView::warningSection() const
{
    auto* section = new QWidget;
    auto* row = new QHBoxLayout(section);
    row->setContentsMargins(14, 8, 14, 8);
    row->setSpacing(8);
    row->addWidget(AdvisorStyle::symbolLabel(QStringLiteral("info.circle"), 11, m_palette.blue), 0, Qt::AlignTop);
    row->addWidget(AdvisorStyle::wrappedLabel(
                       QString::fromStdString(*m_recommendation.warning), TextStyle::caption, m_palette.secondaryText),
        1);
    return section;
}

QWidget* RecommendationCardView::installSection(Desktop& desktop, Clock& clock)
{
    auto* section = new QWidget;
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(14, 0, 14, 14);
    column->setSpacing(6);
    column->addWidget(smallHeading(tr("Install"), m_palette));
    m_commandBox = new CommandBox(
        AdvisorTexts::commandOffer(QString::fromStdString(m_recommendation.installCommand)), desktop, clock);
    column->addWidget(m_commandBox);
    return section;
}
