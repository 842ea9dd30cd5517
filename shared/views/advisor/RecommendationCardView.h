#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "advisor-kit/ModelRecommendation.h"
#endif

#include "ui/Palette.h"

#include <QWidget>

class Clock;
class CommandBox;
class Desktop;
class RankedCardHeader;
class RoundedFill;

// One ranked model: a header that opens the card, and below it the reasons, trade-offs, warning and
// the install command with its copy button. The card starts closed.
class RecommendationCardView : public QWidget
{
    Q_OBJECT
public:
    explicit RecommendationCardView(const ModelRecommendation& recommendation, QWidget* parent = nullptr);
    RecommendationCardView(
        const ModelRecommendation& recommendation, Desktop& desktop, Clock& clock, QWidget* parent = nullptr);

    const ModelRecommendation& recommendation() const { return m_recommendation; }
    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    void toggleExpanded() { setExpanded(!m_expanded); }

    RankedCardHeader* header() const { return m_header; }
    CommandBox* commandBox() const { return m_commandBox; }
    QColor borderColor() const;
    // The detail sections shown when open, in order: "reasons", "tradeoffs", "warning", "install".
    QStringList detailSections() const { return m_sections; }

private:
    QWidget* reasonsSection() const;
    QWidget* tradeoffsSection() const;
    QWidget* warningSection() const;
    QWidget* installSection(Desktop& desktop, Clock& clock);

    ModelRecommendation m_recommendation;
    Palette m_palette;
    bool m_expanded = false;
    RoundedFill* m_frame = nullptr;
    RankedCardHeader* m_header = nullptr;
    QWidget* m_details = nullptr;
    CommandBox* m_commandBox = nullptr;
    QStringList m_sections;
};
