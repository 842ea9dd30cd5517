#include "CommandBox.h"

#include "AdvisorStyle.h"

#include "ui/CardPainter.h"
#include "ui/CopyButton.h"
#include "ui/Fonts.h"

#include <QBoxLayout>
#include <QPainter>

namespace {

// The command itself, elided in the middle so both the tool and the model name stay readable.
class MiddleElidedText : public QWidget
{
public:
    MiddleElidedText(const QString& text, const QFont& font, const QColor& color)
        : m_text(text)
        , m_color(color)
    {
        setFont(font);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setToolTip(text);
        setAccessibleName(text);
    }
    QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(m_text), fontMetrics().height()}; }
    QSize minimumSizeHint() const override { return {40, fontMetrics().height()}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(m_color);
        p.drawText(
            rect(), Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(m_text, Qt::ElideMiddle, width()));
    }

private:
    QString m_text;
    QColor m_color;
};

} // namespace

CommandBox::CommandBox(const AdvisorTexts::CommandOffer& offer, Desktop& desktop, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_palette(Palette::current())
    , m_text(offer.command.isEmpty() && !offer.whereToGet.isEmpty() ? offer.whereToGet : offer.command)
    , m_isCommand(!offer.command.isEmpty() || offer.whereToGet.isEmpty())
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 8, 8, 8);
    const QFont font = m_isCommand ? Fonts::monospaced(10) : AdvisorStyle::font(AdvisorStyle::TextStyle::caption);
    m_textArea = new MiddleElidedText(m_text, font, m_palette.text);
    row->addWidget(m_textArea, 1);
    if (m_isCommand) {
        const QString command = offer.command;
        m_copy = new CopyButton(
            tr("Copy"), [command] { return command; }, desktop, clock);
        m_copy->setFont(AdvisorStyle::font(AdvisorStyle::TextStyle::caption));
        m_copy->setPadding(8, 3);
        m_copy->setCornerRadius(5);
        m_copy->setColors(m_palette.text, withOpacity(m_palette.secondaryText, 0.18));
        row->addWidget(m_copy);
    }
}

void CommandBox::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    CardPainter::paintRounded(p, rect(), 6, withOpacity(m_palette.secondaryText, 0.08));
}
