#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

// A line through a list of percentages on a fixed 0 to 100 scale, oldest on the left, stroked in one
// colour. Values are not clamped, and the scale never follows the data's own range.
class SparklineView : public QWidget
{
    Q_OBJECT
public:
    SparklineView(const QList<double>& data, const QColor& color, QWidget* parent = nullptr);

    void setData(const QList<double>& data);
    void setColor(const QColor& color);
    const QList<double>& data() const { return m_data; }

    // Draws the line into `rect`; fewer than two values draw nothing.
    static void paint(QPainter& painter, const QRectF& rect, const QList<double>& data, const QColor& color);

    QSize sizeHint() const override { return {60, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<double> m_data;
    QColor m_color;
};
