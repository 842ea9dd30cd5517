#pragma once

#include <QColor>
#include <QWidget>

// A container on a rounded fill with an optional outline: the storage view's bars, banners,
// confirmations and rows. Its children are laid out by the layout set on it.
class TintedBox : public QWidget
{
    Q_OBJECT
public:
    explicit TintedBox(QWidget* parent = nullptr);

    void setFill(const QColor& fill, double cornerRadius);
    // No outline when `stroke` is invalid.
    void setStroke(const QColor& stroke, double width = 1);
    QColor fill() const { return m_fill; }
    QColor stroke() const { return m_stroke; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_fill;
    QColor m_stroke;
    double m_radius = 6;
    double m_strokeWidth = 1;
};
