#pragma once

#include "ui/ThemeColor.h"

#include <QColor>
#include <QWidget>

// A container drawn as a filled rounded rectangle with an optional outline, for cards, rows and boxes.
// Colours given as ThemeColor are looked up in the current palette at each paint, and the widget
// repaints when the theme changes.
class RoundedFill : public QWidget
{
    Q_OBJECT
public:
    explicit RoundedFill(const QColor& fill, double radius = 10, QWidget* parent = nullptr);
    RoundedFill(ThemeColor fill, double radius, QWidget* parent = nullptr);

    void setFill(const QColor& fill);
    void setFill(ThemeColor fill);
    // No outline when `stroke` is invalid.
    void setStroke(const QColor& stroke, double width = 1);
    void setStroke(ThemeColor stroke, double width = 1);
    void setCornerRadius(double radius);
    // Draws the shape `inset` pixels inside the widget's edges.
    void setInset(double inset);

    // The colours as they are painted in the current theme.
    QColor fill() const;
    QColor stroke() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ThemeColor m_fill;
    ThemeColor m_stroke;
    double m_radius;
    double m_strokeWidth = 1;
    double m_inset = 0;
};
