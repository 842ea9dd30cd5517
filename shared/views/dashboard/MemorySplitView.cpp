#include "MemorySplitView.h"

#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <cmath>

namespace {

constexpr double kLegendTop = MemorySplitView::kBarHeight + 10;
constexpr double kLegendDot = 8;
constexpr double kLegendRowHeight = 14;
constexpr double kLegendRowSpacing = 4;

QString gb(double value)
{
    return NumberText::numberText("%.1f", value);
}

const QString kWarningSign = QStringLiteral("⚠️");

} // namespace

MemorySplitView::MemorySplitView(
    const SystemMemoryState& state, std::vector<OllamaModel> loadedModels, ThemeManager& themes, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_loadedModels(std::move(loadedModels))
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(tr("Memory split"));
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        update();
    });
}

void MemorySplitView::setState(const SystemMemoryState& state, std::vector<OllamaModel> loadedModels)
{
    const bool rowsChange = m_loadedModels.empty() != loadedModels.empty();
    m_state = state;
    m_loadedModels = std::move(loadedModels);
    if (rowsChange)
        updateGeometry();
    update();
}

QColor MemorySplitView::headroomColor(double headroomGB)
{
    if (headroomGB < 8.0)
        return Palette::statusRed();
    if (headroomGB < 16.0)
        return Palette::statusAmber();
    return Palette::statusGreen();
}

QColor MemorySplitView::modelColor(int index)
{
    static const QColor colors[] = {
        QColor::fromRgbF(0.55f, 0.35f, 0.95f),
        QColor::fromRgbF(0.7f, 0.45f, 0.95f),
        QColor::fromRgbF(0.4f, 0.2f, 0.85f),
    };
    return colors[index % 3];
}

QList<MemorySplitView::Segment> MemorySplitView::segments(
    const SystemMemoryState& state, const std::vector<OllamaModel>& loadedModels, double barWidth)
{
    const auto width = [&](double value) {
        if (!(state.totalGB > 0))
            return 0.0;
        const double w = barWidth * value / state.totalGB;
        // A non-finite figure draws the minimum sliver rather than an undefined width.
        return std::isfinite(w) && w > kMinimumWidth ? w : kMinimumWidth;
    };
    QList<Segment> out;
    if (state.systemUsedGB > 0) {
        out.append({width(state.systemUsedGB), Palette::statusBlue(),
            tr("System Memory: ") + gb(state.systemUsedGB) + QStringLiteral(" GB")});
    }
    for (std::size_t i = 0; i < loadedModels.size(); ++i) {
        const OllamaModel& model = loadedModels[i];
        out.append({width(model.estimatedRAMFootprintGB), modelColor(int(i)),
            QString::fromStdString(model.name) + QStringLiteral(": ") + gb(model.estimatedRAMFootprintGB)
                + QStringLiteral(" GB")});
    }
    const double headroom = state.headroomGB();
    if (headroom > 0) {
        out.append(
            {width(headroom), headroomColor(headroom), tr("Free Headroom: ") + gb(headroom) + QStringLiteral(" GB")});
    }
    if (state.swapUsedGB > 0.1) {
        out.append({width(state.swapUsedGB), Palette::statusRed(),
            tr("Swap Usage: ") + gb(state.swapUsedGB) + QStringLiteral(" GB")});
    }
    return out;
}

QStringList MemorySplitView::legendTexts() const
{
    QStringList rows {tr("System: ") + gb(m_state.systemUsedGB) + QStringLiteral("GB")};
    if (!m_loadedModels.empty())
        rows << tr("Models: ") + gb(m_state.aiModelsGB) + QStringLiteral("GB");
    return rows;
}

bool MemorySplitView::showsHeadroomWarning() const
{
    return m_state.headroomGB() < 8.0;
}

QString MemorySplitView::headroomText() const
{
    return gb(m_state.headroomGB()) + tr("GB headroom");
}

QSize MemorySplitView::sizeHint() const
{
    const int rows = m_loadedModels.empty() ? 1 : 2;
    const double legend = rows * kLegendRowHeight + (rows - 1) * kLegendRowSpacing;
    return {300, qCeil(kLegendTop + legend) + 1};
}

QSize MemorySplitView::minimumSizeHint() const
{
    return {120, sizeHint().height()};
}

void MemorySplitView::paintBar(QPainter& p, const QRectF& bar) const
{
    // The soft shadow under the bar.
    QPainterPath shape;
    shape.addRoundedRect(bar, 6, 6);
    p.fillPath(shape.translated(0, 1), QColor(0, 0, 0, qRound(0.12 * 255)));

    p.save();
    p.setClipPath(shape);
    double x = bar.left();
    for (const Segment& s : segments(m_state, m_loadedModels, bar.width())) {
        if (s.width > 0)
            p.fillRect(QRectF(x, bar.top(), s.width, bar.height()), s.color);
        x += s.width + kGap;
    }
    p.restore();
}

void MemorySplitView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintBar(p, QRectF(0, 0, width(), kBarHeight));

    // Legend column.
    p.setFont(Fonts::system(11, QFont::Medium));
    const QStringList texts = legendTexts();
    const QColor dots[] = {Palette::statusBlue(), modelColor(0)};
    double y = kLegendTop;
    double legendRight = 0;
    for (int i = 0; i < texts.size(); ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(dots[i]);
        p.drawEllipse(QRectF(0, y + (kLegendRowHeight - kLegendDot) / 2, kLegendDot, kLegendDot));
        p.setPen(m_palette.secondaryText);
        const QRectF textRect(kLegendDot + 6, y, width() - kLegendDot - 6, kLegendRowHeight);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, texts[i]);
        legendRight = std::max(legendRight, textRect.left() + p.fontMetrics().horizontalAdvance(texts[i]));
        y += kLegendRowHeight + kLegendRowSpacing;
    }

    // Headroom figure at the trailing edge, top-aligned with the legend.
    const QFont figureFont = Fonts::system(12, QFont::Bold);
    const QString figure = headroomText();
    const double figureWidth = QFontMetricsF(figureFont).horizontalAdvance(figure);
    double x = width() - figureWidth;
    p.setFont(figureFont);
    p.setPen(headroomColor(m_state.headroomGB()));
    p.drawText(QRectF(x, kLegendTop, figureWidth + 1, kLegendRowHeight), Qt::AlignLeft | Qt::AlignVCenter, figure);
    if (showsHeadroomWarning()) {
        const QFont signFont = Fonts::emoji(11);
        const double signWidth = QFontMetricsF(signFont).horizontalAdvance(kWarningSign);
        x -= 6 + signWidth;
        p.setFont(signFont);
        p.drawText(
            QRectF(x, kLegendTop, signWidth + 1, kLegendRowHeight), Qt::AlignLeft | Qt::AlignVCenter, kWarningSign);
    }
}

bool MemorySplitView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QPointF pos = help->pos();
        if (pos.y() >= 0 && pos.y() <= kBarHeight) {
            double x = 0;
            for (const Segment& s : segments(m_state, m_loadedModels, width())) {
                if (pos.x() >= x && pos.x() < x + s.width) {
                    QToolTip::showText(help->globalPos(), s.toolTip, this);
                    return true;
                }
                x += s.width + kGap;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}
