#pragma once

#include <QColor>
#include <QProxyStyle>

// Check box and radio button indicators in the window's own colours, drawn so that they read on the
// dark themes too: an outline at 3:1 or better on the page when off, a disc or box of the accent
// (darkened or lightened until it reads as well) with a contrasting mark when on.
class IndicatorStyle : public QProxyStyle
{
    Q_OBJECT
public:
    struct Colors
    {
        QColor outline; // the off indicator's ring or frame
        QColor fill; // the on indicator's disc or box
        QColor mark; // the tick or dot on the fill
    };
    // The colours on `background`, from the theme's accent and secondary text.
    static Colors colors(const QColor& background, const QColor& accent, const QColor& secondaryText);

    // The one style the settings pages' check boxes and radio buttons share; it lives as long as the
    // application.
    static IndicatorStyle* shared();

    void drawPrimitive(
        PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override;
};
