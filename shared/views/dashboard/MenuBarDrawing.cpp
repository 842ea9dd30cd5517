#include "MenuBarDrawing.h"

#include "SparklineView.h"
#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace MenuBarDrawing {

namespace {

// A symbol glyph fills about five sixths of its em, so a glyph drawn at 1.2x the font size shows at
// about the height of that font's capitals and digits.
constexpr double kGlyphScale = 1.2;
constexpr double kSymbolFont = 10;
constexpr double kSymbolTrailing = 2;
constexpr double kPillSymbolFont = 8;
constexpr double kPillSpacing = 3;
constexpr double kPillPadH = 5;
constexpr double kPillPadV = 2;
constexpr double kRingLine = 2.5;

QFont cpuFont()
{
    return Fonts::monospaced(9, QFont::Bold);
}

QFont headroomFont()
{
    return Fonts::monospaced(8);
}

QFont pillFont()
{
    return Fonts::monospaced(9, QFont::Bold);
}

QSizeF readoutsSize(const MenuBarFigures& figures)
{
    const QFontMetricsF cpu(cpuFont());
    double width = cpu.horizontalAdvance(cpuText(figures.cpuUsage));
    double height = cpu.height();
    if (figures.headroomGB) {
        const QFontMetricsF mem(headroomFont());
        width = std::max(width, mem.horizontalAdvance(headroomText(*figures.headroomGB)));
        height += mem.height();
    }
    return {std::ceil(width), height};
}

QSizeF pillSize(const QString& tag)
{
    const QFontMetricsF fm(pillFont());
    const double glyph = kPillSymbolFont * kGlyphScale;
    return {kPillPadH * 2 + glyph + kPillSpacing + std::ceil(fm.horizontalAdvance(tag)),
        kPillPadV * 2 + std::max(glyph, fm.height())};
}

void paintRing(QPainter& p, const QRectF& rect, const MenuBarFigures& figures, const Palette& palette, double fraction)
{
    const QRectF circle = rect.adjusted(kRingLine / 2, kRingLine / 2, -kRingLine / 2, -kRingLine / 2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withOpacity(palette.text, 0.18), kRingLine));
    p.drawEllipse(circle);
    if (!(fraction > 0))
        return;
    const QColor arc = figures.cpuUsage > 80 ? palette.red : palette.blue;
    p.setPen(QPen(arc, kRingLine, Qt::SolidLine, Qt::RoundCap));
    // From the top, clockwise (Qt counts angles counter-clockwise from three o'clock, in 1/16 degrees).
    p.drawArc(circle, 90 * 16, -qRound(std::min(fraction, 1.0) * 360 * 16));
}

void paintReadouts(QPainter& p, const QRectF& rect, const MenuBarFigures& figures, const Palette& palette)
{
    const QFontMetricsF cpu(cpuFont());
    p.setFont(cpuFont());
    p.setPen(palette.text);
    p.drawText(QRectF(rect.left(), rect.top(), rect.width() + 2, cpu.height()), Qt::AlignLeft | Qt::AlignVCenter,
        cpuText(figures.cpuUsage));
    if (!figures.headroomGB)
        return;
    const QFontMetricsF mem(headroomFont());
    p.setFont(headroomFont());
    p.setPen(figures.memoryWarning() ? palette.red : palette.secondaryText);
    p.drawText(QRectF(rect.left(), rect.top() + cpu.height(), rect.width() + 2, mem.height()),
        Qt::AlignLeft | Qt::AlignVCenter, headroomText(*figures.headroomGB));
}

void paintPill(QPainter& p, const QRectF& rect, const StateIndicator& indicator, const Palette& palette)
{
    const QColor color = toneColor(indicator.tone, palette);
    CardPainter::paintRounded(p, rect, 4, withOpacity(color, 0.15));
    const double glyph = kPillSymbolFont * kGlyphScale;
    const QRectF inner = rect.adjusted(kPillPadH, kPillPadV, -kPillPadH, -kPillPadV);
    SymbolIcon::paint(
        p, QRectF(inner.left(), inner.center().y() - glyph / 2, glyph, glyph), indicator.symbol, color, glyph);
    p.setFont(pillFont());
    p.setPen(color);
    p.drawText(QRectF(inner.left() + glyph + kPillSpacing, inner.top(), inner.width(), inner.height()),
        Qt::AlignLeft | Qt::AlignVCenter, stateTag(indicator.symbol));
}

constexpr double kTraySide = 22;
constexpr double kTrayRingLine = 2.4;
constexpr double kTrayDiscOpacity = 0.9;

// The largest bold font, up to `pixels`, at which `text` is at most `width` wide.
QFont fittedFigureFont(const QString& text, double pixels, double width)
{
    QFont font = Fonts::monospaced(1, QFont::Bold);
    for (int size = qRound(pixels); size > 4; --size) {
        font.setPixelSize(size);
        if (QFontMetricsF(font).horizontalAdvance(text) <= width)
            break;
    }
    return font;
}

void paintTrayRing(QPainter& p, const QRectF& square, const MenuBarFigures& figures, const Palette& palette)
{
    const double half = kTrayRingLine / 2;
    const QRectF circle = square.adjusted(half, half, -half, -half);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withOpacity(palette.text, 0.4), kTrayRingLine));
    p.drawEllipse(circle);
    if (const double fraction = ringFraction(figures.cpuUsage); fraction > 0) {
        p.setPen(QPen(figures.cpuUsage > 80 ? palette.red : palette.blue, kTrayRingLine, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(circle, 90 * 16, -qRound(fraction * 360 * 16));
    }
}

// The square: a dark disc carrying the ring, and inside it the state's symbol (which says more than a
// figure while a state holds) or else the load's figure, above the sparkline.
void paintTraySquare(QPainter& p, const MenuBarFigures& figures)
{
    // The dark theme's colours, whose light ink reads on the disc.
    static const Palette palette = Palette::forTheme(AppTheme::standard);
    const QRectF square(0, 0, kTraySide, kTraySide);
    const bool ring = figures.ringShown();
    const bool sparkline = figures.showSparkline && figures.aiMemoryHistory.size() >= 2;
    const auto indicator = figures.stateIndicator();
    const bool figure = figures.showTextReadouts && !indicator;
    const double inset = ring ? kTrayRingLine * 1.25 : 1;
    const QRectF inner = square.adjusted(inset, inset, -inset, -inset);
    p.setPen(Qt::NoPen);
    p.setBrush(withOpacity(palette.background, kTrayDiscOpacity));
    p.drawEllipse(square.adjusted(0.25, 0.25, -0.25, -0.25));
    if (ring)
        paintTrayRing(p, square, figures, palette);
    const bool middle = indicator || figure;
    const QRectF top
        = sparkline && middle ? QRectF(inner.topLeft(), QSizeF(inner.width(), inner.height() * 0.68)) : inner;
    if (indicator) {
        SymbolIcon::paint(p, top, indicator->symbol, toneColor(indicator->tone, palette), top.height() * 0.95);
    } else if (figure) {
        const double value = std::isfinite(figures.cpuUsage) ? std::clamp(figures.cpuUsage, 0.0, 999.0) : 0.0;
        const QString text = QString::number(qRound(value));
        p.setFont(fittedFigureFont(text, top.height() * 0.92, inner.width()));
        p.setPen(palette.text);
        p.drawText(QRectF(inner.left() - 2, top.top(), inner.width() + 4, top.height()), Qt::AlignCenter, text);
    }
    if (sparkline) {
        const double height = middle ? inner.height() * 0.26 : inner.height() * 0.45;
        const double top = middle ? inner.bottom() - height - inner.height() * 0.04 : inner.center().y() - height / 2;
        const double side = inner.width() * 0.1;
        p.setOpacity(0.9);
        SparklineView::paint(p, QRectF(inner.left() + side, top, inner.width() - 2 * side, height),
            figures.aiMemoryHistory, palette.purple);
        p.setOpacity(1.0);
    }
}

} // namespace

QString cpuText(double cpuUsage)
{
    return NumberText::numberText("%.0f%%", cpuUsage);
}

QString headroomText(double headroomGB)
{
    return NumberText::numberText("%.0fG", headroomGB);
}

QColor toneColor(StateIndicator::Tone tone, const Palette& palette)
{
    switch (tone) {
    case StateIndicator::Tone::red:
        return palette.red;
    case StateIndicator::Tone::blue:
        return palette.blue;
    case StateIndicator::Tone::purple:
        return palette.purple;
    case StateIndicator::Tone::green:
        return palette.green;
    case StateIndicator::Tone::orange:
        break;
    }
    return palette.orange;
}

double ringFraction(double cpuUsage)
{
    return std::isfinite(cpuUsage) ? std::min(cpuUsage / 100.0, 1.0) : 0.0;
}

Layout layout(const MenuBarFigures& figures)
{
    QList<std::pair<Piece, QSizeF>> pieces;
    const auto indicator = figures.stateIndicator();
    if (indicator) {
        const double glyph = kSymbolFont * kGlyphScale;
        pieces.append({Piece::symbol, QSizeF(glyph + kSymbolTrailing, glyph)});
    }
    if (figures.ringShown())
        pieces.append({Piece::ring, QSizeF(kRingSize)});
    if (figures.showTextReadouts)
        pieces.append({Piece::readouts, readoutsSize(figures)});
    if (figures.showSparkline)
        pieces.append({Piece::sparkline, QSizeF(kSparklineSize)});
    if (indicator && !stateTag(indicator->symbol).isEmpty())
        pieces.append({Piece::pill, pillSize(stateTag(indicator->symbol))});

    Layout out;
    double x = kSidePadding;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const auto& [piece, size] = pieces[i];
        if (i > 0)
            x += kSpacing;
        out.items.append({piece, QRectF(QPointF(x, (kHeight - size.height()) / 2), size)});
        x += size.width();
    }
    out.size = QSizeF(x + kSidePadding, kHeight);
    return out;
}

void paint(QPainter& p, const MenuBarFigures& figures, const Palette& palette, double fraction)
{
    const auto indicator = figures.stateIndicator();
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (const Item& item : layout(figures).items) {
        switch (item.piece) {
        case Piece::symbol: {
            const QRectF glyph = item.rect.adjusted(0, 0, -kSymbolTrailing, 0);
            SymbolIcon::paint(
                p, glyph, indicator->symbol, toneColor(indicator->tone, palette), kSymbolFont * kGlyphScale);
            break;
        }
        case Piece::ring:
            paintRing(p, item.rect, figures, palette, fraction);
            break;
        case Piece::readouts:
            paintReadouts(p, item.rect, figures, palette);
            break;
        case Piece::sparkline:
            p.setOpacity(0.85);
            SparklineView::paint(p, item.rect, figures.aiMemoryHistory, palette.purple);
            p.setOpacity(1.0);
            break;
        case Piece::pill:
            paintPill(p, item.rect, *indicator, palette);
            break;
        }
    }
    p.restore();
}

QPixmap trayPixmap(const MenuBarFigures& figures, int size, qreal devicePixelRatio)
{
    const int side = std::max(1, size);
    QPixmap pm(QSize(side, side) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // Drawn on a 22-unit square and scaled, so 22 and 44 pixels show the same shapes.
    p.scale(side / kTraySide, side / kTraySide);
    paintTraySquare(p, figures);
    return pm;
}

QIcon trayIcon(const MenuBarFigures& figures)
{
    QIcon icon;
    for (int size : kTraySizes)
        icon.addPixmap(trayPixmap(figures, size));
    return icon;
}

QString trayLabel(const MenuBarFigures& figures)
{
    if (!figures.showTextReadouts)
        return {};
    QString label = cpuText(figures.cpuUsage);
    if (figures.headroomGB)
        label += QLatin1Char(' ') + headroomText(*figures.headroomGB);
    return label;
}

QString toolTip(const MenuBarFigures& figures)
{
    QStringList lines {QStringLiteral("Quorvane Pro")};
    lines << QCoreApplication::translate("MenuBarView", "CPU: %1").arg(cpuText(figures.cpuUsage));
    if (figures.headroomGB)
        lines << QCoreApplication::translate("MenuBarView", "Free memory: %1").arg(headroomText(*figures.headroomGB));
    if (const auto indicator = figures.stateIndicator(); indicator && !stateTag(indicator->symbol).isEmpty())
        lines << QCoreApplication::translate("MenuBarView", "State: %1").arg(stateTag(indicator->symbol));
    return lines.join(QLatin1Char('\n'));
}

} // namespace MenuBarDrawing
