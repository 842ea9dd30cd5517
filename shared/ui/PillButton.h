#pragma once

#include "ui/ThemeColor.h"

#include <QAbstractButton>
#include <QColor>

// A text with an optional leading symbol on a rounded fill: tabs, filter chips, action buttons, links
// and (when not clickable) badges. Painted from its own members only; colours given as ThemeColor
// follow the theme.
class PillButton : public QAbstractButton
{
    Q_OBJECT
public:
    enum class Variant {
        // Sized to its content: the symbol at nine tenths of the line, dimmed while disabled, a dotted
        // focus ring in the text colour.
        compact,
        // May be stretched: the content stays centred, the symbol fills the line and is always followed
        // by a gap, the focus ring is the accent colour.
        centred,
    };

    explicit PillButton(const QString& text, Variant variant = Variant::compact, QWidget* parent = nullptr);

    Variant variant() const { return m_variant; }
    void setSymbol(const QString& symbol);
    // Replaces the text and the symbol together and names the button after the new text.
    void setLabel(const QString& text, const QString& symbol = {});
    void setColors(const QColor& foreground, const QColor& background);
    void setColors(ThemeColor foreground, ThemeColor background);
    void setPadding(int horizontal, int vertical);
    void setCornerRadius(double radius);
    // A badge takes no clicks and no focus.
    void setBadge(bool badge);

    QString symbol() const { return m_symbol; }
    // The colours as they are painted in the current theme.
    QColor foreground() const;
    QColor background() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int symbolGap() const;
    void paintFocus(QPainter& painter, const QColor& foreground) const;

    Variant m_variant;
    QString m_symbol;
    ThemeColor m_foreground;
    ThemeColor m_background;
    int m_padH = 6;
    int m_padV = 3;
    double m_radius = 4;
};
