#pragma once

#include <QAbstractButton>
#include <QColor>

// A plain painted button of the settings window: an optional symbol and a text on an optional rounded
// background. Dimmed while disabled; Space and Return press it from the keyboard.
class SettingsButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit SettingsButton(const QString& text, const QString& symbol = {}, QWidget* parent = nullptr);

    void setColors(const QColor& foreground, const QColor& background = QColor());
    void setPadding(int horizontal, int vertical);
    void setCornerRadius(double radius) { m_radius = radius; }
    void setSymbolSize(int size) { m_symbolSize = size; }
    QString symbol() const { return m_symbol; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QColor m_foreground;
    QColor m_background;
    int m_padH = 0;
    int m_padV = 0;
    int m_symbolSize = 12;
    double m_radius = 6;
};
