#include "SidewaysScrollArea.h"

#include <QApplication>
#include <QEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <cstdlib>

SidewaysScrollArea::SidewaysScrollArea(QWidget* content, QWidget* parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setWidget(content);
    // setWidget() gives the content a filled background; the strip sits on the parent's.
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    // Focus moving to a control inside brings that control into sight.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && widget() && widget()->isAncestorOf(now))
            ensureWidgetVisible(now, 0, 0);
    });
}

QSize SidewaysScrollArea::sizeHint() const
{
    return widget() ? widget()->sizeHint() : QScrollArea::sizeHint();
}

QSize SidewaysScrollArea::minimumSizeHint() const
{
    return {0, widget() ? widget()->sizeHint().height() : 0};
}

void SidewaysScrollArea::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    const int steps = std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() - steps * bar->singleStep() / 40);
    event->setAccepted(bar->maximum() > 0);
}

bool SidewaysScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    // The content's own size follows its layout, since the area does not size it.
    if (watched == widget() && event->type() == QEvent::LayoutRequest) {
        widget()->adjustSize();
        updateGeometry();
    }
    return QScrollArea::eventFilter(watched, event);
}
