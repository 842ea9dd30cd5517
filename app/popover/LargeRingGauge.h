#pragma once

#include <QColor>
#include <QWidget>

#include <optional>

// A large ring gauge: a dark disc, a faint track, an arc for the filled fraction, the value text in the
// middle and a caption under the disc that names the figure. The arc never draws below 5 % of the circle;
// a gauge without a figure (its text the dash) draws none.
class LargeRingGauge : public QWidget
{
    Q_OBJECT
public:
    static constexpr double kDisc = 58;
    static constexpr double kRing = 54;
    static constexpr double kLine = 4.5;
    static constexpr int kCaptionGap = 4;

    LargeRingGauge(const QString& valueText, std::optional<double> percentage, const QColor& accentColor,
        const QColor& textColor, QWidget* parent = nullptr);

    void setValue(const QString& valueText, std::optional<double> percentage);
    void setColors(const QColor& accentColor, const QColor& textColor, const QColor& captionColor = QColor());
    void setCaption(const QString& caption);

    const QString& valueText() const { return m_valueText; }
    const QString& caption() const { return m_caption; }
    // The arc as drawn: `percentage` clamped to 0.05-1.0; none without a percentage or for one that is not
    // a number.
    std::optional<double> arcFraction() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateAccessibleName();

    QString m_valueText;
    std::optional<double> m_percentage;
    QString m_caption;
    QColor m_accentColor;
    QColor m_textColor;
    QColor m_captionColor;
};
