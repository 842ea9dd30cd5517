#pragma once

#include <QColor>
#include <QWidget>

// A large ring gauge: a dark disc, a faint track, an arc for the filled fraction and the value text in
// the middle. The arc never draws below 5 % of the circle.
class LargeRingGauge : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kDisc = 58;
    static constexpr double kRing = 54;
    static constexpr double kLine = 4.5;

    LargeRingGauge(const QString& valueText, double percentage, const QColor& accentColor, const QColor& textColor,
        QWidget* parent = nullptr);

    void setValue(const QString& valueText, double percentage);
    void setColors(const QColor& accentColor, const QColor& textColor);

    const QString& valueText() const { return m_valueText; }
    // The arc as drawn: `percentage` clamped to 0.05-1.0 (0.05 for a value that is not a number).
    double arcFraction() const;

    QSize sizeHint() const override { return {int(kDisc), int(kDisc)}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_valueText;
    double m_percentage;
    QColor m_accentColor;
    QColor m_textColor;
};
