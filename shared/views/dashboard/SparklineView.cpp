#include "SparklineView.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

SparklineView::SparklineView(const QList<double>& data, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_data(data)
    , m_color(color)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void SparklineView::setData(const QList<double>& data)
{
    m_data = data;
    update();
}

void SparklineView::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void SparklineView::paint(QPainter& painter, const QRectF& rect, const QList<double>& data, const QColor& color)
{
    const qsizetype n = data.size();
    if (n < 2)
        return;
    const double step = rect.width() / static_cast<double>(n - 1);
    QPainterPath path;
    bool started = false;
    for (qsizetype i = 0; i < n; ++i) {
        // A non-finite value has no place on the chart; the line skips it and resumes at the next value.
        if (!std::isfinite(data[i])) {
            started = false;
            continue;
        }
        const QPointF point(rect.left() + i * step, rect.bottom() - data[i] / 100.0 * rect.height());
        if (started)
            path.lineTo(point);
        else
            path.moveTo(point);
        started = true;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(color, 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.drawPath(path);
    painter.restore();
}

void SparklineView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paint(p, QRectF(rect()), m_data, m_color);
}
