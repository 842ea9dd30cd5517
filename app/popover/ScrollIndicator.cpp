#include "ScrollIndicator.h"

#include "ui/StyleSheets.h"

#include <QAbstractScrollArea>

ScrollIndicator::ScrollIndicator(QAbstractScrollArea& area, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent)
    , m_source(area.verticalScrollBar())
{
    setFocusPolicy(Qt::NoFocus);
    connect(m_source, &QScrollBar::rangeChanged, this, &ScrollIndicator::follow);
    connect(m_source, &QScrollBar::valueChanged, this, &QScrollBar::setValue);
    connect(this, &QScrollBar::valueChanged, m_source, &QScrollBar::setValue);
    follow();
}

void ScrollIndicator::setHandleColor(const QColor& color)
{
    setStyleSheet(StyleSheets::slimVerticalScrollBar(color, kWidth, 1));
}

void ScrollIndicator::setAllowed(bool allowed)
{
    m_allowed = allowed;
    follow();
}

void ScrollIndicator::follow()
{
    setRange(m_source->minimum(), m_source->maximum());
    setPageStep(m_source->pageStep());
    setSingleStep(m_source->singleStep());
    setValue(m_source->value());
    setVisible(m_allowed && m_source->maximum() > m_source->minimum());
}
