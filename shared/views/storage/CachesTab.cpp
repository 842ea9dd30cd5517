#include "CachesTab.h"

#include "CacheRow.h"
#include "CleanOfferBar.h"
#include "ConfirmationBox.h"
#include "ModelInventoryView.h"
#include "StorageStyle.h"
#include "StorageTexts.h"
#include "ui/Contrast.h"
#include "ui/Layouts.h"
#include "ui/PillButton.h"

#include "storage/ModelInventoryViewModel.h"

#include "core/NumberFormat.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace StorageStyle;

CachesTab::CachesTab(
    ModelInventoryView& view, ModelInventoryViewModel& viewModel, const Palette& palette, QWidget* parent)
    : StorageListTab(palette, tr("No developer caches detected."), QMargins(0, 12, 0, 12), parent)
    , m_view(view)
    , m_viewModel(viewModel)
{
    connect(&viewModel, &ModelInventoryViewModel::developerCachesChanged, this, &CachesTab::refresh);
    // The confirmation counts the hub's models.
    connect(&viewModel, &ModelInventoryViewModel::installedModelsChanged, this, &CachesTab::refresh);
    refresh();
}

void CachesTab::applyPalette(const Palette& palette)
{
    restyleList(palette);
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
    Layouts::clearLater(m_topLayout);
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
        // What a cache holds of the listed models counts under the models, not in the caches' total.
        const QString note
            = m_viewModel.modelsInside(item) > 0 ? tr("The models in it are counted under AI Models.") : QString();
        auto* row = new CacheRow(item, m_palette, note, [this, item] { purgeFromRow(item); });
        m_listLayout->insertWidget(static_cast<int>(m_rows.size()), row);
        row->show();
        m_rows.push_back(row);
    }
    fitList();
}

QWidget* CachesTab::buildConfirmation()
{
    const DeveloperCacheItem& item = *m_cacheToClean;
    const ConfirmationBox confirmation(m_palette,
        {m_palette.orange, tr("Confirm Cache Purge"),
            tr("Purge (") + QString::fromStdString(item.formattedSize()) + QStringLiteral(")"),
            Contrast::readableOn(m_palette.orange, m_palette.onTint())},
        {label(StorageTexts::purgeQuestion(item, m_viewModel.modelsInside(item)), Fonts::system(kSmallPixels),
            m_palette.secondaryText)});
    m_closeButton = confirmation.close;
    m_cancelButton = confirmation.cancel;
    m_purgeButton = confirmation.confirm;
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] { setCacheToClean(std::nullopt); });
    connect(m_cancelButton, &QAbstractButton::clicked, this, [this] { setCacheToClean(std::nullopt); });
    connect(m_purgeButton, &QAbstractButton::clicked, this, &CachesTab::confirmPurge);
    return confirmation.box;
}

QWidget* CachesTab::buildSafeClean()
{
    const CleanOfferBar offer(m_palette,
        {m_palette.green, 0.35, tr("Safe Clean:"),
            QString::fromStdString(gigabyteSizeText(m_viewModel.totalSafeCachesGB())),
            tr("Purge build & package caches (safe to clear)"), Qt::black});
    m_safeCleanButton = offer.button;
    connect(m_safeCleanButton, &QAbstractButton::clicked, this, &CachesTab::cleanSafeCaches);
    return offer.box;
}
