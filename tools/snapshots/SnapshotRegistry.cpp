#include "SnapshotRegistry.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

void SnapshotRegistry::add(const QString& name, Render render)
{
    m_entries.append({name, std::move(render)});
}

QImage grabWidget(QWidget& widget, const Palette& palette, qreal scale, QSize size)
{
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.resize(size.isValid() ? size : widget.sizeHint());
    widget.show();
    QApplication::processEvents();
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(palette.background);
    QPainter p(&image);
    widget.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    p.end();
    widget.hide();
    return image;
}

QImage magnified(const QImage& image, int factor)
{
    QImage out = image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    out.setDevicePixelRatio(1);
    return out;
}
