#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "storage/DeveloperCacheItem.h"

#include "ui/Palette.h"
#endif

#include <QWidget>

#include <optional>
#include <vector>

class CacheRow;
class ModelInventoryView;
class ModelInventoryViewModel;
class PillButton;
class QLabel;
class QScrollArea;
class QVBoxLayout;

// The "Build Caches" tab: the purge confirmation of a review-tier cache, the one-click clean of every
// safe cache, and the list of caches, each with its purge button.
class CachesTab : public QWidget
{
    Q_OBJECT
public:
    // Safe caches up to this size offer no clean.
    static constexpr double kSafeCleanMinimumGB = 0.05;

    CachesTab(ModelInventoryView& view, ModelInventoryViewModel& viewModel, const Palette& palette,
        QWidget* parent = nullptr);

    void applyPalette(const Palette& palette);
    // Lets the list take the height the tab is given in place of its usual limit.
    void setListFillsHeight(bool fills);

    const std::optional<DeveloperCacheItem>& cacheToClean() const { return m_cacheToClean; }
    void setCacheToClean(std::optional<DeveloperCacheItem> item);
    // A row's purge button: safe caches at once, review-tier caches after the confirmation.
    void purgeFromRow(const DeveloperCacheItem& item);
    void confirmPurge();
    void cleanSafeCaches();

    QWidget* confirmation() const { return m_confirmation; }
    QWidget* safeCleanBar() const { return m_safeClean; }
    QLabel* emptyText() const { return m_emptyText; }
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
    Palette m_palette;
    std::optional<DeveloperCacheItem> m_cacheToClean;

    QVBoxLayout* m_topLayout = nullptr;
    QWidget* m_confirmation = nullptr;
    QWidget* m_safeClean = nullptr;
    PillButton* m_safeCleanButton = nullptr;
    PillButton* m_purgeButton = nullptr;
    PillButton* m_cancelButton = nullptr;
    PillButton* m_closeButton = nullptr;
    QLabel* m_emptyText = nullptr;
    QScrollArea* m_scroll = nullptr;
    bool m_listFills = false;
    QVBoxLayout* m_listLayout = nullptr;
    std::vector<CacheRow*> m_rows;
};
