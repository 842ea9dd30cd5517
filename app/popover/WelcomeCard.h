#pragma once

#include "TourTexts.h"

#include "ui/Palette.h"

#include <QPixmap>
#include <QWidget>

class PopoverState;
class QLabel;
class QHBoxLayout;
class QVariantAnimation;
class TourButtonRow;
class TourProgressRow;
class WelcomeHero;

// The full-cover card of the tour's first three steps: the progress row, a slide (the logo, the
// persona engine, the cache sweepers) and the Back / Skip / Next row.
class WelcomeCard : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kPulseScale = 1.12;
    static constexpr int kPulseMs = 1000;

    WelcomeCard(PopoverState& state, const Palette& palette, const QPixmap& logo, QWidget* parent = nullptr);
    ~WelcomeCard() override;

    void setStep(int step);
    void applyPalette(const Palette& palette);
    // What the slides may say of this copy and machine; the current slide is reworded.
    void setFacts(const TourTexts::Facts& facts);

    int step() const { return m_step; }
    TourButtonRow* buttons() const { return m_buttons; }
    TourProgressRow* progress() const { return m_progress; }
    QLabel* titleLabel() const { return m_title; }
    // The chip labels of the current slide, left to right.
    QStringList chips() const;
    bool isPulsing() const;
    double logoScale() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updatePulse();
    void rebuildChips();

    PopoverState& m_state;
    Palette m_palette;
    int m_step = 0;
    TourTexts::Facts m_facts;
    TourProgressRow* m_progress;
    WelcomeHero* m_hero;
    QLabel* m_title;
    QLabel* m_text;
    QWidget* m_chipRow;
    QHBoxLayout* m_chipLayout;
    TourButtonRow* m_buttons;
    QVariantAnimation* m_pulse;
    double m_pulseFrom = 1.0;
};
