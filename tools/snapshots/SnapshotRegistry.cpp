#include "SnapshotRegistry.h"

#include "LayoutAudit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>
#include <QThreadPool>
#include <QWidget>

#include <algorithm>

void SnapshotRegistry::add(const QString& name, Render render)
{
    m_entries.append({name, std::move(render)});
}

void settleBackgroundWork(int boundMs)
{
    QElapsedTimer timer;
    timer.start();
    int idleRounds = 0;
    while (idleRounds < 3 && timer.elapsed() < boundMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (QThreadPool::globalInstance()->activeThreadCount() > 0) {
            idleRounds = 0;
            QThread::msleep(1);
        } else {
            ++idleRounds;
        }
    }
}

void waitFor(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < kSettleBoundMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

QImage grabWidget(QWidget& widget, const Palette& palette, qreal scale, QSize size, Settle settle)
{
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.resize(size.isValid() ? size : widget.sizeHint());
    widget.show();
    QApplication::processEvents();
    if (settle == Settle::backgroundWork)
        settleBackgroundWork();
    LayoutAudit* audit = LayoutAudit::current();
    // The audit reads colours, not fine detail: one device pixel to a logical one is enough.
    if (audit)
        scale = 1;
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(palette.background);
    QPainter p(&image);
    widget.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    p.end();
    if (audit)
        audit->inspect(widget, image, size);
    widget.hide();
    return image;
}

int contentHeight(const QWidget& widget, int width)
{
    const int hint = widget.sizeHint().height();
    return widget.hasHeightForWidth() ? std::max(hint, widget.heightForWidth(width)) : hint;
}

QImage magnified(const QImage& image, int factor)
{
    QImage out = image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    out.setDevicePixelRatio(1);
    return out;
}
