#include "AssistanceHistorySection.h"

#include "PopoverStyle.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/PoolWork.h"
#include "records/AssistanceTracker.h"
#include "records/ThemeManager.h"
#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/SymbolIcon.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

QString categoryName(AssistanceCategory category)
{
    return QString::fromStdString(rawValue(category));
}

} // namespace

// The always-shown header: sparkles, the title and the chevron; a click folds the body in or out.
class AssistanceHistorySection::Header : public QAbstractButton
{
public:
    explicit Header(QWidget* parent)
        : QAbstractButton(parent)
    {
        setText(AssistanceHistorySection::tr("Assistance History"));
        setAccessibleName(text());
        setCursor(Qt::PointingHandCursor);
        setFixedHeight(16);
    }
    void set(bool expanded, const Palette& palette)
    {
        m_expanded = expanded;
        m_palette = palette;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const double mid = height() / 2.0;
        SymbolIcon::paint(p, QRectF(0, mid - 6, 12, 12), QStringLiteral("sparkles"), m_palette.cyan, 10);
        p.setFont(Fonts::system(11, QFont::Bold));
        p.setPen(m_palette.text);
        p.drawText(QRectF(12 + 5, 0, width() - 34, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
        SymbolIcon::paint(p, QRectF(width() - 10, mid - 5, 10, 10),
            m_expanded ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down"), m_palette.secondaryText, 8);
    }

private:
    bool m_expanded = false;
    Palette m_palette;
};

// One saved-you figure: a symbol and a value on a faint fill of the tile's colour.
class AssistanceHistorySection::Tile : public QWidget
{
public:
    Tile(const QString& symbol, QWidget* parent)
        : QWidget(parent)
        , m_symbol(symbol)
    {
    }
    void set(const QString& text, const QColor& color)
    {
        m_text = text;
        m_color = color;
        updateGeometry();
        update();
    }
    QString text() const { return m_text; }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(Fonts::monospaced(8, QFont::Bold));
        return {4 + 8 + 2 + fm.horizontalAdvance(m_text) + 4, 2 + std::max(fm.height(), 8) + 2};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(p, rect(), 3, withOpacity(m_color, 0.12));
        SymbolIcon::paint(p, QRectF(4, height() / 2.0 - 4, 8, 8), m_symbol, m_color, 7);
        p.setFont(Fonts::monospaced(8, QFont::Bold));
        p.setPen(m_color);
        p.drawText(QRectF(4 + 8 + 2, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter, m_text);
    }

private:
    QString m_symbol;
    QString m_text;
    QColor m_color;
};

// A category filter: its raw value, bold and blue when selected.
class AssistanceHistorySection::Chip : public QAbstractButton
{
public:
    Chip(AssistanceCategory category, QWidget* parent)
        : QAbstractButton(parent)
        , m_category(category)
    {
        setText(categoryName(category));
        setAccessibleName(text());
        setCursor(Qt::PointingHandCursor);
    }
    AssistanceCategory category() const { return m_category; }
    void set(bool selected, const Palette& palette)
    {
        m_selected = selected;
        m_palette = palette;
        updateGeometry();
        update();
    }
    QSize sizeHint() const override
    {
        const QFontMetrics fm(chipFont());
        return {4 + fm.horizontalAdvance(text()) + 4, 2 + fm.height() + 2};
    }

protected:
    QFont chipFont() const { return Fonts::system(8, m_selected ? QFont::Bold : QFont::Medium); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(
            p, rect(), 3, m_selected ? withOpacity(m_palette.blue, 0.25) : withOpacity(m_palette.card, 0.3));
        p.setFont(chipFont());
        p.setPen(m_selected ? m_palette.blue : m_palette.secondaryText);
        p.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    AssistanceCategory m_category;
    bool m_selected = false;
    Palette m_palette;
};

// One event: the category symbol in a tinted circle, title and detail on one line each, the impact badge.
class AssistanceHistorySection::Row : public QWidget
{
public:
    explicit Row(QWidget* parent)
        : QWidget(parent)
    {
        setFixedHeight(2 + 24 + 2);
    }
    void set(const AssistanceEvent& event, const QColor& color, const Palette& palette)
    {
        m_title = QString::fromStdString(event.title);
        m_detail = QString::fromStdString(event.detail);
        m_impact = QString::fromStdString(event.impactValue);
        m_symbol = icon(event.category);
        m_color = color;
        m_palette = palette;
        setToolTip(m_title + QLatin1Char('\n') + m_detail);
        update();
    }
    QString title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(p, rect(), 4, withOpacity(m_palette.card, 0.25));
        const double mid = height() / 2.0;
        const QRectF circle(4, mid - 7, 14, 14);
        p.setPen(Qt::NoPen);
        p.setBrush(withOpacity(m_color, 0.15));
        p.drawEllipse(circle);
        SymbolIcon::paint(p, circle, m_symbol, m_color, 8);

        const QFont badgeFont = Fonts::monospaced(8, QFont::Bold);
        const QFontMetrics bm(badgeFont);
        const double badgeWidth = m_impact.isEmpty() ? 0 : bm.horizontalAdvance(m_impact) + 8;
        const QRectF badge(width() - 4 - badgeWidth, mid - (bm.height() + 2) / 2.0, badgeWidth, bm.height() + 2);
        if (badgeWidth > 0) {
            CardPainter::paintRounded(p, badge, 2, withOpacity(m_color, 0.15));
            p.setFont(badgeFont);
            p.setPen(m_color);
            p.drawText(badge, Qt::AlignCenter, m_impact);
        }

        const double x = circle.right() + 5;
        const int textWidth = int(badge.left() - 5 - x);
        const QFont titleFont = Fonts::system(9, QFont::DemiBold);
        const QFont detailFont = Fonts::system(8);
        const QFontMetrics tm(titleFont);
        const QFontMetrics dm(detailFont);
        const double top = mid - (tm.height() + 1 + dm.height()) / 2.0;
        p.setFont(titleFont);
        p.setPen(m_palette.text);
        p.drawText(QRectF(x, top, textWidth, tm.height()), Qt::AlignLeft | Qt::AlignVCenter,
            tm.elidedText(m_title, Qt::ElideRight, textWidth));
        p.setFont(detailFont);
        p.setPen(m_palette.secondaryText);
        p.drawText(QRectF(x, top + tm.height() + 1, textWidth, dm.height()), Qt::AlignLeft | Qt::AlignVCenter,
            dm.elidedText(m_detail, Qt::ElideRight, textWidth));
    }

private:
    QString m_title;
    QString m_detail;
    QString m_impact;
    QString m_symbol;
    QColor m_color;
    Palette m_palette;
};

AssistanceHistorySection::Loader AssistanceHistorySection::loaderFor(std::shared_ptr<AssistanceTracker> tracker)
{
    // Each load holds the tracker: it may outlive the section, and whoever gave the tracker.
    return [tracker = std::move(tracker)](AssistanceCategory category) {
        return runOnPool(QThreadPool::globalInstance(), [tracker, category] {
            return Data {tracker->fetchEvents(category, kFetchLimit), tracker->getMetrics()};
        });
    };
}

const std::vector<AssistanceCategory>& AssistanceHistorySection::chipCategories()
{
    static const std::vector<AssistanceCategory> chips {AssistanceCategory::all, AssistanceCategory::performance,
        AssistanceCategory::storage, AssistanceCategory::computing};
    return chips;
}

AssistanceHistorySection::AssistanceHistorySection(Loader loader, ThemeManager& themes, QWidget* parent)
    : QWidget(parent)
    , m_loader(std::move(loader))
    , m_palette(Palette::forTheme(themes.currentTheme()))
    , m_metrics(SavedYouMetrics::fresh())
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    m_header = new Header(this);
    column->addWidget(m_header);
    m_body = new QWidget(this);
    auto* body = new QVBoxLayout(m_body);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(6);

    auto* tiles = new QHBoxLayout;
    tiles->setSpacing(4);
    for (const char* symbol : {"internaldrive.fill", "bolt.fill", "shield.fill"}) {
        m_tiles << new Tile(QString::fromLatin1(symbol), m_body);
        tiles->addWidget(m_tiles.last());
    }
    tiles->addStretch(1);
    body->addLayout(tiles);

    auto* chips = new QHBoxLayout;
    chips->setSpacing(3);
    for (AssistanceCategory category : chipCategories()) {
        auto* chip = new Chip(category, m_body);
        m_chips << chip;
        chips->addWidget(chip);
        connect(chip, &QAbstractButton::clicked, this, [this, category] { selectCategory(category); });
    }
    chips->addStretch(1);
    body->addLayout(chips);

    m_empty = PopoverStyle::label(tr("No optimization events recorded yet."), Fonts::system(9), m_body);
    m_empty->setContentsMargins(0, 3, 0, 3);
    body->addWidget(m_empty);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(4);
    for (int i = 0; i < kShownRows; ++i) {
        m_rows << new Row(m_body);
        rows->addWidget(m_rows.last());
    }
    body->addLayout(rows);
    column->addWidget(m_body);

    connect(m_header, &QAbstractButton::clicked, this, [this] { setExpanded(!m_expanded); });
    NotificationCenter::defaultCenter().observe(Notifications::assistanceEventAdded, this, [this](const QVariantMap&) {
        // A hidden section loads when it is shown again.
        if (isVisible())
            loadAssistanceData();
    });
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        redraw();
    });
    apply(Data {{}, m_metrics});
    setExpanded(false);
}

void AssistanceHistorySection::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loadAssistanceData();
}

void AssistanceHistorySection::setExpanded(bool expanded)
{
    m_expanded = expanded;
    m_body->setVisible(expanded);
    m_header->set(expanded, m_palette);
}

void AssistanceHistorySection::selectCategory(AssistanceCategory category)
{
    m_category = category;
    redraw();
    loadAssistanceData();
}

void AssistanceHistorySection::loadAssistanceData()
{
    if (!m_loader)
        return;
    // Each load carries its number; one that a newer load has overtaken is dropped, so a slow fetch
    // of the previous chip never replaces the rows of the chip now selected.
    const quint64 generation = ++m_requested;
    whenFinished(m_loader(m_category), this, [this, generation](const QFuture<Data>& future) {
        if (generation != m_requested || future.isCanceled() || future.resultCount() == 0)
            return;
        try {
            apply(future.result());
        } catch (...) {
            // A load that failed leaves what is shown.
        }
    });
}

void AssistanceHistorySection::apply(const Data& data)
{
    m_events = data.events;
    m_metrics = data.metrics;
    redraw();
}

QColor AssistanceHistorySection::categoryColor(AssistanceCategory category) const
{
    switch (category) {
    case AssistanceCategory::performance:
        return m_palette.orange;
    case AssistanceCategory::storage:
        return m_palette.cyan;
    case AssistanceCategory::computing:
        return m_palette.purple;
    case AssistanceCategory::memory:
        return m_palette.blue;
    case AssistanceCategory::all:
        break;
    }
    return m_palette.text;
}

void AssistanceHistorySection::redraw()
{
    m_header->set(m_expanded, m_palette);
    m_tiles[0]->set(NumberText::sizeText(m_metrics.totalStorageReclaimedGB, SizeUnit::joined), m_palette.cyan);
    m_tiles[1]->set(NumberText::numberText("%.1f", m_metrics.totalHoursSaved) + QStringLiteral("h"), m_palette.orange);
    m_tiles[2]->set(QString::number(m_metrics.buildsProtected) + tr(" builds"), m_palette.purple);
    for (Chip* chip : std::as_const(m_chips))
        chip->set(chip->category() == m_category, m_palette);
    PopoverStyle::setLabelColor(m_empty, m_palette.secondaryText);
    m_empty->setVisible(m_events.empty());
    for (int i = 0; i < m_rows.size(); ++i) {
        const bool shown = i < int(m_events.size());
        if (shown)
            m_rows[i]->set(m_events[i], categoryColor(m_events[i].category), m_palette);
        m_rows[i]->setVisible(shown);
    }
}

QAbstractButton* AssistanceHistorySection::headerButton() const
{
    return m_header;
}

QAbstractButton* AssistanceHistorySection::chip(AssistanceCategory category) const
{
    for (Chip* c : m_chips) {
        if (c->category() == category)
            return c;
    }
    return nullptr;
}

QStringList AssistanceHistorySection::tileTexts() const
{
    QStringList texts;
    for (const Tile* t : m_tiles)
        texts << t->text();
    return texts;
}

QStringList AssistanceHistorySection::rowTitles() const
{
    QStringList titles;
    for (const Row* r : m_rows) {
        if (!r->isHidden())
            titles << r->title();
    }
    return titles;
}

bool AssistanceHistorySection::showsEmptyText() const
{
    return !m_empty->isHidden();
}
