#include "TourCard.h"

#include "SettingsButton.h"
#include "SettingsTour.h"

#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// Four capsules, one per step; the current one in blue.
class TourProgress : public QWidget
{
public:
    explicit TourProgress(SettingsTour& tour, QWidget* parent)
        : QWidget(parent)
        , m_tour(tour)
    {
        setFixedHeight(3);
    }
    QColor current;
    QColor other;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        constexpr double gap = 4;
        const double w = (width() - gap * (SettingsTour::kStepCount - 1)) / SettingsTour::kStepCount;
        for (int i = 0; i < SettingsTour::kStepCount; ++i)
            CardPainter::paintCapsule(
                painter, QRectF(i * (w + gap), 0, w, height()), i == m_tour.step() ? current : other);
    }

private:
    SettingsTour& m_tour;
};

constexpr int kInset = 24; // space around the card inside this widget
constexpr int kRowPad = 16;

} // namespace

TourCard::TourCard(SettingsTour& tour, QWidget* parent)
    : QWidget(parent)
    , m_tour(tour)
    , m_progress(new TourProgress(tour, this))
    , m_header(new QLabel(tr("Interactive Navigation Tour"), this))
    , m_headerIcon(new QLabel(this))
    , m_title(new QLabel(this))
    , m_body(new QLabel(this))
    , m_divider(new QWidget(this))
    , m_back(new SettingsButton(tr("Back"), {}, this))
    , m_skip(new SettingsButton(tr("Skip"), {}, this))
    , m_next(new SettingsButton(tr("Next"), {}, this))
{
    setFixedWidth(kWidth + 2 * kInset);
    setAttribute(Qt::WA_TranslucentBackground);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(kInset, kInset, kInset, kInset);
    column->setSpacing(12);

    auto* progressRow = new QHBoxLayout;
    progressRow->setContentsMargins(kRowPad, 12, kRowPad, 0);
    progressRow->addWidget(m_progress);
    column->addLayout(progressRow);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(kRowPad, 0, kRowPad, 0);
    header->setSpacing(8);
    m_headerIcon->setFixedSize(18, 18);
    m_header->setFont(Fonts::system(13, QFont::Bold));
    header->addWidget(m_headerIcon);
    header->addWidget(m_header);
    header->addStretch(1);
    column->addLayout(header);

    auto* stepBox = new QWidget(this);
    stepBox->setFixedHeight(75);
    auto* stepColumn = new QVBoxLayout(stepBox);
    stepColumn->setContentsMargins(kRowPad, 0, kRowPad, 0);
    stepColumn->setSpacing(4);
    m_title->setFont(Fonts::system(11, QFont::Bold));
    m_body->setFont(Fonts::system(10));
    m_body->setWordWrap(true);
    m_body->setTextFormat(Qt::PlainText);
    m_body->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stepColumn->addWidget(m_title);
    stepColumn->addWidget(m_body, 1);
    column->addWidget(stepBox);

    m_divider->setFixedHeight(1);
    m_divider->setAutoFillBackground(true);
    column->addWidget(m_divider);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(kRowPad, 0, kRowPad, 12);
    buttons->setSpacing(8);
    m_back->setFont(Fonts::system(11, QFont::DemiBold));
    m_back->setPadding(12, 5);
    m_skip->setFont(Fonts::system(11));
    m_next->setFont(Fonts::system(11, QFont::Bold));
    m_next->setPadding(12, 5);
    buttons->addWidget(m_back);
    buttons->addWidget(m_skip);
    buttons->addStretch(1);
    buttons->addWidget(m_next);
    column->addLayout(buttons);

    connect(m_back, &QAbstractButton::clicked, &m_tour, &SettingsTour::stepBack);
    connect(m_skip, &QAbstractButton::clicked, &m_tour, &SettingsTour::skip);
    connect(m_next, &QAbstractButton::clicked, &m_tour, &SettingsTour::next);
    connect(&m_tour, &SettingsTour::changed, this, &TourCard::refresh);
    applyPalette(Palette::current());
}

QString TourCard::titleText() const
{
    return m_title->text();
}

QString TourCard::bodyText() const
{
    return m_body->text();
}

void TourCard::applyPalette(const Palette& palette)
{
    auto* progress = static_cast<TourProgress*>(m_progress);
    progress->current = palette.blue;
    progress->other = withOpacity(palette.secondaryText, 0.3);
    m_headerIcon->setPixmap(SymbolIcon::pixmap(QStringLiteral("safari.fill"), 18, palette.accent, devicePixelRatioF()));
    QPalette pal = this->palette();
    pal.setColor(QPalette::WindowText, palette.text);
    m_header->setPalette(pal);
    m_title->setPalette(pal);
    pal.setColor(QPalette::WindowText, palette.secondaryText);
    m_body->setPalette(pal);
    QPalette dividerPalette = m_divider->palette();
    dividerPalette.setColor(QPalette::Window, palette.divider);
    m_divider->setPalette(dividerPalette);
    m_back->setColors(palette.text, withOpacity(palette.secondaryText, 0.12));
    m_skip->setColors(palette.secondaryText);
    // White on blue reads in both lightnesses.
    m_next->setColors(Qt::white, palette.blue);
    refresh();
}

void TourCard::refresh()
{
    const int step = std::min(m_tour.step(), SettingsTour::kStepCount - 1);
    const auto& entry = SettingsTour::steps()[static_cast<std::size_t>(step)];
    m_title->setText(QCoreApplication::translate("SettingsTour", entry.title));
    m_body->setText(m_tour.text(step));
    m_back->setEnabled(m_tour.step() > 0);
    m_next->setText(m_tour.step() == 3 ? tr("Finish") : tr("Next"));
    m_next->setAccessibleName(m_next->text());
    m_next->updateGeometry();
    m_progress->update();
}

void TourCard::paintEvent(QPaintEvent*)
{
    const Palette palette = Palette::current();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset);
    // A soft shadow of black at 35 %, spread over 10 px around the card.
    for (int i = 10; i > 0; --i) {
        QColor shade(0, 0, 0, static_cast<int>(255 * 0.35 * (1.0 - i / 10.0) / 5));
        CardPainter::paintRounded(painter, card.adjusted(-i, -i, i, i), 12 + i, shade);
    }
    CardPainter::paintRounded(painter, card, 12, palette.background, withOpacity(palette.secondaryText, 0.2));
}
