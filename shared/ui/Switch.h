#pragma once

#include <QAbstractButton>
#include <QColor>

// An on/off switch: a capsule track with a round knob, tinted with the theme's accent when on.
// Checkable; Space toggles it from the keyboard.
class Switch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit Switch(QWidget* parent = nullptr);

    void setOnColor(const QColor& color);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_onColor;
};
