#include "ThermalIndicatorView.h"

#include "records/ThemeManager.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace {

// The level's dot with its soft glow below.
class GlowDot : public QWidget
{
public:
    explicit GlowDot(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(10, 11);
    }
    void setColor(const QColor& color)
    {
        m_color = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(withOpacity(m_color, 0.4));
        p.drawEllipse(QRectF(0, 2, 10, 9));
        p.setBrush(m_color);
        p.drawEllipse(QRectF(1, 1, 8, 8));
    }

private:
    QColor m_color;
};

void setLabelColor(QWidget* label, const QColor& color)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
}

} // namespace

ThermalIndicatorView::ThermalIndicatorView(const QVThermalState& state, ThemeManager& themes, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 4, 0, 4);
    row->setSpacing(8);
    m_dot = new GlowDot(this);
    m_name = new QLabel(this);
    m_name->setTextFormat(Qt::PlainText);
    m_name->setFont(Fonts::system(12, QFont::DemiBold));
    m_warning = new QLabel(tr("⚠️ Throttling risk"), this);
    m_warning->setFont(Fonts::system(11, QFont::Bold));
    setLabelColor(m_warning, Palette::statusOrange());
    m_spacer = new QWidget(this);
    m_spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    m_offending = new ElidedLabel(QString(), 1, this);
    m_offending->setFont(Fonts::system(10, QFont::Medium));
    m_offending->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_offending->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    row->addWidget(m_dot);
    row->addWidget(m_name);
    row->addWidget(m_warning);
    row->addWidget(m_spacer, 1);
    row->addWidget(m_offending);
    row->addStretch(0);
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        refresh();
    });
    refresh();
}

QColor ThermalIndicatorView::levelColor(QVThermalState::Level level)
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
    }
    return Palette::statusGreen();
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
    static_cast<GlowDot*>(m_dot)->setColor(levelColor(m_state.level));
    m_name->setText(stateText());
    setLabelColor(m_name, m_palette.text);
    m_warning->setVisible(showsWarning());
    const QString offending = offendingText();
    // Without an offending process there is no spacer: the strip keeps to its content.
    m_spacer->setVisible(!offending.isEmpty());
    m_offending->setVisible(!offending.isEmpty());
    m_offending->setText(offending);
    m_offending->setColor(m_palette.secondaryText);
}
