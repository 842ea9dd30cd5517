#include "TourOverlay.h"

#include "PopoverState.h"
#include "PopoverStyle.h"
#include "PopoverTourCard.h"
#include "TourButtonRow.h"
#include "WelcomeCard.h"

#include "records/ThemeManager.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>

namespace {

constexpr int kCardInset = 12;
constexpr int kShadowRadius = 6;

void connectButtons(TourButtonRow* row, PopoverState& state)
{
    QObject::connect(row->back(), &QPushButton::clicked, &state, &PopoverState::tourBack);
    QObject::connect(row->skip(), &QPushButton::clicked, &state, &PopoverState::tourSkip);
    QObject::connect(row->next(), &QPushButton::clicked, &state, &PopoverState::tourNext);
}

} // namespace

TourOverlay::TourOverlay(PopoverState& state, ThemeManager& themes, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_palette(Palette::forTheme(themes.currentTheme()))
    , m_welcome(new WelcomeCard(state, m_palette, PopoverStyle::logo(), this))
    , m_card(new PopoverTourCard(m_palette, this))
    , m_opacity(new QGraphicsOpacityEffect(this))
    , m_fade(new QPropertyAnimation(m_opacity, "opacity", this))
{
    hide();
    connectButtons(m_welcome->buttons(), state);
    connectButtons(m_card->buttons(), state);
    // The effect costs an offscreen pass per frame, so it is on only while fading.
    m_opacity->setEnabled(false);
    setGraphicsEffect(m_opacity);
    m_fade->setDuration(kFadeMs);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        m_opacity->setEnabled(false);
        if (!m_state.tourActive())
            hide();
    });
    connect(&state, &PopoverState::tourChanged, this, &TourOverlay::sync);
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        m_welcome->applyPalette(p);
        m_card->applyPalette(p);
        update();
    });
}

void TourOverlay::setFacts(const TourTexts::Facts& facts)
{
    if (facts == m_facts)
        return;
    m_facts = facts;
    m_welcome->setFacts(facts);
    m_card->setFacts(facts);
    placeCard();
}

void TourOverlay::sync()
{
    const int step = m_state.tourStep();
    if (m_state.tourActive()) {
        const bool welcome = step < 3;
        m_welcome->setStep(step);
        m_card->setStep(step);
        m_welcome->setVisible(welcome);
        m_card->setVisible(!welcome);
        placeCard();
        update();
        if (isHidden() || m_fade->endValue().toDouble() < 1)
            fade(true);
        // The keyboard stays with the tour: Next of the card on screen takes the focus when nothing of
        // the overlay holds it.
        QWidget* focused = QApplication::focusWidget();
        if (!focused || !isAncestorOf(focused) || !focused->isVisible())
            (welcome ? m_welcome->buttons() : m_card->buttons())->next()->setFocus(Qt::OtherFocusReason);
        return;
    }
    // Off screen (the popover is closing) there is nothing to fade: gone at once, so a reopened popover
    // shows no overlay.
    const bool onScreen = isVisible() && window()->isVisible() && (!parentWidget() || parentWidget()->isVisible());
    if (!onScreen) {
        m_fade->stop();
        m_opacity->setEnabled(false);
        hide();
        return;
    }
    fade(false);
}

void TourOverlay::fade(bool in)
{
    const double from = m_opacity->isEnabled() ? m_opacity->opacity() : (in ? 0.0 : 1.0);
    m_fade->stop();
    m_opacity->setOpacity(from);
    m_opacity->setEnabled(true);
    if (in) {
        show();
        raise();
    }
    m_fade->setStartValue(from);
    m_fade->setEndValue(in ? 1.0 : 0.0);
    m_fade->start();
}

void TourOverlay::settle()
{
    if (m_fade->state() != QAbstractAnimation::Running)
        return;
    m_fade->setCurrentTime(m_fade->duration());
}

void TourOverlay::placeCard()
{
    const int width = this->width() - 2 * kCardInset;
    const int height = m_card->hasHeightForWidth() ? m_card->heightForWidth(width) : m_card->sizeHint().height();
    m_card->setGeometry(kCardInset, this->height() - kCardInset - height, width, height);
}

void TourOverlay::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_welcome->setGeometry(rect());
    placeCard();
}

void TourOverlay::paintEvent(QPaintEvent*)
{
    // Under the tour card the dashboard stays in view, dimmed.
    if (m_state.tourStep() < 3)
        return;
    QPainter p(this);
    p.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.25f));
    // The card's soft shadow, painted here rather than by a graphics effect, which cannot nest inside
    // the fade's: rings from the outside in, darkening towards the card's edge.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgbF(0, 0, 0, 0.33f / kShadowRadius));
    const QRectF card = m_card->geometry();
    for (int i = kShadowRadius; i >= 1; --i)
        p.drawRoundedRect(card.adjusted(-i, -i, i, i), PopoverTourCard::kRadius + i, PopoverTourCard::kRadius + i);
}
