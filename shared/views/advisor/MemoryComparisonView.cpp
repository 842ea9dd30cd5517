#include "MemoryComparisonView.h"

#include "AdvisorStyle.h"

#include "ui/CardPainter.h"
#include "ui/NumberText.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

using AdvisorStyle::TextStyle;

namespace {

constexpr int kMargin = 14;
constexpr int kSpacing = 12;
constexpr int kNameWidth = 120;
constexpr int kValueWidth = 36;
constexpr int kBarHeight = 12;
constexpr int kRowGap = 8;
constexpr double kEmptyTableScale = 192;

} // namespace

MemoryComparisonView::MemoryComparisonView(
    double yourMemoryGB, const QList<AdvisorTexts::MemoryConfiguration>& comparisons, QWidget* parent)
    : QWidget(parent)
    , m_yourMemoryGB(yourMemoryGB)
    , m_comparisons(comparisons)
    , m_palette(Palette::current())
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(rankSentence());
}

double MemoryComparisonView::scale() const
{
    double largest = kEmptyTableScale;
    if (!m_comparisons.isEmpty()) {
        largest = std::max_element(m_comparisons.begin(), m_comparisons.end(), [](const auto& a, const auto& b) {
            return a.memoryGB < b.memoryGB;
        })->memoryGB;
    }
    // An unreadable memory figure leaves the table's own scale.
    return std::isfinite(m_yourMemoryGB) && m_yourMemoryGB > largest ? m_yourMemoryGB : largest;
}

double MemoryComparisonView::barFraction(int index) const
{
    const double s = scale();
    if (index < 0 || index >= m_comparisons.size() || !(s > 0))
        return 0;
    return std::clamp(m_comparisons[index].memoryGB / s, 0.0, 1.0);
}

bool MemoryComparisonView::isHighlighted(int index) const
{
    return index >= 0 && index < m_comparisons.size() && m_comparisons[index].memoryGB == m_yourMemoryGB;
}

QString MemoryComparisonView::heading() const
{
    return tr("Compared to common configurations");
}

QString MemoryComparisonView::rankSentence() const
{
    return tr("Your computer has more memory than ~") + QString::number(rank()) + tr("% of common configurations.");
}

int MemoryComparisonView::heightForWidth(int width) const
{
    const QFontMetrics caption(AdvisorStyle::font(TextStyle::caption));
    const int rows = static_cast<int>(m_comparisons.size());
    const QRect sentence
        = caption.boundingRect(QRect(0, 0, std::max(1, width - 2 * kMargin), 1000), Qt::TextWordWrap, rankSentence());
    return kMargin * 2 + caption.height() + kSpacing + rows * std::max(kBarHeight, caption.height())
        + std::max(0, rows - 1) * kRowGap + kSpacing + sentence.height();
}

QSize MemoryComparisonView::sizeHint() const
{
    return {420, heightForWidth(420)};
}

void MemoryComparisonView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    CardPainter::paintRounded(p, rect(), 10, withOpacity(m_palette.secondaryText, 0.06));

    const QFont caption = AdvisorStyle::font(TextStyle::caption);
    const QFont caption2 = AdvisorStyle::font(TextStyle::caption2);
    const QFontMetrics fm(caption);
    const int inner = width() - 2 * kMargin;
    int y = kMargin;
    p.setFont(caption);
    p.setPen(m_palette.secondaryText);
    p.drawText(QRect(kMargin, y, inner, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, heading().toUpper());
    y += fm.height() + kSpacing;

    const int rowHeight = std::max(kBarHeight, fm.height());
    const int barWidth = std::max(0, inner - kNameWidth - kValueWidth - 2 * 8);
    for (int i = 0; i < m_comparisons.size(); ++i) {
        const auto& row = m_comparisons[i];
        p.setFont(caption);
        p.setPen(m_palette.text);
        p.drawText(QRect(kMargin, y, kNameWidth, rowHeight), Qt::AlignLeft | Qt::AlignVCenter, row.name);
        const QRectF track(kMargin + kNameWidth + 8, y + (rowHeight - kBarHeight) / 2.0, barWidth, kBarHeight);
        CardPainter::paintRounded(p, track, 3, withOpacity(m_palette.secondaryText, 0.15));
        const double filled = track.width() * barFraction(i);
        if (filled > 0) {
            CardPainter::paintRounded(p, QRectF(track.topLeft(), QSizeF(filled, kBarHeight)), 3,
                isHighlighted(i) ? m_palette.accent : withOpacity(m_palette.secondaryText, 0.4));
        }
        p.setFont(caption2);
        p.setPen(m_palette.secondaryText);
        p.drawText(QRect(kMargin + inner - kValueWidth, y, kValueWidth, rowHeight), Qt::AlignRight | Qt::AlignVCenter,
            NumberText::wholeText(row.memoryGB) + QStringLiteral("GB"));
        y += rowHeight + kRowGap;
    }
    y += kSpacing - kRowGap;
    p.setFont(caption);
    p.setPen(m_palette.secondaryText);
    p.drawText(QRect(kMargin, y, inner, height() - y - kMargin), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
        rankSentence());
}
