#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "advisor-kit/FrameworkRecommendation.h"
#endif

#include "ui/Palette.h"

#include <QWidget>

class Clock;
class CommandBox;
class Desktop;
class RankedCardHeader;

// One ranked runtime: rank, name, badge, setup time and overhead; opened, its pros and cons, the
// instructions and the install command with a copy button.
class FrameworkCard : public QWidget
{
    Q_OBJECT
public:
    FrameworkCard(
        const FrameworkRecommendation& recommendation, Desktop& desktop, Clock& clock, QWidget* parent = nullptr);

    const FrameworkRecommendation& recommendation() const { return m_recommendation; }
    bool isExpanded() const { return m_expanded; }
    void toggleExpanded();
    RankedCardHeader* header() const { return m_header; }
    // Absent when the runtime has no install command.
    CommandBox* commandBox() const { return m_commandBox; }

private:
    QWidget* buildDetails(Desktop& desktop, Clock& clock);
    QWidget* bulletColumn(const QString& heading, const QColor& color, const std::vector<std::string>& lines) const;

    FrameworkRecommendation m_recommendation;
    Palette m_palette;
    bool m_expanded = false;
    RankedCardHeader* m_header = nullptr;
    QWidget* m_details = nullptr;
    CommandBox* m_commandBox = nullptr;
};
