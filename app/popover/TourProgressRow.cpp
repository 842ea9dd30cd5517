#include "TourProgressRow.h"

#include "PopoverState.h"

#include "ui/CardPainter.h"

#include <QPainter>

TourProgressRow::TourProgressRow(const Palette& palette, QWidget* parent)
    : QWidget(parent)
    , m_palette(palette)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(tr("Tour progress"));
}

void TourProgressRow::setStep(int step)
{
    m_step = step;
    setAccessibleDescription(tr("Step %1 of %2").arg(step + 1).arg(PopoverState::kTourSteps));
    update();
}

void TourProgressRow::applyPalette(const Palette& palette)
{
    m_palette = palette;
    update();
}

QList<QColor> TourProgressRow::capsuleColors() const
{
    QList<QColor> colors;
    for (int i = 0; i < PopoverState::kTourSteps; ++i)
        colors.append(i == m_step ? m_palette.blue : withOpacity(m_palette.secondaryText, 0.3));
    return colors;
}

void TourProgressRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QList<QColor> colors = capsuleColors();
    const int n = int(colors.size());
    const double width = (this->width() - kSpacing * (n - 1)) / double(n);
    for (int i = 0; i < n; ++i)
        CardPainter::paintCapsule(p, QRectF(i * (width + kSpacing), 0, width, kHeight), colors[i]);
}
