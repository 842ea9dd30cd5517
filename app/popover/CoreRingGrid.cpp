#include "CoreRingGrid.h"

#include "ui/Palette.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

CoreRingGrid::CoreRingGrid(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(tr("Core load"));
}

void CoreRingGrid::setCores(const std::optional<QList<double>>& cores, int emptyCount)
{
    const int count = cores ? int(cores->size()) : std::max(0, emptyCount);
    if (m_cores == cores && m_count == count)
        return;
    const bool resized = rows(count) != rows(m_count);
    m_cores = cores;
    m_count = count;
    if (resized)
        updateGeometry();
    update();
}

void CoreRingGrid::setColors(const QColor& accent, const QColor& text)
{
    m_accent = accent;
    m_text = text;
    update();
}

int CoreRingGrid::rows(int count)
{
    return count <= 0 ? 0 : (count + kColumns - 1) / kColumns;
}

std::optional<double> CoreRingGrid::arcFraction(double value)
{
    if (std::isnan(value))
        return std::nullopt;
    return std::clamp(value, 0.06, 1.0);
}

QSize CoreRingGrid::sizeHint() const
{
    const int r = rows(m_count);
    const int height = r == 0 ? 0 : r * kRing + (r - 1) * kRowSpacing;
    return {kColumns * kColumnWidth + (kColumns - 1) * kColumnSpacing, height + 2 * kPadding};
}

void CoreRingGrid::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double line = 3.5;
    for (int i = 0; i < m_count; ++i) {
        const int row = i / kColumns;
        const int column = i % kColumns;
        const double x = column * (kColumnWidth + kColumnSpacing) + (kColumnWidth - kRing) / 2.0;
        const double y = kPadding + row * (kRing + kRowSpacing);
        const QRectF ring = QRectF(x, y, kRing, kRing).adjusted(line / 2, line / 2, -line / 2, -line / 2);
        p.setPen(QPen(withOpacity(m_text, 0.2), line, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(ring);
        if (!m_cores)
            continue;
        const auto fraction = arcFraction((*m_cores)[i]);
        if (!fraction)
            continue;
        p.setPen(QPen(m_accent, line, Qt::SolidLine, Qt::RoundCap));
        // Qt angles run counter-clockwise from three o'clock in 1/16 degrees: start at twelve, go clockwise.
        p.drawArc(ring, 90 * 16, -qRound(*fraction * 360 * 16));
    }
}
