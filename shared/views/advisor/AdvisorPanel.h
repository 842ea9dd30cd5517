#pragma once

#include <QColor>
#include <QWidget>

// A container drawn as a filled rounded rectangle with an optional outline; the advisor's cards, rows
// and boxes are built on it.
class AdvisorPanel : public QWidget
{
    Q_OBJECT
public:
    explicit AdvisorPanel(const QColor& fill, double radius = 10, QWidget* parent = nullptr);

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
