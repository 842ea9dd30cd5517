#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "storage/DeveloperCacheItem.h"
#endif

#include "StorageListTab.h"

#include <optional>
#include <vector>

class CacheRow;
class ModelInventoryView;
class ModelInventoryViewModel;
class PillButton;

// The "Build Caches" tab: the purge confirmation of a review-tier cache, the one-click clean of every
// safe cache, and the list of caches, each with its purge button.
class CachesTab : public StorageListTab
{
    Q_OBJECT
public:
    // Safe caches up to this size offer no clean.
    static constexpr double kSafeCleanMinimumGB = 0.05;

    CachesTab(ModelInventoryView& view, ModelInventoryViewModel& viewModel, const Palette& palette,
        QWidget* parent = nullptr);

    void applyPalette(const Palette& palette);

    const std::optional<DeveloperCacheItem>& cacheToClean() const { return m_cacheToClean; }
    void setCacheToClean(std::optional<DeveloperCacheItem> item);
    // A row's purge button: safe caches at once, review-tier caches after the confirmation.
    void purgeFromRow(const DeveloperCacheItem& item);
    void confirmPurge();
    void cleanSafeCaches();

    QWidget* confirmation() const { return m_confirmation; }
    QWidget* safeCleanBar() const { return m_safeClean; }
    const std::vector<CacheRow*>& rows() const { return m_rows; }
    PillButton* safeCleanButton() const { return m_safeCleanButton; }
    PillButton* purgeButton() const { return m_purgeButton; }
    PillButton* cancelButton() const { return m_cancelButton; }
    PillButton* closeButton() const { return m_closeButton; }

private:
    void refresh();
    void purge(const DeveloperCacheItem& item, bool confirmed);
    QWidget* buildConfirmation();
    QWidget* buildSafeClean();

    ModelInventoryView& m_view;
    ModelInventoryViewModel& m_viewModel;
    std::optional<DeveloperCacheItem> m_cacheToClean;

    QWidget* m_confirmation = nullptr;
    QWidget* m_safeClean = nullptr;
    PillButton* m_safeCleanButton = nullptr;
    PillButton* m_purgeButton = nullptr;
    PillButton* m_cancelButton = nullptr;
    PillButton* m_closeButton = nullptr;
    std::vector<CacheRow*> m_rows;
};
