#include "RankedCardHeader.h"

#include "AdvisorStyle.h"

#include "ui/CardPainter.h"
#include "ui/Fonts.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

using AdvisorStyle::TextStyle;

namespace {

QFont badgeFont()
{
    return Fonts::system(8, QFont::DemiBold);
}

} // namespace

RankCircle::RankCircle(long long rank, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_text(QStringLiteral("#") + QString::number(rank))
    , m_color(color)
{
    setFixedSize(36, 36);
    setAccessibleName(m_text);
}

void RankCircle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(withOpacity(m_color, 0.15));
    p.drawEllipse(QRectF(rect()));
    p.setFont(AdvisorStyle::font(TextStyle::caption, QFont::Bold));
    p.setPen(m_color);
    p.drawText(rect(), Qt::AlignCenter, m_text);
}

BadgePill::BadgePill(const QString& text, const QColor& color, QWidget* parent)
    : QWidget(parent)
    , m_text(text)
    , m_color(color)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(text);
}

QSize BadgePill::sizeHint() const
{
    const QFontMetrics fm(badgeFont());
    return {fm.horizontalAdvance(m_text) + 12, fm.height() + 4};
}

void BadgePill::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    CardPainter::paintCapsule(p, rect(), withOpacity(m_color, 0.15));
    p.setFont(badgeFont());
    p.setPen(m_color);
    p.drawText(rect(), Qt::AlignCenter, m_text);
}

RankedCardHeader::RankedCardHeader(
    long long rank, const QString& name, const QString& badge, const QString& subtitle, QWidget* parent)
    : QWidget(parent)
    , m_palette(Palette::current())
    , m_rankColor(AdvisorStyle::rankColor(rank, m_palette))
    , m_badge(badge)
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(name);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 14, 14, 14);
    row->setSpacing(12);
    row->addWidget(new RankCircle(rank, m_rankColor), 0, Qt::AlignTop);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    titleRow->addWidget(AdvisorStyle::label(name, TextStyle::headline, m_palette.text));
    if (!badge.isEmpty())
        titleRow->addWidget(new BadgePill(badge, m_rankColor));
    titleRow->addStretch(1);
    column->addLayout(titleRow);
    column->addWidget(AdvisorStyle::label(subtitle, TextStyle::caption, m_palette.secondaryText));
    row->addLayout(column, 1);

    m_chevron = AdvisorStyle::symbolLabel(QStringLiteral("chevron.down"), 12, m_palette.secondaryText, 14);
    row->addWidget(m_chevron, 0, Qt::AlignTop);
}

void RankedCardHeader::setExpanded(bool expanded)
{
    AdvisorStyle::setSymbol(m_chevron, expanded ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down"), 12,
        m_palette.secondaryText);
}

void RankedCardHeader::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit toggled();
}

void RankedCardHeader::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit toggled();
        return;
    }
    QWidget::keyPressEvent(event);
}
