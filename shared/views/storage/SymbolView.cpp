#include "SymbolView.h"

#include "ui/SymbolIcon.h"

#include <QPainter>

SymbolView::SymbolView(const QString& symbol, const QColor& color, int size, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_color(color)
    , m_size(size)
{
    setFixedSize(size, size);
}

void SymbolView::setSymbol(const QString& symbol, const QColor& color)
{
    m_symbol = symbol;
    m_color = color;
    update();
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    SymbolIcon::paint(p, rect(), m_symbol, m_color, m_size);
}
