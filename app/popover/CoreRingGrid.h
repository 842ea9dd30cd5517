#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

#include <optional>

// One small ring per logical core, eight to a row. Before the first sample every ring is an empty track.
class CoreRingGrid : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kColumns = 8;
    static constexpr int kColumnWidth = 26;
    static constexpr int kColumnSpacing = 8;
    static constexpr int kRowSpacing = 6;
    static constexpr int kRing = 22;
    static constexpr int kPadding = 3;

    explicit CoreRingGrid(QWidget* parent = nullptr);

    // `cores` nothing: `emptyCount` neutral rings.
    void setCores(const std::optional<QList<double>>& cores, int emptyCount);
    void setColors(const QColor& accent, const QColor& text);

    int ringCount() const { return m_count; }
    static int rows(int count);
    // The arc a core value draws: 0.06 to 1.0; nothing for a value that is not a number.
    static std::optional<double> arcFraction(double value);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QList<double>> m_cores;
    int m_count = 0;
    QColor m_accent;
    QColor m_text;
};
