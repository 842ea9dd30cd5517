#include "ActionCardView.h"

#include "core/PoolWork.h"
#include "records/ThemeManager.h"
#include "ui/CardPainter.h"
#include "ui/Clock.h"
#include "ui/ColorDot.h"
#include "ui/Contrast.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/Labels.h"
#include "ui/SymbolIcon.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr double kCornerRadius = 6;
// The faint shadow one point below the card, which shows through the translucent card.
constexpr QColor kShadow(0, 0, 0, 13);

} // namespace

namespace {

// The small "xmark" in the top right corner.
class DismissButton : public QAbstractButton
{
public:
    explicit DismissButton(QWidget* parent)
        : QAbstractButton(parent)
    {
        setFixedSize(12, 12);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(ActionCardView::tr("Dismiss"));
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
        SymbolIcon::paint(p, rect(), QStringLiteral("xmark"), isEnabled() ? m_color : withOpacity(m_color, 0.4), 9);
    }

private:
    QColor m_color;
};

ActionCardView::Result resultOf(QFuture<ActionCardView::Result> future)
{
    try {
        future.waitForFinished(); // rethrows what the work threw
        if (future.isCanceled() || future.resultCount() == 0)
            return {false, ActionCardView::tr("The action was cancelled.")};
        return future.result();
    } catch (const std::exception& e) {
        return {false, QString::fromUtf8(e.what())};
    } catch (...) {
        return {false, ActionCardView::tr("The action failed.")};
    }
}

} // namespace

// The Execute button: its label follows the card's state, on the urgency colour, green once done and
// red once failed.
class ActionCardView::ExecuteButton : public QAbstractButton
{
public:
    explicit ExecuteButton(QWidget* parent)
        : QAbstractButton(parent)
    {
        setCursor(Qt::PointingHandCursor);
        m_spin.setInterval(40);
        connect(&m_spin, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 14) % 360;
            update();
        });
    }
    void set(State state, const QColor& fill, const QColor& foreground)
    {
        m_state = state;
        m_fill = fill;
        m_foreground = foreground;
        setText(textFor(state));
        setAccessibleName(text());
        if (state == State::executing)
            m_spin.start();
        else
            m_spin.stop();
        updateGeometry();
        update();
    }
    static QString textFor(State state)
    {
        switch (state) {
        case State::executing:
            return ActionCardView::tr("Executing...");
        case State::done:
            return ActionCardView::tr("Done");
        case State::failed:
            return ActionCardView::tr("Failed");
        case State::ready:
            break;
        }
        return ActionCardView::tr("Execute");
    }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(Fonts::system(10, QFont::Bold));
        return {8 + leading() + fm.horizontalAdvance(text()) + 8, 3 + std::max(fm.height(), 12) + 3};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(p, rect(), 4, m_fill);
        double x = 8;
        const double mid = height() / 2.0;
        if (m_state == State::executing) {
            // A small indicator: 16 scaled to 0.7.
            const QRectF r(x + 1, mid - 5, 10, 10);
            p.setPen(QPen(withOpacity(m_foreground, 0.25), 1.5));
            p.drawEllipse(r);
            p.setPen(QPen(m_foreground, 1.5, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(r, (90 - m_angle) * 16, -100 * 16);
        } else if (m_state == State::done || m_state == State::failed) {
            SymbolIcon::paint(p, QRectF(x, mid - 6, 12, 12),
                m_state == State::done ? QStringLiteral("checkmark") : QStringLiteral("exclamationmark"), m_foreground,
                9);
        }
        x += leading();
        p.setFont(Fonts::system(10, QFont::Bold));
        p.setPen(m_foreground);
        p.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    // The indicator or symbol before the text, with its spacing of 4.
    int leading() const { return m_state == State::ready ? 0 : 12 + 4; }

    State m_state = State::ready;
    QColor m_fill;
    QColor m_foreground;
    QTimer m_spin;
    int m_angle = 0;
};

QColor ActionCardView::urgencyColor(CardInfo::Urgency urgency)
{
    switch (urgency) {
    case CardInfo::Urgency::warning:
        return Palette::statusAmber();
    case CardInfo::Urgency::critical:
        return Palette::statusRed();
    case CardInfo::Urgency::info:
        break;
    }
    return Palette::statusBlue();
}

ActionCardView::ActionCardView(CardInfo card, ThemeManager& themes, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_card(std::move(card))
    , m_clock(clock)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    // As tall as its content, whatever room its host offers.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    // The urgency dot: 8 x 8 with 4 of space above it.
    m_dot = new ColorDot(QSize(8, 12), QRectF(0, 4, 8, 8), this);
    m_dot->setColor(urgencyColor(m_card.urgency));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    // The title wraps as far as it needs; the description stops at two lines.
    m_title = new ElidedLabel(m_card.title, 8, this);
    m_title->setFont(Fonts::system(12, QFont::Bold));
    m_description = new ElidedLabel(m_card.description, 2, this);
    m_description->setFont(Fonts::system(11));
    texts->addWidget(m_title);
    texts->addWidget(m_description);
    texts->addStretch(1);
    m_dismiss = new DismissButton(this);
    top->addWidget(m_dot, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    top->addWidget(m_dismiss, 0, Qt::AlignTop);
    column->addLayout(top);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(8);
    m_impact = new QLabel(m_card.estimatedImpact, this);
    m_impact->setFont(Fonts::system(10, QFont::Bold));
    m_impact->setTextFormat(Qt::PlainText);
    m_note = new ElidedLabel(QString(), 4, this);
    m_note->setFont(Fonts::system(10, QFont::Medium));
    m_note->hide();
    m_execute = new ExecuteButton(this);
    // Impact and note never show together; the one shown takes the room beside Execute.
    bottom->addWidget(m_impact, 1);
    bottom->addWidget(m_note, 1);
    bottom->addWidget(m_execute, 0, Qt::AlignVCenter);
    column->addLayout(bottom);

    connect(m_execute, &QAbstractButton::clicked, this, &ActionCardView::execute);
    connect(m_dismiss, &QAbstractButton::clicked, this, [this] {
        if (m_card.onDismiss)
            m_card.onDismiss();
    });
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        applyTheme();
    });
    applyTheme();
}

QAbstractButton* ActionCardView::executeButton() const
{
    return m_execute;
}

QAbstractButton* ActionCardView::dismissButton() const
{
    return m_dismiss;
}

QString ActionCardView::executeText() const
{
    return m_execute->text();
}

void ActionCardView::setContent(const CardInfo& card)
{
    m_card.title = card.title;
    m_card.description = card.description;
    m_card.estimatedImpact = card.estimatedImpact;
    m_card.urgency = card.urgency;
    m_card.unavailable = card.unavailable;
    m_title->setText(card.title);
    m_description->setText(card.description);
    m_impact->setText(card.estimatedImpact);
    m_dot->setColor(urgencyColor(card.urgency));
    applyTheme();
    update();
}

void ActionCardView::execute()
{
    if (m_state != State::ready || !m_card.unavailable.isEmpty())
        return;
    m_state = State::executing;
    applyState();
    QFuture<Result> future;
    try {
        if (m_card.onExecute)
            future = m_card.onExecute();
        else
            future = QtFuture::makeReadyFuture(Result {true, {}});
    } catch (const std::exception& e) {
        finish({false, QString::fromUtf8(e.what())});
        return;
    }
    // A card that is gone by then is not touched; a cancelled or failed future is reported as well.
    whenFinished(future, this, [this](const QFuture<Result>& finished) { finish(resultOf(finished)); });
}

void ActionCardView::finish(const Result& result)
{
    if (m_state != State::executing)
        return;
    if (!result.success) {
        // A failure stays on screen with its reason until the user dismisses the card.
        m_state = State::failed;
        m_failure = result.message.isEmpty() ? tr("The action failed.") : result.message;
        applyState();
        return;
    }
    m_state = State::done;
    applyState();
    m_clock.singleShot(kDismissDelayMs, this, [this] {
        if (m_card.onDismiss)
            m_card.onDismiss();
    });
}

void ActionCardView::showState(State state, const QString& failure)
{
    m_state = state;
    m_failure = failure;
    applyState();
}

void ActionCardView::applyState()
{
    const bool unavailable = m_state == State::ready && !m_card.unavailable.isEmpty();
    const QColor fill = m_state == State::done ? m_palette.green
        : m_state == State::failed             ? m_palette.red
        : unavailable                          ? withOpacity(urgencyColor(m_card.urgency), 0.35)
                                               : urgencyColor(m_card.urgency);
    m_execute->set(m_state, fill, m_palette.onTint());
    m_execute->setEnabled(m_state == State::ready && !unavailable);
    m_execute->setToolTip(m_state == State::failed ? m_failure : QString());
    m_dismiss->setEnabled(m_state != State::executing);

    const bool failed = m_state == State::failed;
    const QString note = failed ? m_failure : unavailable ? m_card.unavailable : QString();
    m_note->setText(note);
    m_note->setColor(failed ? Contrast::readableShade(m_palette.red, m_under) : m_palette.secondaryText);
    m_note->setVisible(!note.isEmpty());
    m_impact->setVisible(note.isEmpty());
    fitLabels(width());
}

void ActionCardView::applyTheme()
{
    m_title->setColor(m_palette.text);
    m_description->setColor(m_palette.secondaryText);
    static_cast<DismissButton*>(m_dismiss)->setColor(m_palette.secondaryText);
    // The urgency colour, shaded where the theme's card is too light for it (amber on the light theme).
    m_under = Contrast::over(withOpacity(m_palette.card, 0.8), Contrast::over(kShadow, m_palette.background));
    Labels::setLabelColor(m_impact, Contrast::readableShade(urgencyColor(m_card.urgency), m_under));
    applyState();
    update();
}

void ActionCardView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.5);
    // A faint shadow one point below, then the card and its urgency outline.
    CardPainter::paintRounded(p, r.translated(0, 1), kCornerRadius, kShadow);
    CardPainter::paintRounded(
        p, r, kCornerRadius, withOpacity(m_palette.card, 0.8), withOpacity(urgencyColor(m_card.urgency), 0.3), 1);
}

void ActionCardView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitLabels(event->size().width());
}

void ActionCardView::fitLabels(int cardWidth)
{
    const auto fit = [](ElidedLabel* label, int width) {
        const int lines = std::max<int>(1, int(label->lines(std::max(1, width)).size()));
        label->setFixedHeight(lines * QFontMetrics(label->font()).height());
    };
    // Title and description take the height of the lines they draw, never more. Their width follows
    // from the card's: padding 10, the dot, the dismiss control and two gaps of 8.
    for (ElidedLabel* label : {m_title, m_description})
        fit(label, cardWidth - 10 - 8 - 8 - 8 - 12 - 10);
    // The note shares its row with Execute: padding 10 on each side and a gap of 8.
    fit(m_note, cardWidth - 10 - 10 - 8 - m_execute->sizeHint().width());
}
