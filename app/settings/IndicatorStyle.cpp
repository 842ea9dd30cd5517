#include "IndicatorStyle.h"

#include "ui/Contrast.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleOption>

IndicatorStyle::Colors IndicatorStyle::colors(
    const QColor& background, const QColor& accent, const QColor& secondaryText)
{
    // Translucent theme colours are judged as they show on the page.
    Colors c;
    c.outline = Contrast::readableShade(Contrast::over(secondaryText, background), background);
    c.fill = Contrast::readableShade(Contrast::over(accent, background), background);
    c.mark = Contrast::readableOn(c.fill, Qt::white);
    return c;
}

IndicatorStyle* IndicatorStyle::shared()
{
    static QPointer<IndicatorStyle> instance;
    if (!instance) {
        instance = new IndicatorStyle;
        instance->setParent(qApp);
    }
    return instance;
}

void IndicatorStyle::drawPrimitive(
    PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const
{
    const bool box = element == PE_IndicatorCheckBox;
    if (!box && element != PE_IndicatorRadioButton) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QPalette& pal = option->palette;
    const Colors c = colors(pal.color(QPalette::Active, QPalette::Window),
        pal.color(QPalette::Active, QPalette::Highlight), pal.color(QPalette::Active, QPalette::PlaceholderText));
    const bool on = option->state & (State_On | State_NoChange);
    const QRectF r = QRectF(option->rect).adjusted(1.5, 1.5, -1.5, -1.5);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (!(option->state & State_Enabled))
        painter->setOpacity(0.45);
    if (on) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(c.fill);
    } else {
        painter->setPen(QPen(c.outline, 1.5));
        painter->setBrush(Qt::NoBrush);
    }
    if (box)
        painter->drawRoundedRect(r, 3, 3);
    else
        painter->drawEllipse(r);

    if (on) {
        painter->setPen(QPen(c.mark, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        if (!box) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(c.mark);
            const double dot = r.width() * 0.36;
            painter->drawEllipse(QRectF(r.center().x() - dot / 2, r.center().y() - dot / 2, dot, dot));
        } else if (option->state & State_NoChange) {
            painter->drawLine(QPointF(r.left() + r.width() * 0.25, r.center().y()),
                QPointF(r.right() - r.width() * 0.25, r.center().y()));
        } else {
            QPainterPath tick;
            tick.moveTo(r.left() + r.width() * 0.22, r.top() + r.height() * 0.52);
            tick.lineTo(r.left() + r.width() * 0.42, r.top() + r.height() * 0.72);
            tick.lineTo(r.left() + r.width() * 0.78, r.top() + r.height() * 0.3);
            painter->drawPath(tick);
        }
    }
    painter->restore();
}
