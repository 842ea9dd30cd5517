#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>

// A text with an optional leading symbol on a rounded fill: the storage view's tabs, filter chips,
// action buttons and (when not clickable) its badges. Painted from its own members only.
class PillButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit PillButton(const QString& text, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol);
    void setColors(const QColor& foreground, const QColor& background);
    void setPadding(int horizontal, int vertical);
    void setCornerRadius(double radius);
    // A badge takes no clicks and no focus.
    void setBadge(bool badge);

    QColor foreground() const { return m_foreground; }
    QColor background() const { return m_background; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QColor m_foreground;
    QColor m_background;
    int m_padH = 6;
    int m_padV = 3;
    double m_radius = 4;
};
