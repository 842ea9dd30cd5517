#include "QuestionnaireChoices.h"

#include "AdvisorStyle.h"
#include "AdvisorTexts.h"

#include "ui/CardPainter.h"
#include "ui/SymbolIcon.h"

#include <QPainter>

using AdvisorStyle::TextStyle;

namespace {

constexpr double kRadius = 8;
constexpr int kCheckSize = 16;
const QString kCheck = QStringLiteral("checkmark.circle.fill");

} // namespace

ChoiceButton::ChoiceButton(QWidget* parent)
    : QAbstractButton(parent)
    , m_palette(Palette::current())
{
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ChoiceButton::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    setAccessibleDescription(selected ? tr("Selected") : QString());
    update();
}

void ChoiceButton::paintBackground(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fill = m_selected ? m_palette.accent : withOpacity(m_palette.secondaryText, 0.1);
    CardPainter::paintRounded(
        painter, rect(), kRadius, fill, hasFocus() ? withOpacity(m_palette.accent, 0.9) : QColor(), 1.5);
}

QColor ChoiceButton::foreground() const
{
    return m_selected ? m_palette.onTint(m_palette.accent) : m_palette.text;
}

QColor ChoiceButton::accentOrForeground() const
{
    return m_selected ? m_palette.onTint(m_palette.accent) : m_palette.accent;
}

QColor ChoiceButton::secondary() const
{
    return m_selected ? withOpacity(m_palette.onTint(m_palette.accent), 0.8) : m_palette.secondaryText;
}

UseCaseCard::UseCaseCard(UseCase useCase, QWidget* parent)
    : ChoiceButton(parent)
    , m_useCase(useCase)
{
    setText(rawText(useCase));
    setAccessibleName(text());
}

QSize UseCaseCard::sizeHint() const
{
    // Room for two lines, so the longer use cases wrap instead of being cut.
    return {160, std::max(20, 2 * QFontMetrics(AdvisorStyle::font(TextStyle::caption, QFont::Medium)).height()) + 20};
}

void UseCaseCard::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintBackground(p);
    const double side = 20;
    SymbolIcon::paint(p, QRectF(12, (height() - side) / 2, side, side), QString::fromStdString(::icon(m_useCase)),
        accentOrForeground(), 17);
    p.setFont(AdvisorStyle::font(TextStyle::caption, QFont::Medium));
    p.setPen(foreground());
    const QRectF textRect(12 + side + 10, 0, width() - 12 - side - 10 - 12, height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text());
}

SpeedPreferenceRow::SpeedPreferenceRow(UserRecommendationContext::SpeedPreference preference, QWidget* parent)
    : ChoiceButton(parent)
    , m_preference(preference)
{
    setText(rawText(preference));
    setAccessibleName(text());
}

QSize SpeedPreferenceRow::sizeHint() const
{
    return {300, QFontMetrics(AdvisorStyle::font(TextStyle::body)).height() + 24};
}

void SpeedPreferenceRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintBackground(p);
    p.setFont(AdvisorStyle::font(TextStyle::body));
    p.setPen(foreground());
    p.drawText(QRectF(12, 0, width() - 24 - kCheckSize, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (isSelected()) {
        SymbolIcon::paint(p, QRectF(width() - 12 - kCheckSize, (height() - kCheckSize) / 2.0, kCheckSize, kCheckSize),
            kCheck, foreground(), 14);
    }
}

ContextLengthRow::ContextLengthRow(UserRecommendationContext::ContextLength length, QWidget* parent)
    : ChoiceButton(parent)
    , m_length(length)
{
    setText(rawText(length));
    setAccessibleName(text() + QStringLiteral(", ") + AdvisorTexts::minimumTokensText(length));
}

QSize ContextLengthRow::sizeHint() const
{
    const int body = QFontMetrics(AdvisorStyle::font(TextStyle::body)).height();
    const int caption = QFontMetrics(AdvisorStyle::font(TextStyle::caption2)).height();
    return {300, body + 2 + caption + 24};
}

void ContextLengthRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintBackground(p);
    const QFont body = AdvisorStyle::font(TextStyle::body);
    const QFont caption = AdvisorStyle::font(TextStyle::caption2);
    const int bodyHeight = QFontMetrics(body).height();
    const int top = (height() - bodyHeight - 2 - QFontMetrics(caption).height()) / 2;
    p.setFont(body);
    p.setPen(foreground());
    p.drawText(QRect(12, top, width() - 24 - kCheckSize, bodyHeight), Qt::AlignLeft | Qt::AlignVCenter, text());
    p.setFont(caption);
    p.setPen(secondary());
    p.drawText(QRect(12, top + bodyHeight + 2, width() - 24 - kCheckSize, QFontMetrics(caption).height()),
        Qt::AlignLeft | Qt::AlignVCenter, AdvisorTexts::minimumTokensText(m_length));
    if (isSelected()) {
        SymbolIcon::paint(p, QRectF(width() - 12 - kCheckSize, (height() - kCheckSize) / 2.0, kCheckSize, kCheckSize),
            kCheck, foreground(), 14);
    }
}

ToggleCard::ToggleCard(const QString& label, const QString& icon, QWidget* parent)
    : ChoiceButton(parent)
    , m_label(label)
    , m_icon(icon)
{
    setText(label);
    setAccessibleName(label);
}

QSize ToggleCard::sizeHint() const
{
    return {200, 16 + 30 + 12 + QFontMetrics(AdvisorStyle::font(TextStyle::caption, QFont::DemiBold)).height() + 16};
}

void ToggleCard::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    paintBackground(p);
    const QFont font = AdvisorStyle::font(TextStyle::caption, QFont::DemiBold);
    const int textHeight = QFontMetrics(font).height();
    const double top = (height() - 30 - 12 - textHeight) / 2.0;
    SymbolIcon::paint(p, QRectF((width() - 30) / 2.0, top, 30, 30), m_icon, accentOrForeground(), 26);
    p.setFont(font);
    p.setPen(foreground());
    p.drawText(QRectF(16, top + 30 + 12, width() - 32, textHeight), Qt::AlignCenter, m_label);
}
