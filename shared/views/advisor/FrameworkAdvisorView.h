#pragma once

// moc cannot parse the C++20 library headers these records bring in; it needs none of them.
#ifndef Q_MOC_RUN
#include "advisor-kit/FrameworkRecommendation.h"
#endif

#include <QList>
#include <QWidget>

#include <vector>

class Clock;
class Desktop;
class FrameworkCard;
class QLabel;
class QVBoxLayout;

// The "Frameworks" tab: the ranked local inference runtimes, one card each, or a prompt to answer the
// questionnaire while there are none. Cards keep their open state while their recommendation stays.
class FrameworkAdvisorView : public QWidget
{
    Q_OBJECT
public:
    FrameworkAdvisorView(const std::vector<FrameworkRecommendation>& recommendations, Desktop& desktop, Clock& clock,
        QWidget* parent = nullptr);

    void setRecommendations(const std::vector<FrameworkRecommendation>& recommendations);
    const QList<FrameworkCard*>& cards() const { return m_cards; }
    bool isEmptyPromptShown() const;

private:
    Desktop& m_desktop;
    Clock& m_clock;
    QVBoxLayout* m_list = nullptr;
    QLabel* m_empty = nullptr;
    QList<FrameworkCard*> m_cards;
};
