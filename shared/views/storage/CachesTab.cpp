#include "CachesTab.h"

#include "CacheRow.h"
#include "ModelInventoryView.h"
#include "StorageStyle.h"
#include "StorageTexts.h"
#include "SymbolView.h"
#include "ui/Contrast.h"
#include "ui/PillButton.h"
#include "ui/RoundedFill.h"

#include "storage/ModelInventoryViewModel.h"

#include "core/NumberFormat.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace StorageStyle;

CachesTab::CachesTab(
    ModelInventoryView& view, ModelInventoryViewModel& viewModel, const Palette& palette, QWidget* parent)
    : QWidget(parent)
    , m_view(view)
    , m_viewModel(viewModel)
    , m_palette(palette)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_topLayout = new QVBoxLayout;
    m_topLayout->setSpacing(6);
    layout->addLayout(m_topLayout);
    m_emptyText = label(tr("No developer caches detected."), Fonts::system(kSmallPixels + 1), palette.secondaryText);
    m_emptyText->setContentsMargins(0, 12, 0, 12);
    layout->addWidget(m_emptyText);
    m_scroll = listArea(m_listLayout);
    styleList(m_scroll, palette);
    layout->addWidget(m_scroll);
    // Room the list does not need stays below it.
    layout->addStretch();

    connect(&viewModel, &ModelInventoryViewModel::developerCachesChanged, this, &CachesTab::refresh);
    // The confirmation counts the hub's models.
    connect(&viewModel, &ModelInventoryViewModel::installedModelsChanged, this, &CachesTab::refresh);
    refresh();
}

void CachesTab::setListFillsHeight(bool fills)
{
    m_listFills = fills;
    if (auto* column = qobject_cast<QBoxLayout*>(layout()))
        column->setStretchFactor(m_scroll, fills ? 1 : 0);
    fitListHeight(m_scroll, m_listFills);
}

void CachesTab::setPalette(const Palette& palette)
{
    m_palette = palette;
    setLabelColor(m_emptyText, palette.secondaryText);
    styleList(m_scroll, palette);
    refresh();
}

void CachesTab::setCacheToClean(std::optional<DeveloperCacheItem> item)
{
    m_cacheToClean = std::move(item);
    refresh();
}

void CachesTab::purgeFromRow(const DeveloperCacheItem& item)
{
    if (item.safetyTier == CacheSafetyTier::confirmRequired)
        setCacheToClean(item);
    else
        purge(item, false);
}

void CachesTab::confirmPurge()
{
    if (!m_cacheToClean)
        return;
    const DeveloperCacheItem item = *m_cacheToClean;
    setCacheToClean(std::nullopt);
    purge(item, true);
}

void CachesTab::purge(const DeveloperCacheItem& item, bool confirmed)
{
    ModelInventoryView* view = &m_view;
    m_viewModel.cleanCacheItem(item, [view, item, confirmed](DeveloperCacheEngine::PurgeResult result) {
        ModelInventoryView::announceReclaimed();
        view->showResult(StorageTexts::cachePurged(item, result, confirmed));
    });
}

void CachesTab::cleanSafeCaches()
{
    ModelInventoryView* view = &m_view;
    m_viewModel.cleanAllSafeCaches([view](const DeveloperCacheEngine::SafePurge& purge) {
        ModelInventoryView::announceReclaimed();
        view->showResult(StorageTexts::safeCachesPurged(purge));
    });
}

void CachesTab::refresh()
{
    while (QLayoutItem* item = m_topLayout->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    m_confirmation = m_safeClean = nullptr;
    m_safeCleanButton = m_purgeButton = m_cancelButton = m_closeButton = nullptr;
    if (m_cacheToClean)
        m_topLayout->addWidget(m_confirmation = buildConfirmation());
    if (m_viewModel.totalSafeCachesGB() > kSafeCleanMinimumGB && !m_cacheToClean)
        m_topLayout->addWidget(m_safeClean = buildSafeClean());

    const auto& caches = m_viewModel.developerCaches();
    m_emptyText->setVisible(caches.empty());
    m_scroll->setVisible(!caches.empty());
    for (CacheRow* row : m_rows) {
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    for (const auto& item : caches) {
        auto* row = new CacheRow(item, m_palette, [this, item] { purgeFromRow(item); });
        m_listLayout->insertWidget(static_cast<int>(m_rows.size()), row);
        row->show();
        m_rows.push_back(row);
    }
    fitListHeight(m_scroll, m_listFills);
}

QWidget* CachesTab::buildConfirmation()
{
    const DeveloperCacheItem& item = *m_cacheToClean;
    auto* box = new RoundedFill(withOpacity(m_palette.orange, 0.12), 6);
    box->setStroke(withOpacity(m_palette.orange, 0.35));
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), m_palette.orange, 14));
    top->addWidget(label(tr("Confirm Cache Purge"), Fonts::system(kBodyPixels, QFont::Bold), m_palette.text));
    top->addStretch();
    m_closeButton = new PillButton(QString());
    m_closeButton->setSymbol(QStringLiteral("xmark"));
    m_closeButton->setFont(Fonts::system(12));
    m_closeButton->setPadding(2, 2);
    m_closeButton->setColors(m_palette.secondaryText, QColor());
    m_closeButton->setAccessibleName(tr("Close"));
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] { setCacheToClean(std::nullopt); });
    top->addWidget(m_closeButton);
    column->addLayout(top);

    auto* question = label(StorageTexts::purgeQuestion(item, m_viewModel.modelsInside(item)),
        Fonts::system(kSmallPixels), m_palette.secondaryText);
    question->setWordWrap(true);
    column->addWidget(question);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    m_cancelButton = new PillButton(tr("Cancel"));
    m_cancelButton->setFont(Fonts::system(kSmallPixels + 1));
    m_cancelButton->setPadding(8, 4);
    m_cancelButton->setColors(m_palette.text, controlBackground(m_palette));
    connect(m_cancelButton, &QAbstractButton::clicked, this, [this] { setCacheToClean(std::nullopt); });
    buttons->addWidget(m_cancelButton);
    m_purgeButton = new PillButton(tr("Purge (") + QString::fromStdString(item.formattedSize()) + QStringLiteral(")"));
    m_purgeButton->setSymbol(QStringLiteral("trash.fill"));
    m_purgeButton->setFont(Fonts::system(kSmallPixels + 1, QFont::Bold));
    m_purgeButton->setPadding(10, 4);
    m_purgeButton->setColors(Contrast::readableOn(m_palette.orange, m_palette.onTint()), m_palette.orange);
    connect(m_purgeButton, &QAbstractButton::clicked, this, &CachesTab::confirmPurge);
    buttons->addWidget(m_purgeButton);
    buttons->addStretch();
    column->addLayout(buttons);
    return box;
}

QWidget* CachesTab::buildSafeClean()
{
    auto* box = new RoundedFill(withOpacity(m_palette.green, 0.12), 6);
    box->setStroke(withOpacity(m_palette.green, 0.35));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(8);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    line->addWidget(label(tr("Safe Clean:"), Fonts::system(kBodyPixels, QFont::Bold), m_palette.text));
    line->addWidget(label(tr("Reclaim ") + qformat("%.1f", m_viewModel.totalSafeCachesGB()) + tr(" GB"),
        Fonts::system(kBodyPixels, QFont::Bold), m_palette.green));
    line->addStretch();
    column->addLayout(line);
    auto* detail = label(
        tr("Purge build & package caches (safe to clear)"), Fonts::system(kSmallPixels), m_palette.secondaryText);
    detail->setWordWrap(true);
    column->addWidget(detail);
    row->addLayout(column, 1);
    m_safeCleanButton = new PillButton(tr("Clean"));
    m_safeCleanButton->setFont(Fonts::system(kSmallPixels + 1, QFont::Bold));
    m_safeCleanButton->setPadding(8, 4);
    m_safeCleanButton->setColors(Qt::black, m_palette.green);
    connect(m_safeCleanButton, &QAbstractButton::clicked, this, &CachesTab::cleanSafeCaches);
    row->addWidget(m_safeCleanButton);
    return box;
}
