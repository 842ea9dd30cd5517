#include "FrameworkAdvisorView.h"

#include "AdvisorStyle.h"
#include "FrameworkCard.h"

#include <QBoxLayout>
#include <QLabel>
#include <QScrollArea>

using AdvisorStyle::TextStyle;

FrameworkAdvisorView::FrameworkAdvisorView(
    const std::vector<FrameworkRecommendation>& recommendations, Desktop& desktop, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_desktop(desktop)
    , m_clock(clock)
{
    const Palette palette = Palette::current();
    AdvisorStyle::fillBackground(this, palette);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 16, 20, 20);
    column->setSpacing(16);
    column->addWidget(AdvisorStyle::label(tr("Local Inference Runtimes"), TextStyle::headline, palette.text));
    m_empty = AdvisorStyle::wrappedLabel(tr("No recommendations available. Please complete the questionnaire first."),
        TextStyle::subheadline, palette.secondaryText);
    column->addWidget(m_empty);
    m_list = new QVBoxLayout;
    m_list->setSpacing(16);
    column->addLayout(m_list);
    column->addStretch(1);

    auto* scroll = AdvisorStyle::scrollArea(content, palette);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    setRecommendations(recommendations);
}

void FrameworkAdvisorView::setRecommendations(const std::vector<FrameworkRecommendation>& recommendations)
{
    // A card whose recommendation is still listed is kept, with its open and copied state.
    QList<FrameworkCard*> old = m_cards;
    m_cards.clear();
    while (QLayoutItem* item = m_list->takeAt(0))
        delete item;
    for (const auto& recommendation : recommendations) {
        const auto found = std::find_if(old.begin(), old.end(),
            [&recommendation](FrameworkCard* card) { return card->recommendation().id == recommendation.id; });
        FrameworkCard* card = nullptr;
        if (found != old.end()) {
            card = *found;
            old.erase(found);
        } else {
            card = new FrameworkCard(recommendation, m_desktop, m_clock);
        }
        m_list->addWidget(card);
        m_cards << card;
    }
    qDeleteAll(old);
    m_empty->setVisible(recommendations.empty());
}

bool FrameworkAdvisorView::isEmptyPromptShown() const
{
    return !m_empty->isHidden();
}
