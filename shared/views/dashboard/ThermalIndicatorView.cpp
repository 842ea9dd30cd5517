#include "ThermalIndicatorView.h"

#include "records/ThemeManager.h"
#include "ui/ColorDot.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/Labels.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <initializer_list>

namespace {

// The level's dot with its soft glow below.
class GlowDot : public TintedWidget
{
public:
    explicit GlowDot(QWidget* parent)
        : TintedWidget(QSize(10, 11), parent)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(withOpacity(color(), 0.4));
        p.drawEllipse(QRectF(0, 2, 10, 9));
        p.setBrush(color());
        p.drawEllipse(QRectF(1, 1, 8, 8));
    }
};

} // namespace

ThermalIndicatorView::ThermalIndicatorView(const QVThermalState& state, ThemeManager& themes, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_dot = new GlowDot(this);
    m_name = new ElidedLabel(QString(), 1, this);
    m_name->setFont(Fonts::system(12, QFont::DemiBold));
    m_warning = new QLabel(tr("⚠️ Throttling risk"), this);
    m_warning->setFont(Fonts::system(11, QFont::Bold));
    Labels::setLabelColor(m_warning, Palette::statusOrange());
    m_offending = new ElidedLabel(QString(), 1, this);
    m_offending->setFont(Fonts::system(10, QFont::Medium));
    m_offending->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        refresh();
    });
    refresh();
}

std::optional<QColor> ThermalIndicatorView::levelColor(QVThermalState::Level level)
{
    switch (level) {
    case QVThermalState::Level::balanced:
        return Palette::statusGreen();
    case QVThermalState::Level::warm:
        return Palette::statusAmber();
    case QVThermalState::Level::throttling:
        return Palette::statusOrange();
    case QVThermalState::Level::critical:
        return Palette::statusRed();
    case QVThermalState::Level::unknown:
        break;
    }
    return std::nullopt;
}

void ThermalIndicatorView::setState(const QVThermalState& state)
{
    m_state = state;
    refresh();
}

QString ThermalIndicatorView::stateText() const
{
    return tr("Thermal state: ") + QString::fromStdString(m_state.displayName);
}

bool ThermalIndicatorView::showsWarning() const
{
    return m_state.shouldAlert;
}

QString ThermalIndicatorView::offendingText() const
{
    if (!m_state.topOffendingProcess)
        return {};
    return tr("Offending: ") + QString::fromStdString(*m_state.topOffendingProcess);
}

void ThermalIndicatorView::refresh()
{
    static_cast<GlowDot*>(m_dot)->setColor(levelColor(m_state.level).value_or(m_palette.secondaryText));
    m_name->setText(stateText());
    m_name->setColor(m_palette.text);
    m_warning->setVisible(showsWarning());
    const QString offending = offendingText();
    m_offending->setVisible(!offending.isEmpty());
    m_offending->setText(offending);
    m_offending->setColor(m_palette.secondaryText);
    updateGeometry();
    placeChildren();
}

QSize ThermalIndicatorView::sizeHint() const
{
    int width = m_dot->sizeHint().width() + kSpacing + m_name->sizeHint().width();
    if (!m_warning->isHidden())
        width += kSpacing + m_warning->sizeHint().width();
    if (!m_offending->isHidden())
        width += kSpacing + m_offending->sizeHint().width();
    return {width, rowHeight() + 2 * kPadding};
}

QSize ThermalIndicatorView::minimumSizeHint() const
{
    // The name and the offending process shrink to their ellipsis; the dot and the warning keep their size.
    int width = m_dot->sizeHint().width() + kSpacing + m_name->minimumSizeHint().width();
    if (!m_warning->isHidden())
        width += kSpacing + m_warning->sizeHint().width();
    if (!m_offending->isHidden())
        width += kSpacing + m_offending->minimumSizeHint().width();
    return {width, rowHeight() + 2 * kPadding};
}

int ThermalIndicatorView::rowHeight() const
{
    int height = 0;
    for (QWidget* w : std::initializer_list<QWidget*> {m_dot, m_name, m_warning, m_offending})
        height = std::max(height, w->sizeHint().height());
    return height;
}

void ThermalIndicatorView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeChildren();
}

void ThermalIndicatorView::placeChildren()
{
    const auto place = [this](QWidget* w, int x, int width) {
        const int height = w->sizeHint().height();
        w->setGeometry(x, (this->height() - height) / 2, std::max(0, width), height);
    };
    int x = 0;
    place(m_dot, x, m_dot->sizeHint().width());
    x += m_dot->width() + kSpacing;
    // The name keeps its whole text while the row has room for it; the offending process, pushed to the
    // trailing edge, takes what is left and ends in "…" (nothing of it when not even that fits).
    const int warning = m_warning->isHidden() ? 0 : kSpacing + m_warning->sizeHint().width();
    const int name
        = std::max(m_name->minimumSizeHint().width(), std::min(m_name->sizeHint().width(), width() - x - warning));
    place(m_name, x, name);
    x += name;
    if (!m_warning->isHidden()) {
        x += kSpacing;
        place(m_warning, x, m_warning->sizeHint().width());
        x += m_warning->width();
    }
    if (!m_offending->isHidden()) {
        x += kSpacing;
        int offending = std::min(m_offending->sizeHint().width(), std::max(0, width() - x));
        if (offending < m_offending->minimumSizeHint().width() * 4)
            offending = 0;
        place(m_offending, width() - offending, offending);
    }
}
