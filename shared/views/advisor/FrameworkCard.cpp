#include "FrameworkCard.h"

#include "AdvisorStyle.h"
#include "AdvisorTexts.h"
#include "CommandBox.h"
#include "RankedCardHeader.h"
#include "ui/RoundedFill.h"

#include <QBoxLayout>
#include <QFrame>
#include <QLabel>

using AdvisorStyle::TextStyle;

namespace {

QFrame* line(const Palette& palette)
{
    auto* rule = new QFrame;
    rule->setFixedHeight(1);
    rule->setAutoFillBackground(true);
    QPalette pal = rule->palette();
    pal.setColor(QPalette::Window, palette.divider);
    rule->setPalette(pal);
    return rule;
}

} // namespace

FrameworkCard::FrameworkCard(
    const FrameworkRecommendation& recommendation, Desktop& desktop, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_recommendation(recommendation)
    , m_palette(Palette::current())
{
    auto* frame = new RoundedFill(m_palette.card, 10);
    frame->setStroke(withOpacity(m_palette.secondaryText, 0.1));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_header = new RankedCardHeader(recommendation.rank, QString::fromStdString(rawValue(recommendation.framework)),
        QString::fromStdString(recommendation.badge.value_or(std::string())), AdvisorTexts::setupLine(recommendation));
    connect(m_header, &RankedCardHeader::toggled, this, &FrameworkCard::toggleExpanded);
    column->addWidget(m_header);
    m_details = buildDetails(desktop, clock);
    m_details->setVisible(false);
    column->addWidget(m_details);
}

void FrameworkCard::toggleExpanded()
{
    m_expanded = !m_expanded;
    m_details->setVisible(m_expanded);
    m_header->setExpanded(m_expanded);
}

QWidget* FrameworkCard::bulletColumn(
    const QString& heading, const QColor& color, const std::vector<std::string>& lines) const
{
    auto* holder = new QWidget;
    auto* column = new QVBoxLayout(holder);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    column->addWidget(AdvisorStyle::label(heading, TextStyle::caption, color, QFont::Bold));
    for (const auto& text : lines) {
        column->addWidget(AdvisorStyle::wrappedLabel(
            QStringLiteral("\u2022 ") + QString::fromStdString(text), TextStyle::caption, m_palette.secondaryText));
    }
    column->addStretch(1);
    return holder;
}

QWidget* FrameworkCard::buildDetails(Desktop& desktop, Clock& clock)
{
    const auto& r = m_recommendation;
    auto* details = new QWidget;
    auto* outer = new QVBoxLayout(details);
    outer->setContentsMargins(14, 0, 14, 14);
    outer->setSpacing(0);
    outer->addWidget(line(m_palette));

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 10, 0, 0);
    column->setSpacing(10);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(20);
    columns->addWidget(bulletColumn(tr("Pros"), m_palette.green, r.pros), 1);
    columns->addWidget(bulletColumn(tr("Cons"), m_palette.red, r.cons), 1);
    column->addLayout(columns);
    column->addWidget(line(m_palette));

    auto* instructions = new QVBoxLayout;
    instructions->setSpacing(4);
    instructions->addWidget(
        AdvisorStyle::label(tr("Instructions"), TextStyle::caption, m_palette.secondaryText, QFont::Bold));
    instructions->addWidget(AdvisorStyle::wrappedLabel(
        QString::fromStdString(r.installInstructions), TextStyle::caption, m_palette.secondaryText));
    column->addLayout(instructions);

    if (!r.installCommand.empty()) {
        m_commandBox = new CommandBox(AdvisorTexts::commandOffer(QString::fromStdString(r.installCommand),
                                          QString::fromStdString(r.officialWebsite)),
            desktop, clock);
        column->addWidget(m_commandBox);
    }
    outer->addLayout(column);
    return details;
}
