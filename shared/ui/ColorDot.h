#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

// A widget of fixed size painted in one colour it is given: the base of small dots and glyphs.
class TintedWidget : public QWidget
{
public:
    TintedWidget(QSize size, QWidget* parent);

    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    // The fixed size, so that a parent placing its children by their hints places it too.
    QSize sizeHint() const override { return minimumSize(); }

private:
    QColor m_color;
};

// A filled circle in `disc` of a widget of fixed `size`.
class ColorDot : public TintedWidget
{
public:
    ColorDot(QSize size, const QRectF& disc, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF m_disc;
};
