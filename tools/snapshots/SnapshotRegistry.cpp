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

namespace {

// `widget` drawn at `scale` on `backdrop` with what `flags` name, for the audit to inspect while one runs.
QImage render(QWidget& widget, const QColor& backdrop, qreal scale, QSize hostSize, QWidget::RenderFlags flags)
{
    LayoutAudit* audit = LayoutAudit::current();
    // The audit reads colours, not fine detail: one device pixel to a logical one is enough.
    if (audit)
        scale = 1;
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(backdrop);
    QPainter p(&image);
    widget.render(&p, QPoint(), QRegion(), flags);
    p.end();
    if (audit)
        audit->inspect(widget, image, hostSize);
    return image;
}

} // namespace

QImage grabWidget(QWidget& widget, const Palette& palette, qreal scale, QSize size, Settle settle)
{
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.resize(size.isValid() ? size : widget.sizeHint());
    widget.show();
    QApplication::processEvents();
    if (settle == Settle::backgroundWork)
        settleBackgroundWork();
    const QImage image = render(widget, palette.background, scale, size, QWidget::DrawChildren);
    widget.hide();
    return image;
}

QImage grabWindow(QWidget& window, qreal scale)
{
    QApplication::processEvents();
    return render(window, Qt::transparent, scale, window.size(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
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
