#include "ElidedLabel.h"

#include <cmath>

#include "Palette.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

ElidedLabel::ElidedLabel(const QString& text, int maxLines, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
    , m_maxLines(std::max(maxLines, 1))
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    relayout();
}

void ElidedLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    relayout();
    updateGeometry();
}

void ElidedLabel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

QColor ElidedLabel::color() const
{
    if (m_themeColor)
        return m_themeColor(Palette::current());
    return m_color.isValid() ? m_color : Palette::current().text;
}

void ElidedLabel::setThemeColor(ThemeColor color)
{
    if (!m_themeColor)
        repaintOnThemeChange(this);
    m_themeColor = std::move(color);
    update();
}

void ElidedLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

QStringList ElidedLabel::lines(int width) const
{
    const QFontMetrics fm(font());
    const QString flat = QString(m_text).replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (width <= 0)
        return {};
    if (m_maxLines == 1)
        return {fm.elidedText(flat, Qt::ElideRight, width)};

    QTextLayout layout(flat, font());
    layout.beginLayout();
    QStringList out;
    for (int i = 0; i < m_maxLines; ++i) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (i == m_maxLines - 1) {
            out << fm.elidedText(flat.mid(line.textStart()), Qt::ElideRight, width);
            break;
        }
        out << flat.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return out;
}

bool ElidedLabel::isElided() const
{
    const QString joined = lines(width()).join(QLatin1Char(' '));
    return !m_text.isEmpty() && width() > 0 && joined.simplified() != QString(m_text).simplified();
}

void ElidedLabel::relayout()
{
    setToolTip(isElided() ? m_text : QString());
    setAccessibleName(m_text);
    update();
}

QSize ElidedLabel::sizeHint() const
{
    // Rounded up: the text layout that places the line measures in fractions and would cut the last glyph.
    const QFontMetricsF fm(font());
    return {static_cast<int>(std::ceil(fm.horizontalAdvance(m_text))) + 1,
        static_cast<int>(std::ceil(fm.lineSpacing())) * m_maxLines};
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(QStringLiteral("…")), fm.lineSpacing()};
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(color());
    const QFontMetrics fm(font());
    const QStringList drawn = lines(width());
    const int total = fm.lineSpacing() * static_cast<int>(drawn.size());
    int y = (m_alignment & Qt::AlignTop) ? 0 : (height() - total) / 2;
    for (const QString& line : drawn) {
        p.drawText(
            QRect(0, y, width(), fm.lineSpacing()), (m_alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter, line);
        y += fm.lineSpacing();
    }
}

void ElidedLabel::resizeEvent(QResizeEvent*)
{
    relayout();
}

void ElidedLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        relayout();
    QWidget::changeEvent(event);
}
