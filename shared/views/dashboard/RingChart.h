#pragma once

#include "PageStyle.h"

#include <QVariantAnimation>
#include <QWidget>

// A percentage ring, 80 x 80: a faint track, an arc from the top growing clockwise to the percentage
// (capped at 100, none below 0 or for a non-finite value), and the title over the label in the middle.
class RingChart : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSide = 80;
    static constexpr int kAnimationMs = 800;

    RingChart(
        double percentage, const QString& label, const QColor& color, const QString& title, QWidget* parent = nullptr);

    // Moves the arc to the new percentage with a short spring.
    void setPercentage(double percentage);
    void setTexts(const QString& title, const QString& label);

    // The share of the circle a percentage covers: 0 to 1.
    static double arcFraction(double percentage);
    // The share drawn now (animated toward arcFraction(percentage)).
    double drawnFraction() const { return m_drawn; }
    double targetFraction() const { return arcFraction(m_percentage); }

    QSize sizeHint() const override { return {kSide, kSide}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_percentage;
    QString m_label;
    QColor m_color;
    QString m_title;
    double m_drawn;
    QVariantAnimation m_animation;
};
