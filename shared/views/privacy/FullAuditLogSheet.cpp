#include "FullAuditLogSheet.h"

#include "AuditEventText.h"
#include "PrivacyExports.h"
#include "PrivacyStyle.h"

#include "core/PoolWork.h"
#include "records/AuditLogger.h"
#include "records/ThemeManager.h"
#include "ui/CardPainter.h"
#include "ui/Clock.h"
#include "ui/Dialogs.h"
#include "ui/FittedWindow.h"
#include "ui/Fonts.h"
#include "ui/SidewaysScrollArea.h"
#include "ui/StyleSheets.h"
#include "ui/SymbolIcon.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

namespace {

enum Roles { TimeRole = Qt::UserRole + 1, SuccessRole };

// One log row on one line: the local date and time in a 130-pixel column, the action (ending in "…"
// where it is too long; the whole text is the row's tool tip), and the outcome mark at the trailing edge.
class AuditRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        // No width of its own: the list gives every row its viewport's width, so nothing scrolls sideways.
        const QFontMetrics fm(Fonts::monospaced(11, QFont::Medium));
        return {0, std::max(fm.height(), 14) + 16 + 6};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const Palette p = Palette::current();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF row = QRectF(option.rect).adjusted(0, 0, 0, -6);
        CardPainter::paintRounded(*painter, row, 6, resolveColor(ColorRole::shade, p, 0.03));
        const QRectF inner = row.adjusted(8, 8, -8, -8);
        painter->setFont(Fonts::monospaced(10));
        painter->setPen(p.secondaryText);
        painter->drawText(QRectF(inner.left(), inner.top(), 130, inner.height()), Qt::AlignLeft | Qt::AlignVCenter,
            index.data(TimeRole).toString());
        const QFont actionFont = Fonts::monospaced(11, QFont::Medium);
        painter->setFont(actionFont);
        painter->setPen(p.text);
        const QRectF action(inner.left() + 130, inner.top(), std::max(0.0, inner.width() - 130 - 20), inner.height());
        painter->drawText(action, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(actionFont)
                .elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, int(action.width())));
        const bool ok = index.data(SuccessRole).toBool();
        SymbolIcon::paint(*painter, QRectF(inner.right() - 14, inner.center().y() - 7, 14, 14),
            ok ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("xmark.circle.fill"), ok ? p.green : p.red,
            12);
        painter->restore();
    }
};

} // namespace

FullAuditLogSheet::FullAuditLogSheet(const PrivacyServices& services, QWidget* parent)
    : QDialog(parent)
    , m_services(services)
{
    setWindowTitle(tr("Audit Log Inspector"));
    setWindowModality(Qt::WindowModal);
    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(16);

    layout->addLayout(buildHeader());
    layout->addLayout(buildFilters());
    layout->addWidget(buildList(), 1);
    layout->addLayout(buildExports());
    FittedWindow::holdContent(this, body);
    FittedWindow::fix(this, kSize);

    const auto colourSearch = [this](const Palette& p) {
        QPalette pal = m_search->palette();
        pal.setColor(QPalette::Text, p.text);
        pal.setColor(QPalette::PlaceholderText, p.secondaryText);
        pal.setColor(QPalette::Base, Qt::transparent);
        pal.setColor(QPalette::Highlight, p.accent);
        pal.setColor(QPalette::HighlightedText, p.onTint(p.accent));
        m_search->setPalette(pal);
        // The list's scroll bar in the theme's colours rather than the desktop's light grey.
        m_list->setStyleSheet(QStringLiteral("QListView { background: transparent; }")
            + StyleSheets::slimVerticalScrollBar(withOpacity(p.secondaryText, 0.45), 8, 2));
        update();
    };
    colourSearch(Palette::current());
    followTheme(ThemeManager::shared(), this, colourSearch);
    refreshList();
}

QLayout* FullAuditLogSheet::buildHeader()
{
    auto* header = new QHBoxLayout;
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    titles->addWidget(new ThemedLabel(tr("Audit Log Inspector"), Fonts::system(17, QFont::Bold), ColorRole::text));
    m_count = new ThemedLabel(QString(), Fonts::system(10), ColorRole::secondary);
    titles->addWidget(m_count);
    header->addLayout(titles);
    header->addStretch();
    auto* close = linkButton(QString(), Fonts::system(17), ColorRole::secondary, QStringLiteral("xmark.circle.fill"));
    close->setAccessibleName(tr("Close"));
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    header->addWidget(close, 0, Qt::AlignTop);
    return header;
}

QLayout* FullAuditLogSheet::buildFilters()
{
    // The search field and the chips each take a row of their own: side by side, the chips' longer Linux
    // names leave the field too little room or scroll out of sight.
    auto* filterRows = new QVBoxLayout;
    filterRows->setSpacing(10);
    auto* searchBox = new RoundedBox(Qt::Horizontal, 8, 6, 8);
    searchBox->setFill(ColorRole::shade, 0.06);
    searchBox->box()->addWidget(new SymbolLabel(QStringLiteral("magnifyingglass"), ColorRole::secondary, 13));
    m_search = new QLineEdit;
    m_search->setFrame(false);
    m_search->setPlaceholderText(tr("Filter by process or action..."));
    // The field lies on the search box's own fill; its colours come from its palette alone (a style
    // sheet here would put the desktop's black text back on the dark sheet).
    m_search->setAutoFillBackground(false);
    m_search->setFont(Fonts::system(12));
    m_search->setMinimumWidth(kSearchMinWidth);
    connect(m_search, &QLineEdit::textChanged, this, &FullAuditLogSheet::refreshList);
    searchBox->box()->addWidget(m_search, 1);
    filterRows->addWidget(searchBox);
    // Where the sheet is narrower than its chips, they scroll sideways (no indicator; the wheel and the
    // keyboard reach every chip).
    auto* chipStrip = new QWidget;
    auto* chips = new QHBoxLayout(chipStrip);
    chips->setContentsMargins(0, 0, 0, 0);
    chips->setSpacing(6);
    for (const QString& filter : filters) {
        // The chip filters by the stored category and is labelled as the views name it.
        auto* chip = privacyButton(AuditEventText::category(filter), QString(), Fonts::system(11, QFont::Bold));
        chip->setPadding(10, 5);
        connect(chip, &QAbstractButton::clicked, this, [this, filter] { selectFilter(filter); });
        chips->addWidget(chip);
        m_chips.append(chip);
    }
    m_chipScroll = new SidewaysScrollArea(chipStrip);
    filterRows->addWidget(m_chipScroll);
    return filterRows;
}

QWidget* FullAuditLogSheet::buildList()
{
    m_stack = new QStackedWidget;
    auto* empty = new QWidget;
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->setSpacing(8);
    emptyLayout->addStretch();
    emptyLayout->addWidget(
        new SymbolLabel(QStringLiteral("line.3.crossed.swirl.circle"), ColorRole::secondary, 32), 0, Qt::AlignHCenter);
    emptyLayout->addWidget(
        new ThemedLabel(tr("No matching actions"), Fonts::system(13, QFont::DemiBold), ColorRole::secondary), 0,
        Qt::AlignHCenter);
    emptyLayout->addStretch();
    m_stack->addWidget(empty);
    m_model = new QStandardItemModel(this);
    m_list = new QListView;
    m_list->setModel(m_model);
    m_list->setItemDelegate(new AuditRowDelegate(m_list));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setUniformItemSizes(false);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setTextElideMode(Qt::ElideRight);
    m_stack->addWidget(m_list);
    return m_stack;
}

QLayout* FullAuditLogSheet::buildExports()
{
    auto* exports = new QHBoxLayout;
    exports->setSpacing(12);
    auto* json = privacyButton(tr("Export as JSON"), QStringLiteral("doc.plaintext"), Fonts::system(11, QFont::Bold));
    auto* csv = privacyButton(tr("Export as CSV"), QStringLiteral("tablecells"), Fonts::system(11, QFont::Bold));
    for (auto* button : {json, csv})
        button->setColors(roleColor(ColorRole::text), roleColor(ColorRole::shade, 0.08));
    connect(json, &QAbstractButton::clicked, this, &FullAuditLogSheet::exportJson);
    connect(csv, &QAbstractButton::clicked, this, &FullAuditLogSheet::exportCsv);
    exports->addWidget(json);
    exports->addWidget(csv);
    m_status = new ThemedLabel(QString(), Fonts::system(11, QFont::Medium), ColorRole::orange);
    exports->addWidget(m_status, 1);
    return exports;
}

std::vector<AuditEvent> FullAuditLogSheet::filtered(
    const std::vector<AuditEvent>& events, const QString& searchText, const QString& selectedFilter)
{
    std::vector<AuditEvent> out;
    for (const auto& e : events) {
        const QString category = QString::fromStdString(e.category);
        // What the row shows is what a search finds: the action with its process, and the category as
        // stored or as shown.
        const QString action = AuditEventText::action(e);
        const bool searched = searchText.isEmpty() || action.contains(searchText, Qt::CaseInsensitive)
            || category.contains(searchText, Qt::CaseInsensitive)
            || AuditEventText::category(category).contains(searchText, Qt::CaseInsensitive);
        const bool chipped
            = selectedFilter == QLatin1String("All") || category.contains(selectedFilter, Qt::CaseInsensitive);
        if (searched && chipped)
            out.push_back(e);
    }
    return out;
}

std::vector<AuditEvent> FullAuditLogSheet::listedEvents() const
{
    return filtered(m_events, m_search->text(), m_selectedFilter);
}

void FullAuditLogSheet::setSearchText(const QString& text)
{
    m_search->setText(text);
}

void FullAuditLogSheet::selectFilter(const QString& filter)
{
    m_selectedFilter = filter;
    refreshList();
}

QStringList FullAuditLogSheet::chipLabels() const
{
    QStringList out;
    for (const PillButton* chip : m_chips)
        out << chip->text();
    return out;
}

QStringList FullAuditLogSheet::rowTexts() const
{
    QStringList out;
    for (int row = 0; row < m_model->rowCount(); ++row)
        out << m_model->item(row)->text();
    return out;
}

QString FullAuditLogSheet::countText() const
{
    return m_count->text();
}

QString FullAuditLogSheet::statusText() const
{
    return m_status->text();
}

bool FullAuditLogSheet::isEmptyStateShown() const
{
    return m_stack->currentIndex() == 0;
}

void FullAuditLogSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_loaded)
        load();
}

void FullAuditLogSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Palette::current().background);
}

void FullAuditLogSheet::load()
{
    m_loaded = true;
    AuditLogger* logger = m_services.auditLogger;
    runOnPool(
        m_services.pool, this, [logger] { return logger->fetchAllEvents(); },
        [this](const std::vector<AuditEvent>& events) {
            m_events = events;
            refreshList();
            emit eventsLoaded();
        });
}

void FullAuditLogSheet::refreshList()
{
    m_count->setText(QString::number(m_events.size()) + tr(" total privileged events recorded locally"));
    for (int i = 0; i < m_chips.size(); ++i) {
        const bool selected = filters[i] == m_selectedFilter;
        m_chips[i]->setColors(roleColor(selected ? ColorRole::text : ColorRole::secondary),
            roleColor(selected ? ColorRole::blue : ColorRole::shade, selected ? 1.0 : 0.08));
    }
    m_model->clear();
    const QLocale locale;
    for (const auto& e : listedEvents()) {
        auto* item = new QStandardItem(AuditEventText::action(e));
        const QDateTime when
            = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(e.timestamp.timeIntervalSince1970() * 1000.0));
        item->setData(locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                + locale.toString(when.time(), QStringLiteral("HH:mm:ss")),
            TimeRole);
        item->setData(e.success, SuccessRole);
        item->setToolTip(item->text());
        item->setEditable(false);
        m_model->appendRow(item);
    }
    m_stack->setCurrentIndex(m_model->rowCount() == 0 ? 0 : 1);
}

void FullAuditLogSheet::exportJson()
{
    exportAs(QStringLiteral("json"), tr("Export as JSON"));
}

void FullAuditLogSheet::exportCsv()
{
    exportAs(QStringLiteral("csv"), tr("Export as CSV"));
}

void FullAuditLogSheet::exportAs(const QString& extension, const QString& title)
{
    m_status->clear();
    const QString name = PrivacyExports::fileName(
        QStringLiteral("AuditLog"), extension, PrivacyExports::dateOf(m_services.clock->now()));
    m_services.dialogs->chooseSaveFile(this, title, QDir::home().filePath(name),
        [guard = QPointer<FullAuditLogSheet>(this), extension](const QString& path) {
            if (!guard || path.isEmpty())
                return;
            // The whole log, whatever the search and chip.
            const auto& events = guard->m_events;
            const QByteArray bytes = extension == QLatin1String("csv") ? PrivacyExports::auditLogCsv(events)
                                                                       : PrivacyExports::auditLogJson(events);
            const QString error = PrivacyExports::writeAtomically(path, bytes);
            if (!error.isEmpty())
                guard->m_status->setText(tr("Export failed: %1").arg(error));
            emit guard->exportFinished();
        });
}
