#include "PathRow.h"

#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kPadding = 5;
constexpr int kLockSize = 9;
} // namespace

PathRow::PathRow(const QString& path, QWidget* parent)
    : QWidget(parent)
    , m_path(path)
{
    setFont(Fonts::monospaced(10));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(path);
    setAccessibleName(path);
}

QSize PathRow::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_path) + kLockSize + 3 * kPadding + 8,
        std::max(metrics.height(), kLockSize) + 2 * kPadding};
}

void PathRow::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    CardPainter::paintRounded(painter, QRectF(rect()), 4, withOpacity(palette.secondaryText, 0.08));
    const QRectF lock(width() - kPadding - kLockSize - 2, 0, kLockSize + 2, height());
    QRectF text(kPadding, 0, lock.left() - kPadding - 4, height());
    painter.setFont(font());
    painter.setPen(palette.text);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(font()).elidedText(m_path, Qt::ElideMiddle, static_cast<int>(text.width())));
    SymbolIcon::paint(painter, lock, QStringLiteral("lock.fill"), palette.secondaryText, kLockSize);
}
