#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "StorageTab.h"
#include "StorageTexts.h"

#include "storage/DeveloperCacheItem.h"
#include "storage/InventoryModel.h"

#include "ui/Palette.h"
#endif

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class AssistanceTracker;
class CachesTab;
class Clock;
class DeveloperCacheEngine;
class ModelInventoryEngine;
class ModelInventoryViewModel;
class ModelsTab;
class PillButton;
class QLabel;
class QThreadPool;
class Spinner;
class SymbolView;
class RoundedFill;

// The "Storage & Caches" panel: a collapsible header with the total and a rescan button, the tabs
// "AI Models" and "Build Caches", and a banner that shows each clean's result for 4 s. It owns its
// view model and rescans each time it is shown. Every clean it starts posts
// "QuorvaneDidReclaimStorage" when it ends, also when nothing was freed.
class ModelInventoryView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMessageMs = 4000;

    ModelInventoryView(std::shared_ptr<ModelInventoryEngine> inventoryEngine,
        std::shared_ptr<DeveloperCacheEngine> developerCacheEngine, QWidget* parent = nullptr);
    // With the clock the banner times out on, the tracker and the pool, for tests and snapshots.
    ModelInventoryView(std::shared_ptr<ModelInventoryEngine> inventoryEngine,
        std::shared_ptr<DeveloperCacheEngine> developerCacheEngine, Clock& clock,
        std::shared_ptr<AssistanceTracker> tracker, QThreadPool* pool, QWidget* parent = nullptr);
    ~ModelInventoryView() override;

    ModelInventoryViewModel& viewModel() const { return *m_viewModel; }
    ModelsTab& modelsTab() const { return *m_modelsTab; }
    CachesTab& cachesTab() const { return *m_cachesTab; }

    StorageTab selectedStorageTab() const { return m_selectedTab; }
    void setSelectedStorageTab(StorageTab tab);
    bool isExpanded() const { return m_expanded; }
    // The panel fills the height its host gives it, and the lists take what the rows above leave (the
    // popover's storage tab); elsewhere each list is at most 200 px tall and the panel as tall as it needs.
    void setFillsHeight(bool fills);
    void setExpanded(bool expanded);
    const std::optional<StorageMessage>& successMessage() const { return m_message; }

    // Shows a clean's result and clears the banner 4 s later, whatever it then shows.
    void showResult(const StorageMessage& message);
    // Posts "QuorvaneDidReclaimStorage".
    static void announceReclaimed();

    QString headerText() const;
    QString headerTotalText() const;
    bool isBusyShown() const;
    QString tabLabel(StorageTab tab) const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    QWidget* buildHeader();
    QWidget* buildTabBar();
    RoundedFill* buildBanner();
    void applyPalette(const Palette& palette);
    void refreshHeader();
    void refreshTabBar();
    void refreshBanner();

    std::unique_ptr<ModelInventoryViewModel> m_viewModel;
    Clock& m_clock;
    Palette m_palette;
    StorageTab m_selectedTab = StorageTab::models;
    bool m_expanded = true;
    std::optional<StorageMessage> m_message;

    QWidget* m_header = nullptr;
    SymbolView* m_driveIcon = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_total = nullptr;
    QLabel* m_busyText = nullptr;
    Spinner* m_spinner = nullptr;
    PillButton* m_rescan = nullptr;
    PillButton* m_chevron = nullptr;
    QWidget* m_body = nullptr;
    PillButton* m_modelsTabButton = nullptr;
    PillButton* m_cachesTabButton = nullptr;
    RoundedFill* m_banner = nullptr;
    SymbolView* m_bannerIcon = nullptr;
    QLabel* m_bannerText = nullptr;
    ModelsTab* m_modelsTab = nullptr;
    CachesTab* m_cachesTab = nullptr;
};
