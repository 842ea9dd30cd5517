#include "SettingsSidebar.h"

#include "SettingsButton.h"
#include "SettingsView.h"

#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kIconWidth = 16;
constexpr int kIconGap = 6;
// Tighter than a title-bar-less window would need: on a titled window all thirteen rows, the brand
// and the quit button must fit 540 px.
constexpr int kLabelPadH = 7;
constexpr int kLabelPadV = 5;
constexpr int kRowPadH = 5;
constexpr int kPixelSize = 12;
constexpr int kSmallestPixelSize = 9;

// The title's room in a row of the sidebar's width.
int textSlot()
{
    return SettingsSidebar::kWidth - 2 * kRowPadH - 2 * kLabelPadH - kIconWidth - kIconGap;
}
} // namespace

SidebarRow::SidebarRow(int index, const QString& icon, const QString& title, QWidget* parent)
    : QAbstractButton(parent)
    , m_index(index)
    , m_icon(icon)
{
    setText(title);
    setAccessibleName(title);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setPixelSize(fittedPixelSize(title));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int SidebarRow::fittedPixelSize(const QString& title)
{
    int size = kPixelSize;
    while (size > kSmallestPixelSize
        && QFontMetrics(Fonts::system(size, QFont::DemiBold)).horizontalAdvance(title) > textSlot())
        --size;
    return size;
}

void SidebarRow::setPixelSize(int pixels)
{
    m_pixelSize = pixels;
    setFont(Fonts::system(m_pixelSize, m_selected ? QFont::DemiBold : QFont::Medium));
    updateGeometry();
}

void SidebarRow::setSelected(bool selected)
{
    m_selected = selected;
    setFont(Fonts::system(m_pixelSize, selected ? QFont::DemiBold : QFont::Medium));
    update();
}

QRectF SidebarRow::textRect() const
{
    const double left = kRowPadH + kLabelPadH + kIconWidth + kIconGap;
    return {left, 0, width() - left - kRowPadH - kLabelPadH, double(height())};
}

void SidebarRow::setColors(const QColor& accent, const QColor& text)
{
    m_accent = accent;
    m_text = text;
    update();
}

QSize SidebarRow::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {kRowPadH * 2 + kLabelPadH * 2 + kIconWidth + kIconGap + metrics.horizontalAdvance(text()),
        QFontMetrics(Fonts::system(kPixelSize)).height() + 2 * kLabelPadV};
}

void SidebarRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF label = QRectF(rect()).adjusted(kRowPadH, 0, -kRowPadH, 0);
    if (m_selected)
        CardPainter::paintRounded(painter, label, 6, withOpacity(m_accent, 0.15));
    const QColor ink = m_selected ? m_accent : m_text;
    const QRectF icon(label.left() + kLabelPadH, 0, kIconWidth, height());
    SymbolIcon::paint(painter, icon, m_icon, ink, 13);
    painter.setFont(font());
    painter.setPen(ink);
    painter.drawText(textRect(), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus())
        CardPainter::paintRounded(painter, label.adjusted(0.5, 0.5, -0.5, -0.5), 6, Qt::transparent, m_accent);
}

SettingsSidebar::SettingsSidebar(QWidget* parent)
    : QWidget(parent)
    , m_logo(new QLabel(this))
    , m_brand(new QLabel(QStringLiteral("Quorvane"), this))
    , m_tagline(new QLabel(QStringLiteral("AI-FIRST CO-PILOT"), this))
    , m_entries(new QScrollArea(this))
    , m_quit(new SettingsButton(tr("Quit Quorvane"), QStringLiteral("power"), this))
{
    setFixedWidth(kWidth);
    setAutoFillBackground(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    // No logo image ships, so the brand shows its symbol.
    auto* brand = new QHBoxLayout;
    brand->setContentsMargins(12, 16, 12, 8);
    brand->setSpacing(6);
    m_logo->setFixedSize(18, 18);
    m_logo->setAlignment(Qt::AlignCenter);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(1);
    m_brand->setFont(Fonts::system(13, QFont::Bold));
    m_tagline->setFont(Fonts::monospaced(7, QFont::DemiBold));
    titles->addWidget(m_brand);
    titles->addWidget(m_tagline);
    brand->addWidget(m_logo, 0, Qt::AlignVCenter);
    brand->addLayout(titles);
    brand->addStretch(1);
    column->addLayout(brand);

    // The entries scroll between the brand and the quit button when the window is too short for them all.
    m_entries->setFrameShape(QFrame::NoFrame);
    m_entries->setWidgetResizable(true);
    m_entries->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_entries->viewport()->setAutoFillBackground(false);
    auto* list = new QWidget;
    list->setAutoFillBackground(false);
    auto* entries = new QVBoxLayout(list);
    entries->setContentsMargins(0, 0, 0, 0);
    entries->setSpacing(column->spacing());
    const auto& tabs = SettingsView::sidebarTabs();
    for (const auto& section : SettingsView::sidebarSections()) {
        auto* header = new QLabel(tr(section.title), list);
        header->setFont(Fonts::system(8, QFont::Bold));
        header->setContentsMargins(12, 8, 12, 0);
        entries->addWidget(header);
        m_headers.append(header);
        for (int i = section.begin; i < section.end && i < SettingsView::kTabCount; ++i) {
            const auto& tab = tabs[static_cast<std::size_t>(i)];
            auto* row = new SidebarRow(i, QString::fromUtf8(tab.icon), tr(tab.title), list);
            connect(row, &QAbstractButton::clicked, this, [this, i] { emit rowClicked(i); });
            entries->addWidget(row);
            m_rows.append(row);
        }
    }
    entries->addStretch(1);
    m_entries->setWidget(list);
    column->addWidget(m_entries, 1);
    // The scroll bar comes beside the rows, not over them: the sidebar widens by it while it shows.
    QScrollBar* bar = m_entries->verticalScrollBar();
    connect(bar, &QScrollBar::rangeChanged, this,
        [this, bar](int, int maximum) { setFixedWidth(kWidth + (maximum > 0 ? bar->sizeHint().width() : 0)); });
    // Every row in one size: the largest at which each row's title, semibold while selected, fits.
    int pixels = kPixelSize;
    for (SidebarRow* row : std::as_const(m_rows))
        pixels = std::min(pixels, SidebarRow::fittedPixelSize(row->text()));
    for (SidebarRow* row : std::as_const(m_rows))
        row->setPixelSize(pixels);

    m_quit->setFont(Fonts::system(11, QFont::DemiBold));
    m_quit->setPadding(12, 8);
    m_quit->setSymbolSize(12);
    auto* quitRow = new QHBoxLayout;
    quitRow->setContentsMargins(8, 0, 8, 12);
    quitRow->addWidget(m_quit);
    quitRow->addStretch(1);
    column->addLayout(quitRow);
    connect(m_quit, &QAbstractButton::clicked, this, &SettingsSidebar::quitClicked);
}

void SettingsSidebar::setActiveTab(int tab)
{
    for (SidebarRow* row : m_rows)
        row->setSelected(row->index() == tab);
}

void SettingsSidebar::applyPalette(const Palette& palette)
{
    QPalette pal = this->palette();
    pal.setColor(QPalette::Window, palette.sidebar);
    setPalette(pal);
    m_logo->setPixmap(SymbolIcon::pixmap(QStringLiteral("shield.fill"), 14, palette.accent, devicePixelRatioF()));
    QPalette brand = m_brand->palette();
    // The brand name is white, and the theme's text colour where white would not show.
    brand.setColor(QPalette::WindowText, palette.onTint());
    m_brand->setPalette(brand);
    QPalette accent = m_tagline->palette();
    accent.setColor(QPalette::WindowText, palette.accent);
    m_tagline->setPalette(accent);
    // At 70 % the light theme's blue is too pale on its near-white sidebar.
    accent.setColor(QPalette::WindowText, withOpacity(palette.accent, palette.light ? 1.0 : 0.7));
    for (QLabel* header : m_headers)
        header->setPalette(accent);
    for (SidebarRow* row : m_rows)
        row->setColors(palette.accent, palette.text);
    m_quit->setColors(palette.red, withOpacity(palette.red, 0.1));
}
