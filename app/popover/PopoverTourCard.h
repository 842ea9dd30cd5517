#pragma once

#include "TourTexts.h"

#include "ui/Palette.h"

#include <QWidget>

class QLabel;
class TourButtonRow;
class TourProgressRow;

// The card at the bottom of the dimmed popover for tour steps 3 to 6: progress, the step's title and
// text, and Back / Skip / Next ("Open Settings" on the last step).
class PopoverTourCard : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRadius = 12;

    explicit PopoverTourCard(const Palette& palette, QWidget* parent = nullptr);

    void setStep(int step);
    void applyPalette(const Palette& palette);
    // What the steps may say of this copy and machine; the current step is reworded.
    void setFacts(const TourTexts::Facts& facts);

    TourButtonRow* buttons() const { return m_buttons; }
    TourProgressRow* progress() const { return m_progress; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* textLabel() const { return m_text; }
    QString text() const { return m_plainText; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int textBlockHeight(int width) const;

    Palette m_palette;
    int m_step = 3;
    TourTexts::Facts m_facts;
    QString m_plainText;
    TourProgressRow* m_progress;
    QLabel* m_title;
    QLabel* m_text;
    QWidget* m_texts;
    QWidget* m_divider;
    TourButtonRow* m_buttons;
};
