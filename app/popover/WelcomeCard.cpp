#include "WelcomeCard.h"

#include "PopoverState.h"
#include "PopoverStyle.h"
#include "TourButtonRow.h"
#include "TourProgressRow.h"
#include "TourTexts.h"

#include "ui/Fonts.h"
#include "ui/Layouts.h"
#include "ui/SymbolIcon.h"

#include <QEasingCurve>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVariantAnimation>

#include <algorithm>
#include <iterator>

namespace {

constexpr int kSlideHeight = 230;
constexpr double kTextLineSpacing = 3;

struct Chip
{
    const char* label;
    QColor Palette::*color;
};

} // namespace

// The slide's picture: the logo on a pale blue circle (step 0) or a large symbol.
class WelcomeHero : public QWidget
{
public:
    WelcomeHero(const QPixmap& logo, QWidget* parent)
        : QWidget(parent)
        , m_logo(logo)
    {
        setFixedSize(80, 80);
    }

    void setContent(const QString& symbol, const QColor& color, const QColor& circle)
    {
        m_symbol = symbol;
        m_color = color;
        m_circle = circle;
        setFixedSize(m_symbol.isEmpty() ? QSize(80, 80) : QSize(48, 44));
        update();
    }
    void setScale(double scale)
    {
        m_scale = scale;
        update();
    }
    double scale() const { return m_scale; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (!m_symbol.isEmpty()) {
            SymbolIcon::paint(p, rect(), m_symbol, m_color, 38);
            return;
        }
        p.setPen(Qt::NoPen);
        p.setBrush(m_circle);
        p.drawEllipse(rect());
        // Without a logo in the resources the circle stands alone.
        if (m_logo.isNull())
            return;
        p.translate(width() / 2.0, height() / 2.0);
        p.scale(m_scale, m_scale);
        const QRectF frame(-24, -24, 48, 48);
        QPainterPath clip;
        clip.addRoundedRect(frame, 10, 10);
        p.setClipPath(clip);
        const QSizeF fitted = QSizeF(m_logo.size()).scaled(frame.size(), Qt::KeepAspectRatio);
        p.drawPixmap(QRectF(QPointF(-fitted.width() / 2, -fitted.height() / 2), fitted), m_logo, m_logo.rect());
    }

private:
    QPixmap m_logo;
    QString m_symbol;
    QColor m_color;
    QColor m_circle;
    double m_scale = 1.0;
};

WelcomeCard::WelcomeCard(PopoverState& state, const Palette& palette, const QPixmap& logo, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_palette(palette)
    , m_progress(new TourProgressRow(palette, this))
    , m_hero(new WelcomeHero(logo, this))
    , m_title(PopoverStyle::label(QString(), Fonts::system(16, QFont::Bold), this))
    , m_text(PopoverStyle::spacedLabel(Fonts::system(11), this))
    , m_chipRow(new QWidget(this))
    , m_chipLayout(new QHBoxLayout(m_chipRow))
    , m_buttons(new TourButtonRow(palette, this))
    , m_pulse(new QVariantAnimation(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* progress = new QVBoxLayout;
    progress->setContentsMargins(16, 16, 16, 0);
    progress->addWidget(m_progress);
    column->addLayout(progress);
    column->addStretch(1);

    auto* slide = new QWidget(this);
    slide->setFixedHeight(kSlideHeight);
    auto* slideColumn = new QVBoxLayout(slide);
    slideColumn->setContentsMargins(0, 0, 0, 0);
    slideColumn->setSpacing(16);
    slideColumn->addStretch(1);
    slideColumn->addWidget(m_hero, 0, Qt::AlignHCenter);
    m_title->setAlignment(Qt::AlignHCenter);
    slideColumn->addWidget(m_title);
    auto* text = new QVBoxLayout;
    text->setContentsMargins(16, 0, 16, 0);
    text->addWidget(m_text);
    slideColumn->addLayout(text);
    m_chipLayout->setContentsMargins(0, 0, 0, 0);
    m_chipLayout->setSpacing(6);
    slideColumn->addWidget(m_chipRow, 0, Qt::AlignHCenter);
    slideColumn->addStretch(1);
    column->addWidget(slide);
    column->addStretch(1);

    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(16, 0, 16, 16);
    buttons->addWidget(m_buttons);
    column->addLayout(buttons);

    // 0 to 2 is one breath out and back; the easing is applied to each half.
    m_pulse->setStartValue(0.0);
    m_pulse->setEndValue(2.0);
    m_pulse->setDuration(2 * kPulseMs);
    m_pulse->setLoopCount(-1);
    connect(m_pulse, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double phase = value.toDouble() <= 1 ? value.toDouble() : 2 - value.toDouble();
        const double eased = QEasingCurve(QEasingCurve::InOutSine).valueForProgress(phase);
        const double scale = m_pulseFrom + (kPulseScale - m_pulseFrom) * eased;
        m_hero->setScale(scale);
        m_state.setLogoScale(scale);
    });
    applyPalette(palette);
}

WelcomeCard::~WelcomeCard() = default;

void WelcomeCard::setStep(int step)
{
    m_step = step;
    m_progress->setStep(step);
    m_buttons->back()->setEnabled(step > 0);
    m_title->setText(TourTexts::title(step));
    PopoverStyle::setSpacedText(m_text, TourTexts::text(step, m_facts), kTextLineSpacing);
    if (step == 1)
        m_hero->setContent(QStringLiteral("cpu"), m_palette.orange, QColor());
    else if (step == 2)
        m_hero->setContent(QStringLiteral("trash"), m_palette.red, QColor());
    else
        m_hero->setContent(QString(), QColor(), withOpacity(m_palette.blue, 0.12));
    rebuildChips();
    updatePulse();
}

void WelcomeCard::setFacts(const TourTexts::Facts& facts)
{
    m_facts = facts;
    setStep(m_step);
}

void WelcomeCard::applyPalette(const Palette& palette)
{
    m_palette = palette;
    m_progress->applyPalette(palette);
    m_buttons->applyPalette(palette);
    PopoverStyle::setLabelColor(m_title, PopoverStyle::foreground(palette.theme));
    PopoverStyle::setLabelColor(m_text, palette.secondaryText);
    setStep(m_step);
    update();
}

QStringList WelcomeCard::chips() const
{
    QStringList labels;
    for (auto* chip : m_chipRow->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
        labels.append(chip->text());
    return labels;
}

void WelcomeCard::rebuildChips()
{
    Layouts::clear(m_chipLayout);
    static const Chip personas[]
        = {{"Compile", &Palette::yellow}, {"AI First", &Palette::blue}, {"Battery", &Palette::green}};
    // Caches of the developer cache table, red where it asks before purging.
    static const Chip sweepers[] = {
        {"npm", &Palette::green}, {"pip", &Palette::green}, {"uv", &Palette::green}, {"Hugging Face", &Palette::red}};
    const bool big = m_step == 1;
    const auto add = [&](const Chip& chip) {
        const QColor color = m_palette.*chip.color;
        auto* label = PopoverStyle::label(
            QString::fromUtf8(chip.label), big ? Fonts::system(9, QFont::Bold) : Fonts::system(8), m_chipRow);
        label->setStyleSheet(QStringLiteral("color: %1; background: rgba(%2, %3, %4, %5); border-radius: %6px;"
                                            " padding: %7;")
                                 .arg(color.name())
                                 .arg(color.red())
                                 .arg(color.green())
                                 .arg(color.blue())
                                 .arg(big ? 0.12 : 0.1)
                                 .arg(big ? 6 : 4)
                                 .arg(big ? QStringLiteral("4px 8px") : QStringLiteral("4px")));
        m_chipLayout->addWidget(label);
    };
    if (m_step == 1)
        std::for_each(std::begin(personas), std::end(personas), add);
    else if (m_step == 2)
        std::for_each(std::begin(sweepers), std::end(sweepers), add);
    m_chipRow->setVisible(m_step == 1 || m_step == 2);
}

bool WelcomeCard::isPulsing() const
{
    return m_pulse->state() == QAbstractAnimation::Running;
}

double WelcomeCard::logoScale() const
{
    return m_hero->scale();
}

void WelcomeCard::updatePulse()
{
    // The logo breathes only while the first slide is on screen, from the scale it has at that moment.
    const bool wanted = m_step == 0 && isVisible();
    if (wanted && !isPulsing()) {
        m_pulseFrom = m_state.logoScale();
        m_hero->setScale(m_pulseFrom);
        m_pulse->start();
    } else if (!wanted && isPulsing()) {
        m_pulse->stop();
    }
}

void WelcomeCard::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), PopoverStyle::background(m_palette.theme));
}

void WelcomeCard::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updatePulse();
}

void WelcomeCard::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    updatePulse();
}
