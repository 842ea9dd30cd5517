#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

// An indeterminate progress indicator: an arc turning once a second while the spinner is visible.
class Spinner : public QWidget
{
    Q_OBJECT
public:
    explicit Spinner(int diameter = 16, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    // The turn, 0 to 359 degrees; the snapshot program fixes it.
    int angle() const { return m_angle; }
    void setAngle(int degrees);
    QSize sizeHint() const override { return {m_diameter, m_diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_diameter;
    int m_angle = 0;
    QColor m_color;
    QTimer m_timer;
};
