#pragma once

#include "TourTexts.h"

#include "ui/Palette.h"

#include <QWidget>

class PopoverState;
class QGraphicsOpacityEffect;
class QPropertyAnimation;
class ThemeManager;
class PopoverTourCard;
class WelcomeCard;

// The guided tour laid over the whole popover while it runs: the full-cover welcome card for steps 0-2,
// then a dimmed dashboard with the tour card at the bottom. It fades in when the tour starts and out
// when it ends.
class TourOverlay : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kFadeMs = 250;

    TourOverlay(PopoverState& state, ThemeManager& themes, QWidget* parent = nullptr);

    WelcomeCard* welcomeCard() const { return m_welcome; }
    PopoverTourCard* tourCard() const { return m_card; }
    // What the steps may say of this copy and machine.
    void setFacts(const TourTexts::Facts& facts);
    // Jumps a running fade to its end (the snapshot program, and tests that look at the result).
    void settle();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void sync();
    void fade(bool in);
    void placeCard();

    PopoverState& m_state;
    Palette m_palette;
    TourTexts::Facts m_facts;
    WelcomeCard* m_welcome;
    PopoverTourCard* m_card;
    QGraphicsOpacityEffect* m_opacity;
    QPropertyAnimation* m_fade;
};
