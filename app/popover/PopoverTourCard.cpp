#include "PopoverTourCard.h"

#include "PopoverStyle.h"
#include "TourButtonRow.h"
#include "TourProgressRow.h"
#include "TourTexts.h"

#include "ui/CardPainter.h"
#include "ui/Fonts.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kTextHeight = 55;
constexpr double kTextLineSpacing = 2;

class Line : public QWidget
{
public:
    explicit Line(QWidget* parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
    }
    QColor color;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), color); }
};

} // namespace

PopoverTourCard::PopoverTourCard(const Palette& palette, QWidget* parent)
    : QWidget(parent)
    , m_palette(palette)
    , m_progress(new TourProgressRow(palette, this))
    , m_title(PopoverStyle::label(QString(), Fonts::system(13, QFont::Bold), this))
    , m_text(PopoverStyle::spacedLabel(Fonts::system(10), this))
    , m_texts(new QWidget(this))
    , m_divider(new Line(this))
    , m_buttons(new TourButtonRow(palette, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 12, 0, 12);
    column->setSpacing(12);
    auto* progress = new QVBoxLayout;
    progress->setContentsMargins(16, 0, 16, 0);
    progress->addWidget(m_progress);
    column->addLayout(progress);

    auto* texts = m_texts;
    auto* textColumn = new QVBoxLayout(texts);
    textColumn->setContentsMargins(16, 0, 16, 0);
    textColumn->setSpacing(8);
    textColumn->addStretch(1);
    m_title->setAlignment(Qt::AlignHCenter);
    textColumn->addWidget(m_title);
    textColumn->addWidget(m_text);
    textColumn->addStretch(1);
    column->addWidget(texts);
    column->addWidget(m_divider);

    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(16, 0, 16, 0);
    buttons->addWidget(m_buttons);
    column->addLayout(buttons);

    applyPalette(palette);
}

void PopoverTourCard::setStep(int step)
{
    m_step = step;
    // Any step outside 3-5 shows the last step's words.
    const int shown = step >= 3 && step <= 5 ? step : 6;
    m_progress->setStep(step);
    m_title->setText(TourTexts::title(shown));
    m_plainText = TourTexts::text(shown, m_facts);
    PopoverStyle::setSpacedText(m_text, m_plainText, kTextLineSpacing);
    m_buttons->next()->setText(step == 6 ? tr("Open Settings") : tr("Next"));
}

void PopoverTourCard::setFacts(const TourTexts::Facts& facts)
{
    m_facts = facts;
    setStep(m_step);
}

void PopoverTourCard::applyPalette(const Palette& palette)
{
    m_palette = palette;
    m_progress->applyPalette(palette);
    m_buttons->applyPalette(palette);
    static_cast<Line*>(m_divider)->color = palette.divider;
    PopoverStyle::setLabelColor(m_title, PopoverStyle::foreground(palette.theme));
    PopoverStyle::setLabelColor(m_text, palette.secondaryText);
    setStep(m_step);
    update();
}

int PopoverTourCard::textBlockHeight(int width) const
{
    // At least the usual height; a text that needs a third line makes the card taller instead of being cut.
    const int needed = m_title->sizeHint().height() + 8 + m_text->heightForWidth(width - 32);
    return std::max(kTextHeight, needed);
}

int PopoverTourCard::heightForWidth(int width) const
{
    // Margins and the three gaps of the column are 12 each; the divider is 1.
    return 5 * 12 + m_progress->sizeHint().height() + textBlockHeight(width) + 1 + m_buttons->sizeHint().height();
}

void PopoverTourCard::resizeEvent(QResizeEvent* event)
{
    m_texts->setFixedHeight(textBlockHeight(width()));
    QWidget::resizeEvent(event);
}

void PopoverTourCard::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    CardPainter::paintRounded(p, rect(), kRadius, PopoverStyle::background(m_palette.theme));
}
