#include "SymbolButton.h"

#include "ui/SymbolIcon.h"

#include <QFontMetricsF>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

SymbolButton::SymbolButton(QSize size, QWidget* parent)
    : QAbstractButton(parent)
    , m_size(size)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_menu)
            m_menu->popup(mapToGlobal(QPoint(0, height() + 2)));
    });
}

void SymbolButton::setLook(const Look& look)
{
    m_look = look;
    if (accessibleName().isEmpty() && !look.text.isEmpty())
        setAccessibleName(look.text);
    updateGeometry();
    update();
}

void SymbolButton::setMenu(QMenu* menu)
{
    m_menu = menu;
}

QSize SymbolButton::sizeHint() const
{
    if (m_look.text.isEmpty())
        return m_size;
    // A text button is as wide as its content.
    const QFontMetricsF fm(m_look.textFont);
    const double width
        = 2 * m_look.horizontalPadding + m_look.symbolSize + m_look.spacing + fm.horizontalAdvance(m_look.text);
    return {qCeil(width), m_size.height()};
}

void SymbolButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    if (m_look.background.isValid() && m_look.background.alpha() > 0) {
        QPainterPath path;
        path.addRoundedRect(r, m_look.cornerRadius, m_look.cornerRadius);
        p.fillPath(path, m_look.background);
    }
    if (hasFocus()) {
        p.save();
        p.setPen(QPen(m_look.foreground, 1, Qt::DotLine));
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), m_look.cornerRadius, m_look.cornerRadius);
        p.restore();
    }
    if (m_look.text.isEmpty()) {
        SymbolIcon::paint(p, r, m_look.symbol, m_look.foreground, m_look.symbolSize);
        return;
    }
    double x = m_look.horizontalPadding;
    SymbolIcon::paint(
        p, QRectF(x, 0, m_look.symbolSize, r.height()), m_look.symbol, m_look.foreground, m_look.symbolSize);
    x += m_look.symbolSize + m_look.spacing;
    p.setFont(m_look.textFont);
    p.setPen(m_look.foreground);
    p.drawText(QRectF(x, 0, r.width() - x, r.height()), Qt::AlignLeft | Qt::AlignVCenter, m_look.text);
}
