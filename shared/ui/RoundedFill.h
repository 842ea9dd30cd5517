#pragma once

#include <QColor>
#include <QWidget>

// A container drawn as a filled rounded rectangle with an optional outline, for cards, rows and boxes.
class RoundedFill : public QWidget
{
    Q_OBJECT
public:
    explicit RoundedFill(const QColor& fill, double radius = 10, QWidget* parent = nullptr);

    void setFill(const QColor& fill);
    void setStroke(const QColor& stroke, double width = 1);
    QColor fill() const { return m_fill; }
    QColor stroke() const { return m_stroke; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QColor m_stroke;
    double m_radius;
    double m_strokeWidth = 1;
};
