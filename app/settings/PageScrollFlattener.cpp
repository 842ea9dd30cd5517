#include "PageScrollFlattener.h"

#include <QEvent>
#include <QScrollArea>

#include <algorithm>

void PageScrollFlattener::flattenPage(QWidget* page)
{
    QList<QScrollArea*> areas = page->findChildren<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
    if (auto* own = qobject_cast<QScrollArea*>(page))
        areas.prepend(own);
    for (QScrollArea* area : areas) {
        if (area->widget() && area->widgetResizable())
            new PageScrollFlattener(area);
    }
}

PageScrollFlattener::PageScrollFlattener(QScrollArea* area)
    : QObject(area)
    , m_area(area)
{
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_area->installEventFilter(this);
    m_area->widget()->installEventFilter(this);
    fit();
}

bool PageScrollFlattener::eventFilter(QObject* watched, QEvent* event)
{
    // The content's layout changed (rows came or went, texts grew) or the area got another width.
    const bool contentChanged = watched == m_area->widget() && event->type() == QEvent::LayoutRequest;
    const bool resized = watched == m_area && event->type() == QEvent::Resize;
    if (contentChanged || resized)
        fit();
    return false;
}

void PageScrollFlattener::fit()
{
    QWidget* content = m_area->widget();
    if (!content || m_fitting)
        return;
    m_fitting = true;
    // The area's own width: on its resize (seen here before the area handles it) the viewport still has
    // the old one, and a narrower page whose texts wrap onto more lines would be cut.
    const int width = m_area->contentsRect().width();
    int height = content->hasHeightForWidth() ? content->heightForWidth(width) : -1;
    if (height < 0)
        height = content->sizeHint().height();
    height = std::max(height, content->minimumSizeHint().height());
    const QMargins frame = m_area->contentsMargins();
    m_area->setMinimumHeight(height + frame.top() + frame.bottom());
    m_fitting = false;
}
